#include "rtc/linphone/WizardSounds.h"

namespace rtc::lp {

namespace {

constexpr int kLevelIntervalMs = 100;
const QString kMicRefused = QStringLiteral("The microphone cannot be opened.");

std::shared_ptr<linphone::AudioDevice> deviceById(linphone::Core &core, const QString &id)
{
    for (const auto &d : core.getExtendedAudioDevices())
        if (QString::fromStdString(d->getId()) == id)
            return d;
    return nullptr;
}

} // namespace

WizardSounds::WizardSounds(std::shared_ptr<linphone::Core> core, Tell tell)
    : core_(std::move(core)), tell_(std::move(tell))
{
}

WizardSounds::~WizardSounds()
{
    stopAll();
}

// The microphone recorded into a WAV file, started; none when it cannot be opened.
std::shared_ptr<linphone::Recorder> WizardSounds::startRecorder(const QString &micId, const QString &file)
{
    auto params = core_->createRecorderParams();
    params->setFileFormat(linphone::RecorderFileFormat::Wav);
    params->setAudioDevice(deviceById(*core_, micId));
    auto recorder = core_->createRecorder(params);
    if (!recorder || recorder->open(file.toStdString()) != 0 || recorder->start() != 0)
        return nullptr;
    return recorder;
}

void WizardSounds::startMeter(const QString &micId, const QString &file)
{
    if (levelTimer_)
        levelTimer_->stop();
    if (meter_)
        meter_->close();
    meter_ = micId.isEmpty() ? nullptr : startRecorder(micId, file);
    if (!meter_) {
        if (!micId.isEmpty())
            tell_.problem(kMicRefused);
        return;
    }
    if (!levelTimer_) {
        levelTimer_ = std::make_unique<QTimer>();
        levelTimer_->setInterval(kLevelIntervalMs);
        QObject::connect(levelTimer_.get(), &QTimer::timeout, [this] {
            if (meter_)
                tell_.level(meter_->getCaptureVolume());
        });
    }
    levelTimer_->start();
}

void WizardSounds::play(const QString &speakerId, const QString &file)
{
    if (speakerId.isEmpty())
        return;
    if (player_)
        player_->close();
    player_ = core_->createLocalPlayer(speakerId.toStdString(), "", nullptr);
    if (!player_ || player_->open(file.toStdString()) != 0 || player_->start() != 0) {
        player_.reset();
        tell_.problem(QStringLiteral("The speaker cannot play."));
    }
}

void WizardSounds::record(const QString &micId, const QString &file)
{
    recorder_ = startRecorder(micId, file);
    if (!recorder_)
        tell_.problem(kMicRefused);
}

void WizardSounds::finishRecording()
{
    if (recorder_)
        recorder_->close();
    recorder_.reset();
}

void WizardSounds::stopAll()
{
    if (levelTimer_)
        levelTimer_->stop();
    for (auto *r : {&meter_, &recorder_})
        if (*r) {
            (*r)->close();
            r->reset();
        }
    if (player_) {
        player_->close();
        player_.reset();
    }
}

} // namespace rtc::lp
