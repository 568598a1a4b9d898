#pragma once

#include <QString>

class QWidget;

// The program's message box: the text, an OK button, no icon, titled "Linetally". The
// informative text, when given, says more in smaller print below it (a driver's reason).
void ShowLinetallyMessage(QWidget* parent, const QString& text, const QString& informative = {});

// The same box without waiting for it: it stays open until OK is pressed while the program goes
// on. For reports made while a start-up step is pending, which a nested event loop would run.
void ShowLinetallyNotice(const QString& text);
