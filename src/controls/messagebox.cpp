#include "messagebox.h"

#include <QMessageBox>

void ShowLinetallyMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Linetally"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}
