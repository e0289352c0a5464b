#pragma once
// The engine's audio devices (microphone, speaker, ringing device), as
// chosen by the options, in the tuning wizard, or by default, and the
// volumes and mutes of the microphone and the speaker. On the engine's
// thread, except the volume and mute calls, which any thread may make: the
// value is kept at once (a read right after sees it) and reaches the core
// on its thread soon after, so a slider never waits for a busy engine.
#include "rtc/RTCTypes.h"
#include "rtc/linphone/LinphoneClient.h"

#include <linphone++/linphone.hh>

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace rtc::lp {

class AudioDevices {
public:
    enum Kind { Capture, Playback, Ring };
    struct Device {
        QString id, name;
    };
    using Later = std::function<void(std::function<void()>)>; // runs it on the engine's thread

    AudioDevices(const LinphoneClientOptions &options, Later later);

    // Chooses the devices for a started core and puts the kept values in it.
    void attach(const std::shared_ptr<linphone::Core> &core);
    void detach() { core_.reset(); }

    // The devices able to do it, looked up afresh.
    std::vector<Device> devices(Kind kind);
    QString current(Kind kind) const;
    // Uses the device from now on and remembers it for the next start.
    void choose(Kind kind, const Device &device);
    // Told when the ringing device changed.
    std::function<void()> ringerChanged;

    // From any thread.
    HRESULT putVolume(RTC_AUDIO_DEVICE device, long volume);
    HRESULT getVolume(RTC_AUDIO_DEVICE device, long *volume) const;
    HRESULT putMuted(RTC_AUDIO_DEVICE device, bool muted);
    HRESULT getMuted(RTC_AUDIO_DEVICE device, bool *muted) const;

    // A call whose media started hears the speaker's mute, which is per call.
    void applyToCall(const std::shared_ptr<linphone::Call> &call) const;

private:
    void applyVolume(RTC_AUDIO_DEVICE device);
    void applyMuted(RTC_AUDIO_DEVICE device);
    QString settingsFile() const;

    const LinphoneClientOptions &options_;
    const Later later_;
    std::shared_ptr<linphone::Core> core_;
    std::atomic<long> speakerVolume_{65535};
    std::atomic<long> micVolume_{65535};
    std::atomic<bool> speakerMuted_{false};
    std::atomic<bool> micMuted_{false};
};

} // namespace rtc::lp
