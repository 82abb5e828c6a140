#pragma once

// Reading what a widget painted, for tests that look at pixels.

#include <QImage>
#include <QRect>

#include <algorithm>

namespace kzt::test {

// A dark pixel in `area` of the picture: text painted there.
inline bool inkIn(const QImage& image, const QRect& area)
{
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x)
            if (image.pixelColor(x, y).value() < 100)
                return true;
    return false;
}

} // namespace kzt::test
