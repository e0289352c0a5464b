#pragma once

namespace platform {

// How many twips (1/1440 inch) one screen pixel spans.
class IScreenMetrics {
public:
    virtual ~IScreenMetrics() = default;
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;
};

// Converts twips to whole pixels, rounding half to even.
int TwipsToPixels(double twips, double twipsPerPixel);

} // namespace platform
