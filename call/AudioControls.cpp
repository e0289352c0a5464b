#include "call/AudioControls.h"

#include <QWindow>

using namespace rtc;

AudioControls::AudioControls(std::function<IRTCClient *()> client, QObject *parent)
    : QObject(parent), client_(std::move(client))
{
}

void AudioControls::setVolume(RTC_AUDIO_DEVICE device, std::int32_t volume)
{
    // A volume the client refuses changes nothing and is not reported.
    if (client())
        client()->put_Volume(device, volume);
}

std::int32_t AudioControls::volume(RTC_AUDIO_DEVICE device) const
{
    long v = 0;
    if (!client() || Failed(client()->get_Volume(device, &v)))
        return 0;
    return static_cast<std::int32_t>(v);
}

void AudioControls::SetMicrophoneVolume(std::int32_t volume) { setVolume(RTCAD_MICROPHONE, volume); }
void AudioControls::SetSpeakerVolume(std::int32_t volume) { setVolume(RTCAD_SPEAKER, volume); }
std::int32_t AudioControls::MicrophoneVolume() const { return volume(RTCAD_MICROPHONE); }
std::int32_t AudioControls::SpeakerVolume() const { return volume(RTCAD_SPEAKER); }

void AudioControls::ThumbMove(Slider which, double x, bool leftButtonOnly)
{
    VolumeSlider &s = which == Microphone ? mic_ : speaker_;
    const std::optional<long> v = s.Drag(x, leftButtonOnly, grabOffset_);
    if (!v)
        return;
    emit ThumbMoved(which, s.ThumbLeft());
    if (which == Microphone)
        SetMicrophoneVolume(static_cast<std::int32_t>(*v));
    else
        SetSpeakerVolume(static_cast<std::int32_t>(*v));
}

bool AudioControls::putMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    return client() && Succeeded(client()->put_AudioMuted(device, muted));
}

// A mute the client did not take is neither announced nor shown: the
// indicator and the messages say what the device really does.

void AudioControls::MuteSpeaker()
{
    bool muted = false;
    if (!client() || Failed(client()->get_AudioMuted(RTCAD_SPEAKER, &muted)) || muted)
        return;
    if (!putMuted(RTCAD_SPEAKER, true))
        return;
    emit Message(QStringLiteral("Speaker is ON-MUTE"), QStringLiteral("AudioWizard"), platform::MsgIcon::None);
    emit SpeakerMutedShown(true);
}

void AudioControls::MuteMicrophone()
{
    bool muted = false;
    if (!client() || Failed(client()->get_AudioMuted(RTCAD_MICROPHONE, &muted)) || muted)
        return;
    emit MicrophoneMutedShown(true);
    emit Message(QStringLiteral("Mic is ON-MUTE"), QStringLiteral("AudioWizard"), platform::MsgIcon::None);
    // Live until the box is closed.
    if (!putMuted(RTCAD_MICROPHONE, true))
        emit MicrophoneMutedShown(false);
}

void AudioControls::UnmuteSpeaker()
{
    if (!putMuted(RTCAD_SPEAKER, false))
        return;
    emit Message(QStringLiteral("Mute Off"), QStringLiteral("Audio Wizard"), platform::MsgIcon::None);
    emit SpeakerMutedShown(false);
}

void AudioControls::UnmuteMicrophone()
{
    if (!putMuted(RTCAD_MICROPHONE, false))
        return;
    emit Message(QStringLiteral("Mute Off"), QStringLiteral("Audio Wizard"), platform::MsgIcon::None);
    emit MicrophoneMutedShown(false);
}

void AudioControls::OpenTuningWizard(QWindow *window)
{
    const auto error = [this] { emit Message(QStringLiteral("Error"), QString(), platform::MsgIcon::None); };
    if (!window)
        error();
    if (!client() || Failed(client()->InvokeTuningWizard(window)))
        error();
}
