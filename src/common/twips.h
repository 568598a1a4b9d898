#pragma once

#include <QRect>
#include <QSize>

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

} // namespace Twips
