#include "rtc/linphone/LinphoneSession.h"

#include "rtc/linphone/Engine.h"

namespace rtc::lp {

namespace {
RTC_PARTICIPANT_STATE participantState(RTC_SESSION_STATE s)
{
    switch (s) {
    case RTCSS_IDLE: return RTCPS_IDLE;
    case RTCSS_INCOMING: return RTCPS_INCOMING;
    case RTCSS_ANSWERING: return RTCPS_ANSWERING;
    case RTCSS_INPROGRESS: return RTCPS_INPROGRESS;
    case RTCSS_CONNECTED:
    case RTCSS_HOLD:
    case RTCSS_REFER: return RTCPS_CONNECTED;
    case RTCSS_DISCONNECTED: return RTCPS_DISCONNECTED;
    }
    return RTCPS_IDLE;
}
} // namespace

LinphoneSession::LinphoneSession(std::weak_ptr<Engine> engine, RTC_SESSION_TYPE type, RTC_SESSION_STATE state,
                                 std::shared_ptr<LinphoneProfile> profile)
    : engine_(std::move(engine)), type_(type), state_(state), profile_(std::move(profile))
{
}

HRESULT LinphoneSession::get_State(RTC_SESSION_STATE *state) const
{
    if (!state)
        return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT LinphoneSession::get_Type(RTC_SESSION_TYPE *type) const
{
    if (!type)
        return E_POINTER;
    *type = type_;
    return S_OK;
}

HRESULT LinphoneSession::get_Participants(std::shared_ptr<IRTCCollection> *participants) const
{
    if (!participants)
        return E_POINTER;
    *participants = std::make_shared<ParticipantCollection>(participants_);
    return S_OK;
}

void LinphoneSession::setState(RTC_SESSION_STATE state)
{
    state_ = state;
    for (const auto &p : participants_)
        static_cast<LinphoneParticipant *>(p.get())->setState(participantState(state));
}

std::shared_ptr<LinphoneParticipant> LinphoneSession::addParticipant(const QString &uri, const QString &name)
{
    auto p = std::make_shared<LinphoneParticipant>(uri, name, participantState(state_));
    participants_.push_back(p);
    return p;
}

QString LinphoneSession::peer() const
{
    QString uri;
    if (!participants_.empty())
        participants_.front()->get_UserURI(&uri);
    return uri;
}

HRESULT LinphoneSession::Answer()
{
    auto engine = engine_.lock();
    if (!engine || !engine->running())
        return RTC_E_CLIENT_NOT_INITIALIZED;
    return engine->run([&] { return engine->running() ? engine->answer(this) : RTC_E_CLIENT_NOT_INITIALIZED; });
}

HRESULT LinphoneSession::Terminate(RTC_TERMINATE_REASON reason)
{
    auto engine = engine_.lock();
    if (!engine || !engine->running())
        return state_ == RTCSS_DISCONNECTED ? RTC_E_INVALID_SESSION_STATE : RTC_E_CLIENT_NOT_INITIALIZED;
    return engine->run([&] {
        return engine->running() ? engine->terminate(this, reason) : RTC_E_CLIENT_NOT_INITIALIZED;
    });
}

HRESULT LinphoneSession::AddParticipant(const QString &uri, const QString &name,
                                        std::shared_ptr<IRTCParticipant> *participant)
{
    auto engine = engine_.lock();
    if (!engine || !engine->running())
        return RTC_E_CLIENT_NOT_INITIALIZED;
    if (uri.trimmed().isEmpty())
        return E_INVALIDARG;
    // One far end per phone call, and only before the call is placed.
    if (state_ != RTCSS_IDLE || !participants_.empty())
        return RTC_E_INVALID_SESSION_STATE;
    const HRESULT hr = engine->run([&] {
        return engine->running() ? engine->placeCall(this, uri.trimmed(), name) : RTC_E_CLIENT_NOT_INITIALIZED;
    });
    if (Succeeded(hr) && participant)
        *participant = participants_.back();
    return hr;
}

} // namespace rtc::lp
