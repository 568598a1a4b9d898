#include "messagebox.h"

#include <QMessageBox>

#include <memory>

namespace {

QMessageBox* makeBox(QWidget* parent, const QString& text, const QString& informative) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Linetally"), text,
                                QMessageBox::Ok, parent);
    if (!informative.isEmpty())
        box->setInformativeText(informative);
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
}
