#include "platform/QtScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace platform {

int TwipsToPixels(double twips, double twipsPerPixel)
{
    if (!(twipsPerPixel > 0.0))
        return 0;
    return static_cast<int>(std::nearbyint(twips / twipsPerPixel)); // default mode: half to even
}

namespace {
double twipsPerPixel(double dpi)
{
    return dpi > 0.0 ? 1440.0 / dpi : 15.0;
}
} // namespace

double QtScreenMetrics::TwipsPerPixelX() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchX() : 96.0);
}

double QtScreenMetrics::TwipsPerPixelY() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchY() : 96.0);
}

} // namespace platform
