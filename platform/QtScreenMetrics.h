#pragma once
#include "platform/IScreenMetrics.h"

namespace platform {

// Twips per pixel from the primary screen's logical resolution.
class QtScreenMetrics final : public IScreenMetrics {
public:
    double TwipsPerPixelX() const override;
    double TwipsPerPixelY() const override;
};

} // namespace platform
