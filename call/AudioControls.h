#pragma once
#include "call/PhoneState.h"
#include "call/VolumeSlider.h"
#include "platform/IMessageBox.h"

#include <QObject>

class QWindow;

// The microphone and speaker controls of the phone window without their
// widgets: the two sliders, mute and unmute, and the tuning wizard. They act
// on the RTC client only; the sliders are never read back from the device.
class AudioControls : public QObject {
    Q_OBJECT
public:
    enum Slider { Microphone, Speaker };

    explicit AudioControls(PhoneState &state, QObject *parent = nullptr);

    // Nothing happens, and the readers give 0, while there is no client.
    void set_mic_volume(std::int32_t volume);
    void set_spk_volume(std::int32_t volume);
    std::int32_t get_mic_volume() const;
    std::int32_t get_spk_volume() const;

    // The left button went down at x within a thumb (the slider's units).
    void ThumbDown(double x) { VolumeSlider::Press(x, grabOffset_); }
    // The pointer moved to x within a thumb; the thumb follows a drag with
    // the left button alone and its device takes the volume.
    void ThumbMove(Slider slider, double x, bool leftButtonOnly);
    const VolumeSlider &slider(Slider which) const { return which == Microphone ? mic_ : speaker_; }
    std::int32_t GrabOffset() const { return grabOffset_; }

    void Label2_Click();             // mute the speaker
    void Label3_Click();             // mute the microphone
    void picspeakermuted_Click();    // unmute the speaker
    void picmicrophonemuted_Click(); // unmute the microphone
    // The tuning wizard, modal to the window given.
    void Picture13_Click(QWindow *window);

signals:
    void ThumbMoved(AudioControls::Slider slider, double left);
    void SpeakerMutedShown(bool shown);
    void MicrophoneMutedShown(bool shown);
    // Shown and closed before the control goes on.
    void Message(const QString &text, const QString &title, platform::MsgIcon icon);

private:
    rtc::IRTCClient *client() const { return state_.objRTCClient.get(); }
    bool putMuted(rtc::RTC_AUDIO_DEVICE device, bool muted);
    void setVolume(rtc::RTC_AUDIO_DEVICE device, std::int32_t volume);
    std::int32_t volume(rtc::RTC_AUDIO_DEVICE device) const;

    PhoneState &state_;
    // In the window's layout: the microphone's in pixels, the speaker's in
    // the twips of its frame.
    VolumeSlider mic_{76, 105, 88, 20.0 / 3.0};
    VolumeSlider speaker_{60, 1575, 270, 100};
    std::int32_t grabOffset_ = 0;
};
