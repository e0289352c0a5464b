#pragma once
// A scriptable RTC client for unit tests. It records every call with its
// arguments, fails the operations a test names, and raises events on demand.
#include "rtc/IRTCClient.h"
#include <QHash>
#include <QStringList>
#include <memory>
#include <vector>

namespace rtc::fake {

class FakeRTCClient;

// Remembers operations and answers with scripted result codes.
class CallLog {
public:
    QStringList calls;                 // "Name(arg, arg)" in call order
    QHash<QString, HRESULT> failures;  // operation name → result it returns

    HRESULT record(const QString &op, const QStringList &args = {})
    {
        calls << op + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
        return failures.value(op, S_OK);
    }
};

class FakeParticipant final : public IRTCParticipant {
public:
    FakeParticipant(QString uri, QString name) : uri_(std::move(uri)), name_(std::move(name)) {}
    HRESULT get_UserURI(QString *uri) const override { return uri ? (*uri = uri_, S_OK) : E_POINTER; }
    HRESULT get_Name(QString *name) const override { return name ? (*name = name_, S_OK) : E_POINTER; }
    HRESULT get_State(RTC_PARTICIPANT_STATE *s) const override { return s ? (*s = RTCPS_IDLE, S_OK) : E_POINTER; }

private:
    QString uri_, name_;
};

class FakeProfile final : public IRTCProfile {
public:
    explicit FakeProfile(QString xml) : xml_(std::move(xml)) {}
    HRESULT get_Key(QString *v) const override { return v ? (*v = QString(), S_OK) : E_POINTER; }
    HRESULT get_Name(QString *v) const override { return v ? (*v = QString(), S_OK) : E_POINTER; }
    HRESULT get_XML(QString *v) const override { return v ? (*v = xml_, S_OK) : E_POINTER; }
    HRESULT get_UserURI(QString *v) const override { return v ? (*v = QString(), S_OK) : E_POINTER; }
    HRESULT get_UserName(QString *v) const override { return v ? (*v = QString(), S_OK) : E_POINTER; }
    HRESULT get_UserAccount(QString *v) const override { return v ? (*v = QString(), S_OK) : E_POINTER; }

private:
    QString xml_;
};

class FakeSession final : public IRTCSession {
public:
    explicit FakeSession(CallLog &log, RTC_SESSION_STATE initial = RTCSS_IDLE) : state(initial), log_(log) {}

    HRESULT get_State(RTC_SESSION_STATE *s) const override { return s ? (*s = state, S_OK) : E_POINTER; }
    HRESULT get_Type(RTC_SESSION_TYPE *t) const override { return t ? (*t = RTCST_PC_TO_PHONE, S_OK) : E_POINTER; }
    HRESULT get_Participants(std::shared_ptr<IRTCCollection> *out) const override
    {
        if (!out)
            return E_POINTER;
        *out = std::make_shared<ParticipantCollection>(participants);
        return S_OK;
    }
    HRESULT Answer() override { return log_.record(QStringLiteral("Session.Answer")); }
    HRESULT Terminate(RTC_TERMINATE_REASON reason) override
    {
        return log_.record(QStringLiteral("Session.Terminate"), {QString::number(reason)});
    }
    HRESULT AddParticipant(const QString &uri, const QString &name,
                           std::shared_ptr<IRTCParticipant> *participant) override
    {
        const HRESULT hr = log_.record(QStringLiteral("Session.AddParticipant"), {uri, name});
        if (Failed(hr))
            return hr;
        auto p = std::make_shared<FakeParticipant>(uri, name);
        participants.push_back(p);
        if (participant)
            *participant = p;
        return S_OK;
    }

    HRESULT get_Encrypted(bool *e) const override { return e ? (*e = encrypted, S_OK) : E_POINTER; }

    RTC_SESSION_STATE state;
    bool encrypted = false;
    std::vector<std::shared_ptr<IRTCParticipant>> participants;

private:
    CallLog &log_;
};

class FakeRTCClient final : public IRTCClient, public IRTCClientProvisioning {
public:
    CallLog log;
    IRTCEventNotification *sink = nullptr;
    long eventFilter = 0;
    std::vector<std::shared_ptr<FakeProfile>> profiles; // every profile created
    std::shared_ptr<IRTCProfile> enabledProfile;
    std::vector<std::shared_ptr<FakeSession>> sessions; // every session created

    // IRTCClient
    HRESULT Initialize() override { return log.record(QStringLiteral("Initialize")); }
    HRESULT PrepareForShutdown() override { return log.record(QStringLiteral("PrepareForShutdown")); }
    HRESULT Shutdown() override { return log.record(QStringLiteral("Shutdown")); }
    HRESULT put_EventFilter(long filter) override;
    HRESULT get_EventFilter(long *filter) const override;
    HRESULT Advise(IRTCEventNotification *s) override;
    HRESULT put_ListenForIncomingSessions(RTC_LISTEN_MODE mode) override;
    HRESULT get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const override;
    HRESULT SetPreferredMediaTypes(long mediaTypes, bool persistent) override;
    HRESULT get_PreferredMediaTypes(long *mediaTypes) const override;
    HRESULT QueryProvisioning(IRTCClientProvisioning **provisioning) override;
    HRESULT CreateSession(RTC_SESSION_TYPE type, const QString &localPhoneURI,
                          const std::shared_ptr<IRTCProfile> &profile, long flags,
                          std::shared_ptr<IRTCSession> *session) override;
    HRESULT PlayRing(RTC_RING_TYPE type, bool play) override;
    HRESULT SendDTMF(RTC_DTMF dtmf) override;
    HRESULT put_Volume(RTC_AUDIO_DEVICE device, long volume) override;
    HRESULT get_Volume(RTC_AUDIO_DEVICE device, long *volume) const override;
    HRESULT put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted) override;
    HRESULT get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const override;
    HRESULT InvokeTuningWizard(QWindow *parent) override;

    // IRTCClientProvisioning
    HRESULT CreateProfile(const QString &xml, std::shared_ptr<IRTCProfile> *profile) override;
    HRESULT EnableProfile(const std::shared_ptr<IRTCProfile> &profile, long registerFlags) override;
    HRESULT DisableProfile(const std::shared_ptr<IRTCProfile> &profile) override;

    // Scripted events, delivered like the engine does: only through the
    // sink and only when the filter lets them through.
    void RaiseRegistration(RTC_REGISTRATION_STATE state, long statusCode = 0);
    void RaiseSession(const std::shared_ptr<IRTCSession> &session, RTC_SESSION_STATE state, long statusCode = 0);
    void RaiseMedia(long mediaType, RTC_MEDIA_EVENT_TYPE type);
    // Any event object under any number, for handlers that must cope.
    void Raise(RTC_EVENT event, IRTCEvent *pevent);

    // Only the names of the recorded calls, in order.
    QStringList operations() const;

private:
    RTC_LISTEN_MODE listen_ = RTCLM_NONE;
    long mediaTypes_ = 0;
    long volume_[2] = {0, 0};
    bool muted_[2] = {false, false};
};

} // namespace rtc::fake
