#include "tests/doubles/FakeRTCClient.h"

namespace rtc::fake {

namespace {
class RegistrationEvent final : public IRTCRegistrationStateChangeEvent {
public:
    RegistrationEvent(RTC_REGISTRATION_STATE s, long code, std::shared_ptr<IRTCProfile> p)
        : state_(s), code_(code), profile_(std::move(p)) {}
    HRESULT get_State(RTC_REGISTRATION_STATE *s) const override { return s ? (*s = state_, S_OK) : E_POINTER; }
    HRESULT get_StatusCode(long *c) const override { return c ? (*c = code_, S_OK) : E_POINTER; }
    HRESULT get_StatusText(QString *t) const override { return t ? (*t = QString(), S_OK) : E_POINTER; }
    HRESULT get_Profile(std::shared_ptr<IRTCProfile> *p) const override { return p ? (*p = profile_, S_OK) : E_POINTER; }

private:
    RTC_REGISTRATION_STATE state_;
    long code_;
    std::shared_ptr<IRTCProfile> profile_;
};

class SessionEvent final : public IRTCSessionStateChangeEvent {
public:
    SessionEvent(RTC_SESSION_STATE s, std::shared_ptr<IRTCSession> session, long code)
        : state_(s), session_(std::move(session)), code_(code) {}
    HRESULT get_State(RTC_SESSION_STATE *s) const override { return s ? (*s = state_, S_OK) : E_POINTER; }
    HRESULT get_Session(std::shared_ptr<IRTCSession> *s) const override { return s ? (*s = session_, S_OK) : E_POINTER; }
    HRESULT get_StatusCode(long *c) const override { return c ? (*c = code_, S_OK) : E_POINTER; }
    HRESULT get_StatusText(QString *t) const override { return t ? (*t = QString(), S_OK) : E_POINTER; }

private:
    RTC_SESSION_STATE state_;
    std::shared_ptr<IRTCSession> session_;
    long code_;
};

class MediaEvent final : public IRTCMediaEvent {
public:
    MediaEvent(long media, RTC_MEDIA_EVENT_TYPE type) : media_(media), type_(type) {}
    HRESULT get_MediaType(long *m) const override { return m ? (*m = media_, S_OK) : E_POINTER; }
    HRESULT get_EventType(RTC_MEDIA_EVENT_TYPE *t) const override { return t ? (*t = type_, S_OK) : E_POINTER; }
    HRESULT get_EventReason(RTC_MEDIA_EVENT_REASON *r) const override { return r ? (*r = RTCMER_NORMAL, S_OK) : E_POINTER; }

private:
    long media_;
    RTC_MEDIA_EVENT_TYPE type_;
};

QString yesNo(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
} // namespace

HRESULT FakeRTCClient::put_EventFilter(long filter)
{
    const HRESULT hr = log.record(QStringLiteral("put_EventFilter"), {QString::number(filter)});
    if (Succeeded(hr))
        eventFilter = filter;
    return hr;
}

HRESULT FakeRTCClient::get_EventFilter(long *filter) const
{
    if (!filter)
        return E_POINTER;
    *filter = eventFilter;
    return S_OK;
}

HRESULT FakeRTCClient::Advise(IRTCEventNotification *s)
{
    const HRESULT hr = log.record(QStringLiteral("Advise"), {s ? QStringLiteral("sink") : QStringLiteral("none")});
    if (Succeeded(hr))
        sink = s;
    return hr;
}

HRESULT FakeRTCClient::put_ListenForIncomingSessions(RTC_LISTEN_MODE mode)
{
    const HRESULT hr = log.record(QStringLiteral("put_ListenForIncomingSessions"), {QString::number(mode)});
    if (Succeeded(hr))
        listen_ = mode;
    return hr;
}

HRESULT FakeRTCClient::get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const
{
    if (!mode)
        return E_POINTER;
    *mode = listen_;
    return S_OK;
}

HRESULT FakeRTCClient::SetPreferredMediaTypes(long mediaTypes, bool persistent)
{
    const HRESULT hr = log.record(QStringLiteral("SetPreferredMediaTypes"), {QString::number(mediaTypes), yesNo(persistent)});
    if (Succeeded(hr))
        mediaTypes_ = mediaTypes;
    return hr;
}

HRESULT FakeRTCClient::get_PreferredMediaTypes(long *mediaTypes) const
{
    if (!mediaTypes)
        return E_POINTER;
    *mediaTypes = mediaTypes_;
    return S_OK;
}

HRESULT FakeRTCClient::QueryProvisioning(IRTCClientProvisioning **provisioning)
{
    const HRESULT hr = log.record(QStringLiteral("QueryProvisioning"));
    if (Failed(hr))
        return hr;
    if (!provisioning)
        return E_POINTER;
    *provisioning = this;
    return S_OK;
}

HRESULT FakeRTCClient::CreateSession(RTC_SESSION_TYPE type, const QString &localPhoneURI,
                                     const std::shared_ptr<IRTCProfile> &profile, long flags,
                                     std::shared_ptr<IRTCSession> *session)
{
    const HRESULT hr = log.record(QStringLiteral("CreateSession"),
                                  {QString::number(type), localPhoneURI,
                                   profile ? QStringLiteral("profile") : QStringLiteral("none"), QString::number(flags)});
    if (Failed(hr))
        return hr;
    if (!session)
        return E_POINTER;
    auto s = std::make_shared<FakeSession>(log);
    sessions.push_back(s);
    *session = s;
    return S_OK;
}

HRESULT FakeRTCClient::PlayRing(RTC_RING_TYPE type, bool play)
{
    return log.record(QStringLiteral("PlayRing"), {QString::number(type), yesNo(play)});
}

HRESULT FakeRTCClient::SendDTMF(RTC_DTMF dtmf)
{
    return log.record(QStringLiteral("SendDTMF"), {QString::number(dtmf)});
}

HRESULT FakeRTCClient::put_Volume(RTC_AUDIO_DEVICE device, long volume)
{
    const HRESULT hr = log.record(QStringLiteral("put_Volume"), {QString::number(device), QString::number(volume)});
    if (Succeeded(hr) && (device == RTCAD_SPEAKER || device == RTCAD_MICROPHONE))
        volume_[device] = volume;
    return hr;
}

HRESULT FakeRTCClient::get_Volume(RTC_AUDIO_DEVICE device, long *volume) const
{
    if (!volume)
        return E_POINTER;
    if (device != RTCAD_SPEAKER && device != RTCAD_MICROPHONE)
        return E_INVALIDARG;
    *volume = volume_[device];
    return S_OK;
}

HRESULT FakeRTCClient::put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    const HRESULT hr = log.record(QStringLiteral("put_AudioMuted"), {QString::number(device), yesNo(muted)});
    if (Succeeded(hr) && (device == RTCAD_SPEAKER || device == RTCAD_MICROPHONE))
        muted_[device] = muted;
    return hr;
}

HRESULT FakeRTCClient::get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    if (!muted)
        return E_POINTER;
    if (device != RTCAD_SPEAKER && device != RTCAD_MICROPHONE)
        return E_INVALIDARG;
    *muted = muted_[device];
    return S_OK;
}

