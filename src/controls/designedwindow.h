#pragma once

#include "twips.h"

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

// What every designed window shares beside its measures in twips: its font and its place.
namespace Twips {

// The windows' font: Arial 8.25 pt, regular.
inline QFont arial() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace Twips

// Places a window in the middle of the primary screen. A window taller or wider than the screen
// keeps its top left corner, and so its title bar, on the screen.
inline void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        QRect frame(QPoint(), window->size());
        frame.moveCenter(available.center());
        window->move(std::max(frame.left(), available.left()),
                     std::max(frame.top(), available.top()));
    }
}
