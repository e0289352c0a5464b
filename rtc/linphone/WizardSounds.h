#pragma once
// The tuning wizard's sounds: the microphone's level meter, the recording
// and the player, on the engine's thread. What the window must show (the
// level, ten times a second, and what could not be opened) it is told
// through the two callbacks, which carry it to the window's thread.
#include <linphone++/linphone.hh>

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace rtc::lp {

class WizardSounds {
public:
    struct Tell {
        std::function<void(float linear)> level;
        std::function<void(const QString &problem)> problem;
    };
    WizardSounds(std::shared_ptr<linphone::Core> core, Tell tell);
    ~WizardSounds();

    void startMeter(const QString &micId, const QString &file);
    void play(const QString &speakerId, const QString &file);
    void record(const QString &micId, const QString &file);
    void finishRecording();
    void stopAll();

private:
    std::shared_ptr<linphone::Recorder> startRecorder(const QString &micId, const QString &file);

    const std::shared_ptr<linphone::Core> core_;
    const Tell tell_;
    std::unique_ptr<QTimer> levelTimer_; // made on the engine's thread, where it runs
    std::shared_ptr<linphone::Recorder> meter_, recorder_;
    std::shared_ptr<linphone::Player> player_;
};

} // namespace rtc::lp
