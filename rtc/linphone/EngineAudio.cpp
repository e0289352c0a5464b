// Audio devices, the ring player, volumes and mute.
#include "rtc/linphone/Engine.h"

#include "rtc/linphone/CoreEvents.h"
#include "rtc/linphone/LinphoneSession.h"

#include <QFile>
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

void Engine::chooseAudioDevices()
{
    const auto devices = core_->getExtendedAudioDevices();
    using C = linphone::AudioDevice::Capabilities;
    if (auto out = pick(devices, C::CapabilityPlay, options_.playbackDevice)) {
        core_->setDefaultOutputAudioDevice(out);
        core_->setPlaybackDevice(out->getId());
    }
    if (auto in = pick(devices, C::CapabilityRecord, options_.captureDevice)) {
        core_->setDefaultInputAudioDevice(in);
        core_->setCaptureDevice(in->getId());
    }
    const QString ring = options_.ringDevice.isEmpty() ? options_.playbackDevice : options_.ringDevice;
    if (auto ringer = pick(devices, C::CapabilityPlay, ring))
        core_->setRingerDevice(ringer->getId());
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
    for (const auto &s : sessions_)
        if (s->state() == RTCSS_INCOMING)
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

HRESULT Engine::putVolume(RTC_AUDIO_DEVICE device, long volume)
{
    if (volume < 0 || volume > 65535)
        return E_INVALIDARG;
    // Gains in dB apply to the current call and to every later one.
    if (device == RTCAD_SPEAKER) {
        speakerVolume_ = volume;
        core_->setPlaybackGainDb(volumeToDb(volume));
    } else if (device == RTCAD_MICROPHONE) {
        micVolume_ = volume;
        core_->setMicGainDb(volumeToDb(volume));
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT Engine::getVolume(RTC_AUDIO_DEVICE device, long *volume) const
{
    if (!volume)
        return E_POINTER;
    if (device == RTCAD_SPEAKER)
        *volume = speakerVolume_;
    else if (device == RTCAD_MICROPHONE)
        *volume = micVolume_;
    else
        return E_INVALIDARG;
    return S_OK;
}

HRESULT Engine::putMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    if (device == RTCAD_SPEAKER) {
        speakerMuted_ = muted;
        for (const auto &call : core_->getCalls())
            call->setSpeakerMuted(muted);
    } else if (device == RTCAD_MICROPHONE) {
        micMuted_ = muted;
        core_->enableMic(!muted);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT Engine::getMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    if (!muted)
        return E_POINTER;
    if (device == RTCAD_SPEAKER)
        *muted = speakerMuted_;
    else if (device == RTCAD_MICROPHONE)
        *muted = micMuted_;
    else
        return E_INVALIDARG;
    return S_OK;
}

} // namespace rtc::lp