HRESULT FakeRTCClient::InvokeTuningWizard(QWindow *)
{
    return log.record(QStringLiteral("InvokeTuningWizard"));
}

HRESULT FakeRTCClient::CreateProfile(const QString &xml, std::shared_ptr<IRTCProfile> *profile)
{
    const HRESULT hr = log.record(QStringLiteral("CreateProfile"), {xml});
    if (Failed(hr))
        return hr;
    if (!profile)
        return E_POINTER;
    auto p = std::make_shared<FakeProfile>(xml);
    profiles.push_back(p);
    *profile = p;
    return S_OK;
}

HRESULT FakeRTCClient::EnableProfile(const std::shared_ptr<IRTCProfile> &profile, long registerFlags)
{
    const HRESULT hr = log.record(QStringLiteral("EnableProfile"),
                                  {profile ? QStringLiteral("profile") : QStringLiteral("none"), QString::number(registerFlags)});
    if (Succeeded(hr))
        enabledProfile = profile;
    return hr;
}

HRESULT FakeRTCClient::DisableProfile(const std::shared_ptr<IRTCProfile> &profile)
{
    const HRESULT hr = log.record(QStringLiteral("DisableProfile"), {profile ? QStringLiteral("profile") : QStringLiteral("none")});
    if (Succeeded(hr) && profile == enabledProfile)
        enabledProfile.reset();
    return hr;
}

void FakeRTCClient::Raise(RTC_EVENT event, IRTCEvent *pevent)
{
    if (sink && (eventFilter & eventFilterBit(event)))
        sink->Event(event, pevent);
}

void FakeRTCClient::RaiseRegistration(RTC_REGISTRATION_STATE state, long statusCode)
{
    RegistrationEvent e(state, statusCode, enabledProfile);
    Raise(RTCE_REGISTRATION_STATE_CHANGE, &e);
}

void FakeRTCClient::RaiseSession(const std::shared_ptr<IRTCSession> &session, RTC_SESSION_STATE state, long statusCode)
{
    if (auto fs = std::dynamic_pointer_cast<FakeSession>(session))
        fs->state = state;
    SessionEvent e(state, session, statusCode);
    Raise(RTCE_SESSION_STATE_CHANGE, &e);
}

void FakeRTCClient::RaiseMedia(long mediaType, RTC_MEDIA_EVENT_TYPE type)
{
    MediaEvent e(mediaType, type);
    Raise(RTCE_MEDIA, &e);
}

QStringList FakeRTCClient::operations() const
{
    QStringList names;
    for (const QString &c : log.calls)
        names << c.left(c.indexOf(QLatin1Char('(')));
    return names;
}

} // namespace rtc::fake
