#pragma once

#include "form1.h"

#include <QWidget>

#include <chrono>

class QLabel;
class QTimer;

// What the start takes from outside; tests shorten the waits.
struct StartOptions {
    std::chrono::milliseconds splashDelay{3000};
    // The main window's, whose settings lock wait the splash's own save keeps to as well.
    MainWindowOptions mainWindow;
};

// The splash window: shows the version, reads and rewrites the settings, and after three
// seconds opens the main window.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(StartOptions options = {});

    QLabel* Label2; // version line
    QLabel* Label3; // notice
    QTimer* Timer1;

    Form1* mainWindow() const { return main_; }

public slots:
    void Form_Load();
    void Timer1_Timer();

private:
    StartOptions options_;
    Form1* main_ = nullptr;
};
