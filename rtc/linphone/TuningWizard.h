#pragma once
// The audio tuning wizard: the microphone, the speaker and the ringing
// device among the engine's own, a live microphone level, a test sound and
// a three-second recording played back on the chosen speaker, and the
// volume of each. OK keeps the choices (for the next start too); Cancel
// puts back what was there. A window on the client's thread; its recorders
// and player live on the engine's thread (WizardSounds), which it only
// posts to: the level and any failure come back to it as they happen.
#include "rtc/linphone/AudioDevices.h"

#include <QDialog>
#include <QTimer>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

namespace rtc::lp {

class Engine;
class WizardSounds;

class TuningWizard : public QDialog {
    Q_OBJECT
public:
    // What the wizard shows at first, looked up on the engine's thread.
    struct Devices {
        std::vector<AudioDevices::Device> mics, speakers;
        QString current[3]; // the device in use, by AudioDevices::Kind
    };
    TuningWizard(std::shared_ptr<Engine> engine, Devices devices, QWidget *parent);
    ~TuningWizard() override;

    // From the engine's thread, through the wizard's own queue.
    void showLevel(float linear);
    void showProblem(const QString &text);

protected:
    void done(int result) override;

private:
    QComboBox *deviceBox(const QString &name, const std::vector<AudioDevices::Device> &devices,
                         AudioDevices::Kind kind);
    QSlider *volumeSlider(const QString &name, RTC_AUDIO_DEVICE device);
    const AudioDevices::Device *chosen(AudioDevices::Kind kind) const;
    void startMeter();
    void playOnSpeaker(const QString &file);
    void recordThreeSeconds();
    // Runs f with the sounds on the engine's thread.
    void withSounds(std::function<void(WizardSounds &)> f);

    std::shared_ptr<Engine> engine_;
    // Filled, used and emptied on the engine's thread only.
    std::shared_ptr<std::shared_ptr<WizardSounds>> holder_;
    Devices devices_;
    QComboBox *cmbMicrophone_ = nullptr, *cmbSpeaker_ = nullptr, *cmbRinger_ = nullptr;
    QProgressBar *level_ = nullptr;
    QPushButton *cmdTest_ = nullptr, *cmdRecord_ = nullptr;
    QLabel *lblState_ = nullptr;
    QTimer recordTimer_;
    long micVolume_ = 0, speakerVolume_ = 0; // as found, for Cancel
    QString testSound_, recording_, meterFile_;
};

} // namespace rtc::lp
