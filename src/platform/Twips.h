#pragma once

#include <QRect>

// Window positions of this program are kept in twips (1/1440 inch).
namespace Twips {

double perPixelX(); // 1440 / logical DPI of the primary screen (15 at 96 DPI)
double perPixelY();
int toPixelsX(double twips);
int toPixelsY(double twips);
int fromPixelsX(int pixels);
int fromPixelsY(int pixels);

// The desktop work area (screen without task bars) in pixels; an all-zero rectangle when
// there is no screen. Right and bottom are exclusive.
struct Area
{
    int x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};
Area workArea(bool inTwips);

} // namespace Twips
