#include "platform/QtScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace platform {

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
