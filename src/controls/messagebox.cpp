#include "messagebox.h"

#include <QLabel>
#include <QMessageBox>

#include <memory>

namespace {

QMessageBox* makeBox(QWidget* parent, const QString& text, const QString& informative) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Linetally"), text,
                                QMessageBox::Ok, parent);
    // What a box says may come from the driver, the server or the operator: never rich text.
    box->setTextFormat(Qt::PlainText);
    if (!informative.isEmpty()) {
        box->setInformativeText(informative);
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
    return box;
}

} // namespace

void ShowLinetallyMessage(QWidget* parent, const QString& text, const QString& informative) {
    std::unique_ptr<QMessageBox> box(makeBox(parent, text, informative));
    box->exec();
}

void ShowLinetallyNotice(const QString& text) {
    QMessageBox* box = makeBox(nullptr, text, {});
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    box->raise();
}
