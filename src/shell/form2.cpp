#include "form2.h"

#include "config.h"
#include "designedwindow.h"
#include "form1.h"
#include "messagebox.h"
#include "versiontext.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

Form2::Form2(StartOptions options) : options_(options) {
    // The program ends only through EndProgram (File > Exit, the main window's close box, the
    // credentials dialog's Cancel). A splash screen does not count as a window, so closing a
    // notice shown before the main window would otherwise end the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // The pictures live in a static library, whose resources must be registered by hand.
    Q_INIT_RESOURCE(resources);
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFixedSize(Twips::size(7305, 4125));
    setFont(Twips::arial());

    auto* background = new QLabel(this);
    background->setGeometry(rect());
    background->setPixmap(QPixmap(QStringLiteral(":/linetally/splash.png")));
    background->setScaledContents(true);

    Label2 = new QLabel(this);
    Label2->setGeometry(Twips::rect(120, 3360, 3975, 255));
    Label3 = new QLabel(QStringLiteral("Call history for your 3CX phone system"), this);
    Label3->setGeometry(Twips::rect(120, 3600, 3975, 255));
    for (QLabel* label : {Label2, Label3}) {
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(int(options_.splashDelay.count()));
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);

    CentreOnScreen(this);
}

void Form2::Form_Load() {
    Timer1->start();
    Label2->setText(VersionText());
    config::LoadConfig();
    const Status saved = config::SaveConfig(options_.mainWindow.settingsLockWait);
    // Not a modal box: its event loop would let the timer open the main window from inside it,
    // and the splash would then be shown over the main window when the box closed. It opens once
    // the splash is on screen, so that it is not hidden under it.
    if (!saved)
        QTimer::singleShot(0, this, [reason = saved.reason()] { ShowLinetallyNotice(reason); });
}

void Form2::Timer1_Timer() {
    // Stopped at once: while the main window's load step waits in the credentials dialog, a
    // second tick must not open the window again or close the splash twice.
    Timer1->stop();
    main_ = new Form1(options_.mainWindow);
    // The load step ends once the database has answered; the splash stays until then.
    connect(main_, &Form1::loadFinished, this, [this] {
        // The splash goes before the main window appears, whatever boxes were open meanwhile.
        close();
        main_->show();
        main_->Command1->setFocus();
    });
    main_->Form_Load();
}
