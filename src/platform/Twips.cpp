#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace Twips {
namespace {

double dpi(bool x)
{
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        ? QGuiApplication::primaryScreen()
        : nullptr;
    if (!screen)
        return 96.0;
    const double d = x ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return d > 0 ? d : 96.0;
}

} // namespace

double perPixelX()
{
    return 1440.0 / dpi(true);
}
double perPixelY()
{
    return 1440.0 / dpi(false);
}
int toPixelsX(double twips)
{
    return int(std::lround(twips / perPixelX()));
}
int toPixelsY(double twips)
{
    return int(std::lround(twips / perPixelY()));
}
int fromPixelsX(int pixels)
{
    return int(std::lround(pixels * perPixelX()));
}
int fromPixelsY(int pixels)
{
    return int(std::lround(pixels * perPixelY()));
}

Area workArea(bool inTwips)
{
    Area a;
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        ? QGuiApplication::primaryScreen()
        : nullptr;
    if (!screen)
        return a;
    const QRect r = screen->availableGeometry();
    a.x1 = r.left();
    a.x2 = r.left() + r.width();
    a.y1 = r.top();
    a.y2 = r.top() + r.height();
    if (inTwips) {
        a.x1 = fromPixelsX(a.x1);
        a.x2 = fromPixelsX(a.x2);
        a.y1 = fromPixelsY(a.y1);
        a.y2 = fromPixelsY(a.y2);
    }
    return a;
}

} // namespace Twips
