// Audio devices, the ring player, volumes and mute.
#include "rtc/linphone/Engine.h"

#include "rtc/linphone/CoreEvents.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/TuningWizard.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QApplication>
#include <QWidget>
#include <cmath>

namespace rtc::lp {

namespace {

constexpr float kSilentDb = -96.0f;
constexpr int kRingMaxMs = 2000;

std::shared_ptr<linphone::AudioDevice> pick(const std::list<std::shared_ptr<linphone::AudioDevice>> &devices,
                                            linphone::AudioDevice::Capabilities capability, const QString &wanted)
{
    std::shared_ptr<linphone::AudioDevice> pulse, first;
    for (const auto &d : devices) {
        if (!d->hasCapability(capability))
            continue;
        const QString id = QString::fromStdString(d->getId());
        const QString name = QString::fromStdString(d->getDeviceName());
        if (!wanted.isEmpty()) {
            if (id.contains(wanted, Qt::CaseInsensitive) || name.contains(wanted, Qt::CaseInsensitive))
                return d;
            continue;
        }
        // PulseAudio lists its default device first.
        if (!pulse && QString::fromStdString(d->getDriverName()).contains(QLatin1String("Pulse"), Qt::CaseInsensitive))
            pulse = d;
        if (!first)
            first = d;
    }
    return pulse ? pulse : first;
}

float volumeToDb(long volume)
{
    if (volume <= 0)
        return kSilentDb;
    return static_cast<float>(20.0 * std::log10(static_cast<double>(volume) / 65535.0));
}

} // namespace

namespace {
const char *settingsKey(Engine::DeviceKind kind)
{
    return kind == Engine::Capture ? "capture" : kind == Engine::Playback ? "playback" : "ring";
}
} // namespace

QString Engine::folder() const { return QDir(options_.folder).absolutePath(); }

// The devices chosen in the tuning wizard, beside the engine's own files
// (its configuration stays in memory).
QString Engine::audioSettingsFile() const { return folder() + QStringLiteral("/audio.ini"); }

void Engine::chooseAudioDevices()
{
    const auto devices = core_->getExtendedAudioDevices();
    using C = linphone::AudioDevice::Capabilities;
    QSettings remembered(audioSettingsFile(), QSettings::IniFormat);
    const auto choose = [&](DeviceKind kind, const QString &given, C capability) {
        QString wanted = given;
        const QString key = QLatin1String(settingsKey(kind));
        const QString rememberedId = remembered.value(key + QStringLiteral("/id")).toString();
        if (wanted.isEmpty())
            wanted = rememberedId;
        auto device = pick(devices, capability, wanted);
        if (!device && !wanted.isEmpty()) {
            // Gone since it was chosen: the default stands in and the choice
            // is kept for when it comes back.
            device = pick(devices, capability, QString());
            if (wanted == rememberedId && options_.notice) {
                const QString what = kind == Capture ? QStringLiteral("microphone")
                                     : kind == Playback ? QStringLiteral("speaker")
                                                        : QStringLiteral("ringing device");
                options_.notice(QStringLiteral("The %1 chosen in the Audio Wizard (%2) is not there: the default "
                                               "%1 is used.")
                                    .arg(what, remembered.value(key + QStringLiteral("/name")).toString()));
            }
        }
        return device;
    };
    if (auto out = choose(Playback, options_.playbackDevice, C::CapabilityPlay)) {
        core_->setDefaultOutputAudioDevice(out);
        core_->setPlaybackDevice(out->getId());
    }
    if (auto in = choose(Capture, options_.captureDevice, C::CapabilityRecord)) {
        core_->setDefaultInputAudioDevice(in);
        core_->setCaptureDevice(in->getId());
    }
    const QString ring = options_.ringDevice.isEmpty() ? options_.playbackDevice : options_.ringDevice;
    if (auto ringer = choose(Ring, ring, C::CapabilityPlay))
        core_->setRingerDevice(ringer->getId());
}

std::vector<Engine::Device> Engine::devices(DeviceKind kind)
{
    std::vector<Device> out;
    if (!core_)
        return out;
    core_->reloadSoundDevices();
    using C = linphone::AudioDevice::Capabilities;
    const C capability = kind == Capture ? C::CapabilityRecord : C::CapabilityPlay;
    for (const auto &d : core_->getExtendedAudioDevices())
        if (d->hasCapability(capability))
            out.push_back({QString::fromStdString(d->getId()), QString::fromStdString(d->getDeviceName())});
    return out;
}

QString Engine::currentDevice(DeviceKind kind) const
{
    if (!core_)
        return QString();
    return QString::fromStdString(kind == Capture    ? core_->getCaptureDevice()
                                  : kind == Playback ? core_->getPlaybackDevice()
                                                     : core_->getRingerDevice());
}

void Engine::chooseDevice(DeviceKind kind, const Device &device)
{
    if (!core_)
        return;
    const std::string id = device.id.toStdString();
    for (const auto &d : core_->getExtendedAudioDevices()) {
        if (d->getId() != id)
            continue;
        if (kind == Capture) {
            core_->setDefaultInputAudioDevice(d);
            core_->setCaptureDevice(id);
        } else if (kind == Playback) {
            core_->setDefaultOutputAudioDevice(d);
            core_->setPlaybackDevice(id);
        } else {
            core_->setRingerDevice(id);
            // The next ring opens a player on the new device.
            if (ringPlayer_) {
                ringPlayer_->close();
                ringPlayer_->removeListener(ringListener_);
                ringPlayer_.reset();
            }
        }
    }
    QSettings remembered(audioSettingsFile(), QSettings::IniFormat);
    const QString key = QLatin1String(settingsKey(kind));
    remembered.setValue(key + QStringLiteral("/id"), device.id);
    remembered.setValue(key + QStringLiteral("/name"), device.name);
    remembered.sync();
    QFile::setPermissions(audioSettingsFile(), QFile::ReadOwner | QFile::WriteOwner);
}

void Engine::applyCallAudio(const std::shared_ptr<linphone::Call> &call)
{
    // Mute and gains are core-wide; the speaker mute is per call.
    call->setSpeakerMuted(speakerMuted_);
}

HRESULT Engine::playRing(RTC_RING_TYPE type, bool play)
{
    if (!play) {
        ringEnd_.stop();
        ringLoops_ = false;
        ringingPhone_ = false;
        if (ringPlayer_)
            ringPlayer_->close();
        return S_OK;
    }
    const QString file = type == RTCRT_PHONE ? ringFile_ : type == RTCRT_RINGBACK ? ringbackFile_ : messageFile_;
    if (file.isEmpty() || !QFile::exists(file))
        return E_FAIL;
    const std::string ringer = core_->getRingerDevice();
    if (ringer.empty())
        return RTC_E_NO_DEVICE;
    if (!ringPlayer_) {
        ringPlayer_ = core_->createLocalPlayer(ringer, "", nullptr);
        if (!ringPlayer_)
            return RTC_E_NO_DEVICE;
        ringListener_ = std::make_shared<RingEvents>(this);
        ringPlayer_->addListener(ringListener_);
    }
    ringPlayer_->close();
    if (ringPlayer_->open(file.toStdString()) != 0 || ringPlayer_->start() != 0) {
        ringPlayer_->close();
        return RTC_E_NO_DEVICE;
    }
    // The phone's ring sounds once per call (the caller rings every two
    // seconds); the ringback tone goes on until it is stopped.
    ringLoops_ = type == RTCRT_RINGBACK;
    ringingPhone_ = type == RTCRT_PHONE;
    if (!ringLoops_) {
        // One ring at most as long as the two seconds between rings.
        const int length = ringPlayer_->getDuration();
        ringEnd_.start(length > 0 ? qMin(length + 100, kRingMaxMs) : kRingMaxMs);
    }
    return S_OK;
}

void Engine::stopRingWhenNoCallRings()
{
    if (!ringingPhone_)
        return;
    for (const auto &leg : legs_)
        if (leg.session->state() == RTCSS_INCOMING)
            return;
    playRing(RTCRT_PHONE, false);
}

void Engine::onRingEnded()
{
    if (!ringPlayer_)
        return;
    if (ringLoops_) {
        ringPlayer_->seek(0);
        ringPlayer_->start();
    } else {
        ringEnd_.stop();
        ringingPhone_ = false;
        ringPlayer_->close();
    }
}

namespace {
// Where the speaker's or the microphone's value is kept; none for another device.
template <class Value>
Value *kept(RTC_AUDIO_DEVICE device, Value &speaker, Value &microphone)
{
    return device == RTCAD_SPEAKER ? &speaker : device == RTCAD_MICROPHONE ? &microphone : nullptr;
}
} // namespace

void Engine::applyLater(RTC_AUDIO_DEVICE device, void (Engine::*apply)(RTC_AUDIO_DEVICE))
{
    thread_->post([engine = weak_from_this(), device, apply] {
        if (auto e = engine.lock())
            (e.get()->*apply)(device);
    });
}

HRESULT Engine::putVolume(RTC_AUDIO_DEVICE device, long volume)
{
    auto *value = kept(device, speakerVolume_, micVolume_);
    if (!value || volume < 0 || volume > 65535)
        return E_INVALIDARG;
    *value = volume;
    applyLater(device, &Engine::applyVolume);
    return S_OK;
}

void Engine::applyVolume(RTC_AUDIO_DEVICE device)
{
    Q_ASSERT(onThread());
    if (!core_)
        return;
    // Gains in dB apply to the current call and to every later one.
    if (device == RTCAD_SPEAKER)
        core_->setPlaybackGainDb(volumeToDb(speakerVolume_));
    else
        core_->setMicGainDb(volumeToDb(micVolume_));
}

HRESULT Engine::getVolume(RTC_AUDIO_DEVICE device, long *volume) const
{
    if (!volume)
        return E_POINTER;
    const auto *value = kept(device, speakerVolume_, micVolume_);
    if (!value)
        return E_INVALIDARG;
    *volume = *value;
    return S_OK;
}

HRESULT Engine::putMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    auto *value = kept(device, speakerMuted_, micMuted_);
    if (!value)
        return E_INVALIDARG;
    *value = muted;
    applyLater(device, &Engine::applyMuted);
    return S_OK;
}

