#pragma once

#include <QRect>
#include <QSize>

#include <cmath>

namespace app {

// The window's layout is written in twips (1/1440 inch). At 96 dpi a pixel is 15 twips; Qt
// scales the pixels on high-DPI screens, so this is the only conversion the window needs.
inline constexpr int TwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips)
{
    // Round half away from zero, so 7 twips is 0 px and 8 twips is 1 px.
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr QSize TwipsToPixels(QSize twips)
{
    return {TwipsToPixels(twips.width()), TwipsToPixels(twips.height())};
}

// A rectangle given as left, top, width and height in twips.
constexpr QRect TwipsToPixels(const QRect &twips)
{
    return {TwipsToPixels(twips.left()), TwipsToPixels(twips.top()), TwipsToPixels(twips.width()),
            TwipsToPixels(twips.height())};
}

} // namespace app
