#include "rtc/linphone/AudioDevices.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <cmath>

namespace rtc::lp {

namespace {

constexpr float kSilentDb = -96.0f;

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

const char *settingsKey(AudioDevices::Kind kind)
{
    return kind == AudioDevices::Capture ? "capture" : kind == AudioDevices::Playback ? "playback" : "ring";
}

// Where the speaker's or the microphone's value is kept; none for another device.
template <class Value>
Value *kept(RTC_AUDIO_DEVICE device, Value &speaker, Value &microphone)
{
    return device == RTCAD_SPEAKER ? &speaker : device == RTCAD_MICROPHONE ? &microphone : nullptr;
}

} // namespace

AudioDevices::AudioDevices(const LinphoneClientOptions &options, Later later)
    : options_(options), later_(std::move(later))
{
}

// The devices chosen in the tuning wizard, beside the engine's own files
// (its configuration stays in memory).
QString AudioDevices::settingsFile() const
{
    return QDir(options_.folder).absoluteFilePath(QStringLiteral("audio.ini"));
}

void AudioDevices::attach(const std::shared_ptr<linphone::Core> &core)
{
    core_ = core;
    const auto devices = core_->getExtendedAudioDevices();
    using C = linphone::AudioDevice::Capabilities;
    QSettings remembered(settingsFile(), QSettings::IniFormat);
    const auto choose = [&](Kind kind, const QString &given, C capability) {
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
    for (RTC_AUDIO_DEVICE device : {RTCAD_SPEAKER, RTCAD_MICROPHONE}) {
        applyVolume(device);
        applyMuted(device);
    }
}

std::vector<AudioDevices::Device> AudioDevices::devices(Kind kind)
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

QString AudioDevices::current(Kind kind) const
{
    if (!core_)
        return QString();
    return QString::fromStdString(kind == Capture    ? core_->getCaptureDevice()
                                  : kind == Playback ? core_->getPlaybackDevice()
                                                     : core_->getRingerDevice());
}

void AudioDevices::choose(Kind kind, const Device &device)
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
            if (ringerChanged)
                ringerChanged();
        }
    }
    QSettings remembered(settingsFile(), QSettings::IniFormat);
    const QString key = QLatin1String(settingsKey(kind));
    remembered.setValue(key + QStringLiteral("/id"), device.id);
    remembered.setValue(key + QStringLiteral("/name"), device.name);
    remembered.sync();
    QFile::setPermissions(settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
}

void AudioDevices::applyToCall(const std::shared_ptr<linphone::Call> &call) const
{
    // Mute and gains are core-wide; the speaker mute is per call.
    call->setSpeakerMuted(speakerMuted_);
}

HRESULT AudioDevices::putVolume(RTC_AUDIO_DEVICE device, long volume)
{
    auto *value = kept(device, speakerVolume_, micVolume_);
    if (!value || volume < 0 || volume > 65535)
        return E_INVALIDARG;
    *value = volume;
    later_([this, device] { applyVolume(device); });
    return S_OK;
}

HRESULT AudioDevices::getVolume(RTC_AUDIO_DEVICE device, long *volume) const
{
    if (!volume)
        return E_POINTER;
    const auto *value = kept(device, speakerVolume_, micVolume_);
    if (!value)
        return E_INVALIDARG;
    *volume = *value;
    return S_OK;
}

HRESULT AudioDevices::putMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    auto *value = kept(device, speakerMuted_, micMuted_);
    if (!value)
        return E_INVALIDARG;
    *value = muted;
    later_([this, device] { applyMuted(device); });
    return S_OK;
}

HRESULT AudioDevices::getMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    if (!muted)
        return E_POINTER;
    const auto *value = kept(device, speakerMuted_, micMuted_);
    if (!value)
        return E_INVALIDARG;
    *muted = *value;
    return S_OK;
}

void AudioDevices::applyVolume(RTC_AUDIO_DEVICE device)
{
    if (!core_)
        return;
    // Gains in dB apply to the current call and to every later one.
    if (device == RTCAD_SPEAKER)
        core_->setPlaybackGainDb(volumeToDb(speakerVolume_));
    else
        core_->setMicGainDb(volumeToDb(micVolume_));
}

void AudioDevices::applyMuted(RTC_AUDIO_DEVICE device)
{
    if (!core_)
        return;
    if (device == RTCAD_SPEAKER) {
        for (const auto &call : core_->getCalls())
            call->setSpeakerMuted(speakerMuted_);
    } else {
        core_->enableMic(!micMuted_);
    }
}

} // namespace rtc::lp
