#pragma once

#include <QWidget>

class Form1;
class QLabel;
class QTimer;

// The splash window: shows the version, reads and rewrites the settings, and after three
// seconds opens the main window.
class Form2 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSplashMilliseconds = 3000;

    Form2();

    // Lets tests open the main window without waiting three seconds.
    static void SetSplashDelayForTesting(int milliseconds);

    QLabel* Label2; // version line
    QLabel* Label3; // notice
    QTimer* Timer1;

    Form1* mainWindow() const { return main_; }

public slots:
    void Form_Load();
    void Timer1_Timer();

private:
    Form1* main_ = nullptr;
};
