#include "call/VolumeSlider.h"

#include <cmath>

VolumeSlider::VolumeSlider(double trackLeft, double trackWidth, double thumbLeft, double thumbWidth)
    : trackLeft_(trackLeft), trackWidth_(trackWidth), thumbLeft_(thumbLeft), thumbWidth_(thumbWidth)
{
}

long VolumeSlider::RoundHalfEven(double value)
{
    // std::round sends halves away from zero; remainder() rounds to even.
    return static_cast<long>(value - std::remainder(value, 1.0));
}

void VolumeSlider::Press(double x, std::int32_t &grabOffset)
{
    grabOffset = static_cast<std::int32_t>(RoundHalfEven(x));
}

std::optional<long> VolumeSlider::Drag(double x, bool leftButtonOnly, std::int32_t grabOffset)
{
    if (!leftButtonOnly)
        return std::nullopt;
    double left = thumbLeft_ + x - grabOffset;
    // The lower bound first, then the upper.
    if (left < trackLeft_)
        left = trackLeft_;
    const double highest = trackLeft_ + trackWidth_ - thumbWidth_;
    if (left > highest)
        left = highest;
    thumbLeft_ = left;
    return RoundHalfEven((thumbLeft_ - trackLeft_) * (65535.0 / trackWidth_));
}
