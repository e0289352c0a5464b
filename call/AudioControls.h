#pragma once
#include "call/VolumeSlider.h"
#include "platform/IMessageBox.h"
#include "rtc/IRTCClient.h"

#include <QObject>

#include <cstdint>
#include <functional>

class QWindow;

// The microphone and speaker controls of the phone window without their
// widgets: the two sliders, mute and unmute, and the tuning wizard. They act
// on the RTC client only; the sliders are never read back from the device.
class AudioControls : public QObject {
    Q_OBJECT
public:
    enum Slider { Microphone, Speaker };

    // client gives the phone's RTC client whenever the controls act; none
    // while there is none.
    explicit AudioControls(std::function<rtc::IRTCClient *()> client, QObject *parent = nullptr);

    // Nothing happens, and the readers give 0, while there is no client.
    void SetMicrophoneVolume(std::int32_t volume);
    void SetSpeakerVolume(std::int32_t volume);
    std::int32_t MicrophoneVolume() const;
    std::int32_t SpeakerVolume() const;

    // The left button went down at x within a thumb (the slider's units).
    void ThumbDown(double x) { VolumeSlider::Press(x, grabOffset_); }
    // The pointer moved to x within a thumb; the thumb follows a drag with
    // the left button alone and its device takes the volume.
    void ThumbMove(Slider slider, double x, bool leftButtonOnly);
    const VolumeSlider &slider(Slider which) const { return which == Microphone ? mic_ : speaker_; }
    std::int32_t GrabOffset() const { return grabOffset_; }

    void MuteSpeaker();
    void MuteMicrophone();
    void UnmuteSpeaker();
    void UnmuteMicrophone();
    // The tuning wizard, modal to the window given.
    void OpenTuningWizard(QWindow *window);

signals:
    void ThumbMoved(AudioControls::Slider slider, double left);
    void SpeakerMutedShown(bool shown);
    void MicrophoneMutedShown(bool shown);
    // Shown and closed before the control goes on.
    void Message(const QString &text, const QString &title, platform::MsgIcon icon);

private:
    rtc::IRTCClient *client() const { return client_ ? client_() : nullptr; }
    bool putMuted(rtc::RTC_AUDIO_DEVICE device, bool muted);
    void setVolume(rtc::RTC_AUDIO_DEVICE device, std::int32_t volume);
    std::int32_t volume(rtc::RTC_AUDIO_DEVICE device) const;

    std::function<rtc::IRTCClient *()> client_;
    // In the window's layout: the microphone's in pixels, the speaker's in
    // the twips of its frame.
    VolumeSlider mic_{76, 105, 88, 20.0 / 3.0};
    VolumeSlider speaker_{60, 1575, 270, 100};
    std::int32_t grabOffset_ = 0;
};
