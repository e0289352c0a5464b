#pragma once
#include "platform/IScreenMetrics.h"

namespace platform {

// Test double with fixed factors (15 is 96 dpi).
class FixedScreenMetrics final : public IScreenMetrics {
public:
    explicit FixedScreenMetrics(double x = 15.0, double y = 15.0) : x_(x), y_(y) {}
    double TwipsPerPixelX() const override { return x_; }
    double TwipsPerPixelY() const override { return y_; }

private:
    double x_, y_;
};

} // namespace platform
