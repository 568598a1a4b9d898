#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// The credentials dialog: asks for the database user name and password, stores them, tests
// them with the driver probe and, when the test passes, saves the settings file.
class login : public QDialog {
    Q_OBJECT
public:
    explicit login(QWidget* owner);

    QLabel* Label2;
    std::array<QLabel*, 2> Label1;
    std::array<QLineEdit*, 2> Text1; // 0: user name, 1: password
    QPushButton* Command1;           // "Connect to Database"
    QPushButton* Command2;           // "Cancel"

public slots:
    void Command1_Click();
    void Command2_Click();

protected:
    // Neither button is the dialog's default or cancel button: Enter and Esc typed in a text box
    // press nothing. Enter on a focused button presses it, as the space bar does.
    void keyPressEvent(QKeyEvent* event) override;
};
