#pragma once
#include "call/AudioControls.h"

#include <QObject>

class MainControls;
class QWidget;
namespace platform {
class IScreenMetrics;
}

// The widgets of the microphone and speaker controls: the two thumbs, the
// mute areas Label2 and Label3 and the two muted indicators, handed to the
// phone's AudioControls. The speaker's thumb counts in the twips of its frame.
class VolumeControls : public QObject {
    Q_OBJECT
public:
    // client: the phone's RTC client, as AudioControls takes it.
    VolumeControls(const MainControls &controls, std::function<rtc::IRTCClient *()> client,
                   const platform::IScreenMetrics *screen, QObject *parent = nullptr);

    AudioControls &audio() { return audio_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Units of the slider's container per pixel.
    double scale(AudioControls::Slider slider) const { return slider == AudioControls::Speaker ? twips_ : 1.0; }
    void placeThumb(AudioControls::Slider slider, double left);
    // The mute areas and the muted indicators over them.
    void Label2_Click() { audio_.MuteSpeaker(); }
    void Label3_Click() { audio_.MuteMicrophone(); }
    void picspeakermuted_Click() { audio_.UnmuteSpeaker(); }
    void picmicrophonemuted_Click() { audio_.UnmuteMicrophone(); }

    AudioControls audio_;
    QWidget *thumbs_[2] = {};
    QWidget *label2_ = nullptr, *label3_ = nullptr;
    QWidget *speakerMuted_ = nullptr, *micMuted_ = nullptr;
    QWidget *pressed_ = nullptr; // the mute area the left button went down on
    double twips_ = 15.0;
};
