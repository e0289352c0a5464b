#pragma once
#include <cstdint>
#include <optional>

// A thumb that slides along a track. Positions and widths are in the units of
// the container holding both, and so is the pointer position handed in.
// The volume scale spans the whole track while the thumb stops one thumb
// width short of its end: the right stop gives 61374 with the window's layout.
class VolumeSlider {
public:
    VolumeSlider(double trackLeft, double trackWidth, double thumbLeft, double thumbWidth);

    // The left button went down at x within the thumb: the grab offset
    // (shared by every slider of the window) becomes x rounded.
    static void Press(double x, std::int32_t &grabOffset);
    // The pointer moved to x within the thumb. Only a drag with the left
    // button alone moves the thumb; the volume for its new place, or none.
    std::optional<long> Drag(double x, bool leftButtonOnly, std::int32_t grabOffset);

    double ThumbLeft() const { return thumbLeft_; }
    double ThumbWidth() const { return thumbWidth_; }

    // Halves go to the even neighbour.
    static long RoundHalfEven(double value);

private:
    double trackLeft_, trackWidth_, thumbLeft_, thumbWidth_;
};
