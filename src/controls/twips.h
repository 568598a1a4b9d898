#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>

#include <algorithm>

// The design measures windows in twips: 15 to a pixel at 96 dots per inch.
namespace Twips {

inline constexpr int kPerPixel = 15;

constexpr int px(int twips) {
    return twips / kPerPixel;
}
inline QRect rect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}
inline QSize size(int width, int height) {
    return QSize(px(width), px(height));
}

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
