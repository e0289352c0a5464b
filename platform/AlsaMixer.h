#pragma once
#include "platform/IMixer.h"

namespace platform {

// The mixer of ALSA's default card through its simple-element API; with
// PulseAudio running that is PulseAudio's own ("Master" for the default
// sink, "Capture" for the default source).
class AlsaMixer final : public IMixer {
public:
    AlsaMixer() = default;
    ~AlsaMixer() override;
    AlsaMixer(const AlsaMixer &) = delete;
    AlsaMixer &operator=(const AlsaMixer &) = delete;

    bool Open() override;
    bool VolumeRange(const QString &element, long *min, long *max) const override;
    bool GetVolume(const QString &element, long *value) const override;
    bool SetVolume(const QString &element, long value) override;
    bool HasSwitch(const QString &element) const override;
    bool GetSwitch(const QString &element, bool *on) const override;
    bool SetSwitch(const QString &element, bool on) override;

private:
    struct Element;
    Element find(const QString &name) const;

    void *handle_ = nullptr; // snd_mixer_t, kept out of this header
};

} // namespace platform
