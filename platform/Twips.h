#pragma once

#include <QRect>
#include <QWidget>

// The windows are laid out in twips (1/1440 inch), as they were designed; at 96 dots per inch a pixel
// is 15 twips, and a length is cut down to whole pixels.
namespace platform {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

constexpr int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// Places `widget` inside its parent at a position and size given in twips.
inline void placeInTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

} // namespace platform
