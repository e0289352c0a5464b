#include "platform/IScreenMetrics.h"

#include <cmath>

namespace platform {

int TwipsToPixels(double twips, double twipsPerPixel)
{
    if (!(twipsPerPixel > 0.0))
        return 0;
    return static_cast<int>(std::nearbyint(twips / twipsPerPixel)); // default mode: half to even
}

} // namespace platform
