#pragma once
// The audio tuning wizard: the microphone, the speaker and the ringing
// device among the engine's own, a live microphone level, a test sound and
// a three-second recording played back on the chosen speaker, and the
// volume of each. OK keeps the choices (for the next start too); Cancel
// puts back what was there. A window on the client's thread: everything it
// does with the core runs on the engine's thread (Engine::run), where its
// recorders and player are made and let go.
#include "rtc/linphone/Engine.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

namespace rtc::lp {

class TuningWizard : public QDialog {
    Q_OBJECT
public:
    TuningWizard(Engine &engine, QWidget *parent);
    ~TuningWizard() override;

protected:
    void done(int result) override;

private:
    QComboBox *deviceBox(const QString &name, const std::vector<Engine::Device> &devices, Engine::DeviceKind kind);
    QSlider *volumeSlider(const QString &name, RTC_AUDIO_DEVICE device);
    const Engine::Device *chosen(Engine::DeviceKind kind) const;
    void startMeter();
    void playOnSpeaker(const QString &file);
    void recordThreeSeconds();
    void stopSound();

    Engine &engine_;
    std::vector<Engine::Device> mics_, speakers_;
    QString current_[3]; // the device in use, by kind
    QComboBox *cmbMicrophone_ = nullptr, *cmbSpeaker_ = nullptr, *cmbRinger_ = nullptr;
    QProgressBar *level_ = nullptr;
    QPushButton *cmdTest_ = nullptr, *cmdRecord_ = nullptr;
    QLabel *lblState_ = nullptr;
    QTimer meterTimer_, recordTimer_;
    std::shared_ptr<linphone::Recorder> meter_, recorder_;
    std::shared_ptr<linphone::Player> player_;
    long micVolume_ = 0, speakerVolume_ = 0; // as found, for Cancel
    QString testSound_, recording_;
};

} // namespace rtc::lp
