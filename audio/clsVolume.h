#pragma once
#include <cstdint>
#include <memory>

namespace platform {
class IMessageBox;
class IMixer;
} // namespace platform

// Six lines of the sound card's mixer: each line's volume range, volume and
// mute state. Which element stands for each line:
//   Wave → Master, Micro → Capture (else Mic), WaveIn → PCM,
//   LineIn → Line (else Aux), CD → CD, MIDI → Synth.
// Without a mixer it says "No mixer found!" once, at creation, and then
// reads 0 everywhere and writes nothing. Nothing is cached: every read asks
// the mixer. The phone's own sliders do not use this class.
class clsVolume {
public:
    // Bits of HasVolumeControl and HasMuteControl.
    enum Line : std::int32_t { Wave = 1, Micro = 2, WaveIn = 4, LineIn = 8, CD = 16, MIDI = 32 };

    clsVolume(std::unique_ptr<platform::IMixer> mixer, platform::IMessageBox *messages);
    ~clsVolume();
    clsVolume(const clsVolume &) = delete;
    clsVolume &operator=(const clsVolume &) = delete;

    std::int32_t MinWaveVolume() const { return min_[0]; }
    std::int32_t MaxWaveVolume() const { return max_[0]; }
    std::int32_t MinMicVolume() const { return min_[1]; }
    std::int32_t MaxMicVolume() const { return max_[1]; }
    std::int32_t MinWavInVolume() const { return min_[2]; }
    std::int32_t MaxWavInVolume() const { return max_[2]; }
    std::int32_t MinLineInVolume() const { return min_[3]; }
    std::int32_t MaxLineInVolume() const { return max_[3]; }
    std::int32_t MinCDVolume() const { return min_[4]; }
    std::int32_t MaxCDVolume() const { return max_[4]; }
    std::int32_t MinMidVolume() const { return min_[5]; }
    std::int32_t MaxMidVolume() const { return max_[5]; }

    // Volumes: written clamped to the line's bounds.
    std::int32_t WaveVolume() const { return volume(0); }
    void WaveVolume(std::int32_t NewVolume) { setVolume(0, NewVolume); }
    std::int32_t MicroVolume() const { return volume(1); }
    void MicroVolume(std::int32_t NewVolume) { setVolume(1, NewVolume); }
    std::int32_t WaveInVolume() const { return volume(2); }
    void WaveInVolume(std::int32_t NewVolume) { setVolume(2, NewVolume); }
    std::int32_t LineInVolume() const { return volume(3); }
    void LineInVolume(std::int32_t NewVolume) { setVolume(3, NewVolume); }
    std::int32_t CD_Volume() const { return volume(4); }
    void CD_Volume(std::int32_t NewVolume) { setVolume(4, NewVolume); }
    std::int32_t MIDIVolume() const { return volume(5); }
    void MIDIVolume(std::int32_t NewVolume) { setVolume(5, NewVolume); }

    // Mutes: 0 = off, nonzero = on (the line is silent).
    std::int32_t WaveMute() const { return mute(0); }
    void WaveMute(std::int32_t NewValue) { setMute(0, NewValue); }
    std::int32_t MicroMute() const { return mute(1); }
    void MicroMute(std::int32_t NewValue) { setMute(1, NewValue); }
    std::int32_t WaveInMute() const { return mute(2); }
    void WaveInMute(std::int32_t NewValue) { setMute(2, NewValue); }
    std::int32_t LineInMute() const { return mute(3); }
    void LineInMute(std::int32_t NewValue) { setMute(3, NewValue); }
    std::int32_t CD_Mute() const { return mute(4); }
    void CD_Mute(std::int32_t NewValue) { setMute(4, NewValue); }
    std::int32_t MIDIMute() const { return mute(5); }
    void MIDIMute(std::int32_t NewValue) { setMute(5, NewValue); }

    // True when any line of the mask has the control.
    bool HasVolumeControl(std::int32_t mask) const { return (volumeFound_ & mask) != 0; }
    bool HasMuteControl(std::int32_t mask) const { return (muteFound_ & mask) != 0; }

private:
    // Looks up the line's volume on element, then its mute on the same one.
    bool findControls(int line, const char *element);
    std::int32_t volume(int line) const;
    void setVolume(int line, std::int32_t value);
    std::int32_t mute(int line) const;
    void setMute(int line, std::int32_t value);

    std::unique_ptr<platform::IMixer> mixer_; // none: no mixer was found
    const char *element_[6] = {};             // the element found for each line
    std::int32_t min_[6] = {}, max_[6] = {};
    std::int32_t volumeFound_ = 0, muteFound_ = 0;
};
