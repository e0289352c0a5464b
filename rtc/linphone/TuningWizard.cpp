#include "rtc/linphone/TuningWizard.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QtEndian>

#include <cmath>

namespace rtc::lp {

namespace {

constexpr int kRecordMs = 3000;

// One second of a 440 Hz tone, 16-bit mono WAVE at 16 kHz, fading in and out.
QByteArray testTone()
{
    const int rate = 16000, n = rate;
    QByteArray pcm(n * 2, '\0');
    for (int i = 0; i < n; ++i) {
        const double fade = std::min({1.0, i / 800.0, (n - i) / 800.0});
        qToLittleEndian(qint16(12000 * fade * std::sin(2 * M_PI * 440 * i / rate)), pcm.data() + 2 * i);
    }
    QByteArray wav("RIFF");
    const auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
    const auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
    u32(36 + pcm.size());
    wav.append("WAVEfmt ");
    u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
    wav.append("data");
    u32(pcm.size());
    return wav + pcm;
}

std::shared_ptr<linphone::AudioDevice> deviceById(linphone::Core &core, const QString &id)
{
    for (const auto &d : core.getExtendedAudioDevices())
        if (QString::fromStdString(d->getId()) == id)
            return d;
    return nullptr;
}

// The microphone recorded into a WAV file, started; none when it cannot be
// opened. On the engine's thread.
std::shared_ptr<linphone::Recorder> startRecorder(linphone::Core &core, const QString &micId, const QString &file)
{
    auto params = core.createRecorderParams();
    params->setFileFormat(linphone::RecorderFileFormat::Wav);
    params->setAudioDevice(deviceById(core, micId));
    auto recorder = core.createRecorder(params);
    if (!recorder || recorder->open(file.toStdString()) != 0 || recorder->start() != 0)
        return nullptr;
    return recorder;
}

} // namespace

TuningWizard::TuningWizard(Engine &engine, QWidget *parent) : QDialog(parent), engine_(engine)
{
    setObjectName(QStringLiteral("frmTuningWizard"));
    setWindowTitle(QStringLiteral("Audio Wizard"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(360); // room for the devices' names
    engine_.run([this] {
        mics_ = engine_.devices(Engine::Capture);
        speakers_ = engine_.devices(Engine::Playback);
        for (Engine::DeviceKind kind : {Engine::Capture, Engine::Playback, Engine::Ring})
            current_[kind] = engine_.currentDevice(kind);
    });
    engine_.getVolume(RTCAD_MICROPHONE, &micVolume_);
    engine_.getVolume(RTCAD_SPEAKER, &speakerVolume_);
    testSound_ = engine_.folder() + QStringLiteral("/wizard-test.wav");
    recording_ = engine_.folder() + QStringLiteral("/wizard-recording.wav");

    auto *form = new QFormLayout;
    cmbMicrophone_ = deviceBox(QStringLiteral("Microphone"), mics_, Engine::Capture);
    form->addRow(QStringLiteral("Microphone:"), cmbMicrophone_);
    level_ = new QProgressBar(this);
    level_->setObjectName(QStringLiteral("prgLevel"));
    level_->setAccessibleName(QStringLiteral("Microphone level"));
    level_->setRange(0, 100);
    level_->setTextVisible(false);
    form->addRow(QStringLiteral("Level:"), level_);
    form->addRow(QStringLiteral("Microphone volume:"), volumeSlider(QStringLiteral("Microphone volume"), RTCAD_MICROPHONE));
    cmbSpeaker_ = deviceBox(QStringLiteral("Speaker"), speakers_, Engine::Playback);
    form->addRow(QStringLiteral("Speaker:"), cmbSpeaker_);
    form->addRow(QStringLiteral("Speaker volume:"), volumeSlider(QStringLiteral("Speaker volume"), RTCAD_SPEAKER));
    cmbRinger_ = deviceBox(QStringLiteral("Ringing device"), speakers_, Engine::Ring);
    form->addRow(QStringLiteral("Ringing device:"), cmbRinger_);

    cmdTest_ = new QPushButton(QStringLiteral("Test sound"), this);
    cmdRecord_ = new QPushButton(QStringLiteral("Record 3 seconds"), this);
    lblState_ = new QLabel(this);
    lblState_->setObjectName(QStringLiteral("lblState"));
    auto *tests = new QHBoxLayout;
    tests->addWidget(cmdTest_);
    tests->addWidget(cmdRecord_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(tests);
    layout->addWidget(lblState_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cmdTest_, &QPushButton::clicked, this, [this] {
        QFile f(testSound_);
        if (f.open(QIODevice::WriteOnly))
            f.write(testTone());
        f.close();
        playOnSpeaker(testSound_);
    });
    connect(cmdRecord_, &QPushButton::clicked, this, &TuningWizard::recordThreeSeconds);
    connect(cmbMicrophone_, &QComboBox::currentIndexChanged, this, &TuningWizard::startMeter);
    meterTimer_.setInterval(100);
    connect(&meterTimer_, &QTimer::timeout, this, [this] {
        // The recorder's level is linear, 0 to 1; shown on a dB scale from
        // -60 dB so speech moves it well away from both ends.
        const float v = engine_.run([this] { return meter_ ? meter_->getCaptureVolume() : 0.0f; });
        const double db = v > 0 ? 20 * std::log10(v) : -60.0;
        level_->setValue(qBound(0, int((db + 60) * 100 / 60), 100));
    });
    recordTimer_.setSingleShot(true);
    recordTimer_.setInterval(kRecordMs);
    connect(&recordTimer_, &QTimer::timeout, this, [this] {
        engine_.run([this] {
            if (recorder_)
                recorder_->close();
            recorder_.reset();
        });
        lblState_->setText(QStringLiteral("Playing back..."));
        playOnSpeaker(recording_);
        cmdRecord_->setEnabled(true);
    });
    startMeter();
}

TuningWizard::~TuningWizard()
{
    stopSound();
    QFile::remove(testSound_);
    QFile::remove(recording_);
    QFile::remove(engine_.folder() + QStringLiteral("/wizard-meter.wav"));
}

QComboBox *TuningWizard::deviceBox(const QString &name, const std::vector<Engine::Device> &devices,
                                   Engine::DeviceKind kind)
{
    auto *box = new QComboBox(this);
    box->setAccessibleName(name);
    const QString &current = current_[kind];
    for (const Engine::Device &d : devices) {
        box->addItem(d.name, d.id);
        if (d.id == current)
            box->setCurrentIndex(box->count() - 1);
    }
    return box;
}

QSlider *TuningWizard::volumeSlider(const QString &name, RTC_AUDIO_DEVICE device)
{
    auto *slider = new QSlider(Qt::Horizontal, this);
    slider->setAccessibleName(name);
    slider->setRange(0, 65535);
    slider->setSingleStep(1024);
    slider->setPageStep(8192);
    slider->setValue(int(device == RTCAD_MICROPHONE ? micVolume_ : speakerVolume_));
    connect(slider, &QSlider::valueChanged, this, [this, device](int v) { engine_.putVolume(device, v); });
    return slider;
}

const Engine::Device *TuningWizard::chosen(Engine::DeviceKind kind) const
{
    const QComboBox *box = kind == Engine::Capture ? cmbMicrophone_ : kind == Engine::Playback ? cmbSpeaker_ : cmbRinger_;
    const auto &list = kind == Engine::Capture ? mics_ : speakers_;
    const int i = box->currentIndex();
    return i >= 0 && i < int(list.size()) ? &list[size_t(i)] : nullptr;
}

void TuningWizard::startMeter()
{
    meterTimer_.stop();
    const Engine::Device *mic = chosen(Engine::Capture);
    const QString file = engine_.folder() + QStringLiteral("/wizard-meter.wav");
    enum { NoMic, MicRefused, Metering };
    const int outcome = engine_.run([&] {
        if (meter_)
            meter_->close();
        meter_.reset();
        auto core = engine_.core();
        if (!mic || !core)
            return NoMic;
        meter_ = startRecorder(*core, mic->id, file);
        return meter_ ? Metering : MicRefused;
    });
    if (outcome == MicRefused)
        lblState_->setText(QStringLiteral("The microphone cannot be opened."));
    else if (outcome == Metering)
        meterTimer_.start();
}

void TuningWizard::playOnSpeaker(const QString &file)
{
    const Engine::Device *speaker = chosen(Engine::Playback);
    const bool played = engine_.run([&] {
        auto core = engine_.core();
        if (!speaker || !core)
            return true;
        if (player_)
            player_->close();
        player_ = core->createLocalPlayer(speaker->id.toStdString(), "", nullptr);
        if (!player_ || player_->open(file.toStdString()) != 0 || player_->start() != 0) {
            player_.reset();
            return false;
        }
        return true;
    });
    if (!played)
        lblState_->setText(QStringLiteral("The speaker cannot play."));
}

void TuningWizard::recordThreeSeconds()
{
    const Engine::Device *mic = chosen(Engine::Capture);
    if (!mic)
        return;
    QFile::remove(recording_);
    const bool recording = engine_.run([&] {
        auto core = engine_.core();
        if (!core)
            return false;
        recorder_ = startRecorder(*core, mic->id, recording_);
        return recorder_ != nullptr;
    });
    if (!recording) {
        lblState_->setText(QStringLiteral("The microphone cannot be opened."));
        return;
    }
    cmdRecord_->setEnabled(false);
    lblState_->setText(QStringLiteral("Recording... speak now."));
    recordTimer_.start();
}

void TuningWizard::stopSound()
{
    meterTimer_.stop();
    recordTimer_.stop();
    engine_.run([this] {
        for (auto *r : {&meter_, &recorder_})
            if (*r) {
                (*r)->close();
                r->reset();
            }
        if (player_) {
            player_->close();
            player_.reset();
        }
    });
}

void TuningWizard::done(int result)
{
    stopSound();
    if (result == QDialog::Accepted) {
        for (Engine::DeviceKind kind : {Engine::Capture, Engine::Playback, Engine::Ring})
            if (const Engine::Device *d = chosen(kind))
                engine_.run([&] { engine_.chooseDevice(kind, *d); });
    } else {
        engine_.putVolume(RTCAD_MICROPHONE, micVolume_);
        engine_.putVolume(RTCAD_SPEAKER, speakerVolume_);
    }
    QDialog::done(result);
}

} // namespace rtc::lp
