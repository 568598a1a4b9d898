#include "login.h"

#include "config.h"
#include "dbroutines.h"
#include "designedwindow.h"
#include "endprogram.h"
#include "messagebox.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

login::login(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Login Info"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(Twips::size(3165, 4125));
    if (owner)
        setWindowIcon(owner->windowIcon());
    setFont(Twips::arial());

    Label2 = new QLabel(QStringLiteral("Enter the username and password you assigned to your 3CX "
                                       "system, so that Linetally can connect to the database."),
                        this);
    Label2->setGeometry(Twips::rect(120, 120, 2895, 735));
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setWordWrap(true);

    const char* captions[2] = {"Username", "Password"};
    const int labelTops[2] = {1080, 1920};
    const int boxTops[2] = {1440, 2280};
    for (int i = 0; i < 2; ++i) {
        Label1[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        Label1[i]->setGeometry(Twips::rect(240, labelTops[i], 2655, 255));
        Label1[i]->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        Text1[i] = new QLineEdit(this);
        Text1[i]->setGeometry(Twips::rect(120, boxTops[i], 2895, 375));
        Text1[i]->setMaxLength(32767 * 32);
    }
    Text1[0]->setObjectName(QStringLiteral("Text1_0"));
    Text1[1]->setObjectName(QStringLiteral("Text1_1"));
    Text1[1]->setEchoMode(QLineEdit::Password);
    // Every character is shown as "*", whatever the style would choose.
    Text1[1]->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    Command1 = new QPushButton(QStringLiteral("Connect to Database"), this);
    Command1->setGeometry(Twips::rect(120, 2880, 2895, 495));
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setGeometry(Twips::rect(120, 3480, 2895, 495));
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(Command1, &QPushButton::clicked, this, &login::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &login::Command2_Click);

    setTabOrder(Text1[0], Text1[1]);
    setTabOrder(Text1[1], Command1);
    setTabOrder(Command1, Command2);
    Text1[0]->setFocus();

    CentreOnScreen(this);
}

void login::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button && !event->isAutoRepeat())
            button->click();
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void login::Command1_Click() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Status tried = dbRoutines::TryCredentials(Text1[0]->text(), Text1[1]->text());
    QGuiApplication::restoreOverrideCursor();
    if (!tried) {
        if (tried.reason() == dbRoutines::kLineBreakRefusal)
            ShowLinetallyMessage(this, tried.reason());
        else
            ShowLinetallyMessage(this, dbRoutines::kConnectFailed, tried.reason());
        return;
    }
    ShowLinetallyMessage(this, QStringLiteral("Database Connection Successful"));
    const Status saved = config::SaveConfig();
    if (!saved)
        ShowLinetallyMessage(this, saved.reason());
    accept();
}

void login::Command2_Click() {
    EndProgram();
}
