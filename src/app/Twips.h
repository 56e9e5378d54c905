#pragma once

#include <QRect>

#include <cmath>

namespace quorvane {

// Layout units: a twip is 1/1440 inch, so at 96 dots per inch 15 twips make one pixel.
inline int twipsToPixels(int twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

inline QRect twipsToPixels(int left, int top, int width, int height, double dotsPerInch)
{
    return {twipsToPixels(left, dotsPerInch), twipsToPixels(top, dotsPerInch), twipsToPixels(width, dotsPerInch),
            twipsToPixels(height, dotsPerInch)};
}

} // namespace quorvane
