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
        // The box has no format setting for the informative text: every label it holds shows
        // plain text, whatever the box named it.
        for (QLabel* label : box->findChildren<QLabel*>())
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
