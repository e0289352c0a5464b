#pragma once
#include <QByteArray>

namespace platform {

// Plays short sounds (the key tones) on the default output device.
class ISoundOutput {
public:
    virtual ~ISoundOutput() = default;
    // Starts playing a complete WAVE file and returns at once. A sound still
    // sounding is cut off first. False when the bytes cannot be played
    // (malformed, unsupported format, no output device); then nothing sounds,
    // not even a default sound, and nothing is shown to the user.
    virtual bool play(const QByteArray &wave) = 0;
};

} // namespace platform
