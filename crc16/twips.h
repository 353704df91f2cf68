#pragma once

#include <QRect>

namespace crccalc {

// The window's geometry is laid out in twips; the screen works in pixels at 96 dpi,
// where 15 twips make one pixel.
inline constexpr int twipsPerPixel = 15;

constexpr int pixelsOfTwips(int twips)
{
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}

constexpr QRect rectOfTwips(int left, int top, int width, int height)
{
    return QRect(pixelsOfTwips(left), pixelsOfTwips(top), pixelsOfTwips(width),
                 pixelsOfTwips(height));
}

} // namespace crccalc
