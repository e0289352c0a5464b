#include "rtc/linphone/TuningWizard.h"

#include "rtc/linphone/Engine.h"
#include "rtc/linphone/WizardSounds.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPointer>
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

} // namespace

TuningWizard::TuningWizard(std::shared_ptr<Engine> engine, Devices devices, QWidget *parent)
    : QDialog(parent), engine_(std::move(engine)), devices_(std::move(devices))
{
    setObjectName(QStringLiteral("frmTuningWizard"));
    setWindowTitle(QStringLiteral("Audio Wizard"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(360); // room for the devices' names
    engine_->audio().getVolume(RTCAD_MICROPHONE, &micVolume_);
    engine_->audio().getVolume(RTCAD_SPEAKER, &speakerVolume_);
    testSound_ = engine_->folder() + QStringLiteral("/wizard-test.wav");
    recording_ = engine_->folder() + QStringLiteral("/wizard-recording.wav");
    meterFile_ = engine_->folder() + QStringLiteral("/wizard-meter.wav");

    // What the sounds tell comes back through the application object, which
    // outlives the wizard; a wizard gone by then hears nothing.
    const QPointer<TuningWizard> self(this);
    WizardSounds::Tell tell{
        [self](float v) {
            QMetaObject::invokeMethod(qApp, [self, v] { if (self) self->showLevel(v); }, Qt::QueuedConnection);
        },
        [self](const QString &text) {
            QMetaObject::invokeMethod(qApp, [self, text] { if (self) self->showProblem(text); }, Qt::QueuedConnection);
        }};
    // Made on the engine's thread, where its timer must live.
    holder_ = std::make_shared<std::shared_ptr<WizardSounds>>();
    engine_->later([engine = engine_.get(), holder = holder_, tell] {
        *holder = std::make_shared<WizardSounds>(engine->core(), tell);
    });

    auto *form = new QFormLayout;
    cmbMicrophone_ = deviceBox(QStringLiteral("Microphone"), devices_.mics, AudioDevices::Capture);
    form->addRow(QStringLiteral("Microphone:"), cmbMicrophone_);
    level_ = new QProgressBar(this);
    level_->setObjectName(QStringLiteral("prgLevel"));
    level_->setAccessibleName(QStringLiteral("Microphone level"));
    level_->setRange(0, 100);
    level_->setTextVisible(false);
    form->addRow(QStringLiteral("Level:"), level_);
    form->addRow(QStringLiteral("Microphone volume:"), volumeSlider(QStringLiteral("Microphone volume"), RTCAD_MICROPHONE));
    cmbSpeaker_ = deviceBox(QStringLiteral("Speaker"), devices_.speakers, AudioDevices::Playback);
    form->addRow(QStringLiteral("Speaker:"), cmbSpeaker_);
    form->addRow(QStringLiteral("Speaker volume:"), volumeSlider(QStringLiteral("Speaker volume"), RTCAD_SPEAKER));
    cmbRinger_ = deviceBox(QStringLiteral("Ringing device"), devices_.speakers, AudioDevices::Ring);
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
    recordTimer_.setSingleShot(true);
    recordTimer_.setInterval(kRecordMs);
    connect(&recordTimer_, &QTimer::timeout, this, [this] {
        withSounds([](WizardSounds &s) { s.finishRecording(); });
        lblState_->setText(QStringLiteral("Playing back..."));
        playOnSpeaker(recording_);
        cmdRecord_->setEnabled(true);
    });
    startMeter();
}

TuningWizard::~TuningWizard()
{
    // The sounds end on the engine's thread, and their files after them; the
    // engine is let go there too.
    EngineThread &thread = engine_->thread();
    thread.post([engine = std::move(engine_), holder = std::move(holder_),
                 files = QStringList{testSound_, recording_, meterFile_}]() mutable {
        holder->reset();
        for (const QString &f : files)
            QFile::remove(f);
        engine.reset();
    });
}

void TuningWizard::withSounds(std::function<void(WizardSounds &)> f)
{
    engine_->later([holder = holder_, f = std::move(f)] {
        if (*holder)
            f(**holder);
    });
}

void TuningWizard::showLevel(float linear)
{
    // The recorder's level is linear, 0 to 1; shown on a dB scale from
    // -60 dB so speech moves it well away from both ends.
    const double db = linear > 0 ? 20 * std::log10(linear) : -60.0;
    level_->setValue(qBound(0, int((db + 60) * 100 / 60), 100));
}

void TuningWizard::showProblem(const QString &text)
{
    lblState_->setText(text);
    if (recordTimer_.isActive()) {
        recordTimer_.stop();
        cmdRecord_->setEnabled(true);
    }
}

QComboBox *TuningWizard::deviceBox(const QString &name, const std::vector<AudioDevices::Device> &devices,
                                   AudioDevices::Kind kind)
{
    auto *box = new QComboBox(this);
    box->setAccessibleName(name);
    const QString &current = devices_.current[kind];
    for (const AudioDevices::Device &d : devices) {
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
    connect(slider, &QSlider::valueChanged, this, [this, device](int v) { engine_->audio().putVolume(device, v); });
    return slider;
}

const AudioDevices::Device *TuningWizard::chosen(AudioDevices::Kind kind) const
{
    const QComboBox *box = kind == AudioDevices::Capture ? cmbMicrophone_
                           : kind == AudioDevices::Playback ? cmbSpeaker_
                                                            : cmbRinger_;
    const auto &list = kind == AudioDevices::Capture ? devices_.mics : devices_.speakers;
    const int i = box->currentIndex();
    return i >= 0 && i < int(list.size()) ? &list[size_t(i)] : nullptr;
}

void TuningWizard::startMeter()
{
    const AudioDevices::Device *mic = chosen(AudioDevices::Capture);
    withSounds([id = mic ? mic->id : QString(), file = meterFile_](WizardSounds &s) { s.startMeter(id, file); });
}

void TuningWizard::playOnSpeaker(const QString &file)
{
    const AudioDevices::Device *speaker = chosen(AudioDevices::Playback);
    if (!speaker)
        return;
    withSounds([id = speaker->id, file](WizardSounds &s) { s.play(id, file); });
}

void TuningWizard::recordThreeSeconds()
{
    const AudioDevices::Device *mic = chosen(AudioDevices::Capture);
    if (!mic)
        return;
    QFile::remove(recording_);
    withSounds([id = mic->id, file = recording_](WizardSounds &s) { s.record(id, file); });
    cmdRecord_->setEnabled(false);
    lblState_->setText(QStringLiteral("Recording... speak now."));
    recordTimer_.start();
}

void TuningWizard::done(int result)
{
    recordTimer_.stop();
    withSounds([](WizardSounds &s) { s.stopAll(); });
    if (result == QDialog::Accepted) {
        for (AudioDevices::Kind kind : {AudioDevices::Capture, AudioDevices::Playback, AudioDevices::Ring})
            if (const AudioDevices::Device *d = chosen(kind))
                engine_->later([engine = engine_.get(), kind, device = *d] { engine->audio().choose(kind, device); });
    } else {
        engine_->audio().putVolume(RTCAD_MICROPHONE, micVolume_);
        engine_->audio().putVolume(RTCAD_SPEAKER, speakerVolume_);
    }
    QDialog::done(result);
}

} // namespace rtc::lp
