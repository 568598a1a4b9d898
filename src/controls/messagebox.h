#pragma once

#include <QString>

class QWidget;

// The program's message box: the text, an OK button, no icon, titled "Linetally".
void ShowLinetallyMessage(QWidget* parent, const QString& text);