void Engine::applyMuted(RTC_AUDIO_DEVICE device)
{
    Q_ASSERT(onThread());
    if (!core_)
        return;
    if (device == RTCAD_SPEAKER) {
        for (const auto &call : core_->getCalls())
            call->setSpeakerMuted(speakerMuted_);
    } else {
        core_->enableMic(!micMuted_);
    }
}

HRESULT Engine::getMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    if (!muted)
        return E_POINTER;
    const auto *value = kept(device, speakerMuted_, micMuted_);
    if (!value)
        return E_INVALIDARG;
    *muted = *value;
    return S_OK;
}

} // namespace rtc::lp

namespace rtc::lp {

HRESULT Engine::invokeTuningWizard(QWindow *parent)
{
    Q_ASSERT(!onThread());
    const HRESULT ready = run([this] {
        if (!core_)
            return RTC_E_CLIENT_NOT_INITIALIZED;
        return devices(Capture).empty() || devices(Playback).empty() ? RTC_E_NO_DEVICE : S_OK;
    });
    if (Failed(ready))
        return ready;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return E_UNEXPECTED; // no windows in this process
    // Modal to the window handed in, as its child.
    QWidget *owner = parent ? QWidget::find(parent->winId()) : nullptr;
    TuningWizard wizard(*this, owner);
    wizard.exec();
    return S_OK;
}

} // namespace rtc::lp
