#include "about.h"

#include "dbroutines.h"
#include "designedwindow.h"
#include "versiontext.h"

#include <QLabel>
#include <QPushButton>

namespace {
QLabel* makeLabel(const QString& text, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}
} // namespace

ABOUT::ABOUT(const QIcon& mainWindowIcon) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(Twips::size(5475, 3600));
    setFont(Twips::arial());

    Label1 = makeLabel(QStringLiteral("Linetally"), this, Twips::rect(360, 360, 4815, 255));
    Label2 = makeLabel(QStringLiteral("Call history lookup for 3CX phone systems."), this,
                       Twips::rect(360, 600, 3255, 255));
    Label3 = makeLabel(QString(), this, Twips::rect(360, 840, 4815, 255));
    Label6 = makeLabel(QStringLiteral("Driver : "), this, Twips::rect(360, 1920, 4935, 255));
    Command1 = new QPushButton(QStringLiteral("Ok"), this);
    Command1->setGeometry(Twips::rect(3600, 2760, 1455, 375));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &ABOUT::Command1_Click);

    Form_Load(mainWindowIcon);
    Command1->setFocus();

    CentreOnScreen(this);
}

void ABOUT::Form_Load(const QIcon& mainWindowIcon) {
    setWindowIcon(mainWindowIcon);
    Label6->setText(QStringLiteral("Driver : ") + dbRoutines::DbDriver);
    Label3->setText(VersionText());
}

void ABOUT::Command1_Click() {
    close();
}
