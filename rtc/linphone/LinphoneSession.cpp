#include "rtc/linphone/LinphoneSession.h"

#include "rtc/linphone/Engine.h"

#include <atomic>
#include <chrono>

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

namespace {
constexpr std::chrono::milliseconds kPlaceLimit{3000};
} // namespace

// Answering and ending go to the engine and return at once: the program
// hears of them as session states, like any other change.
HRESULT LinphoneSession::Answer()
{
    auto engine = engine_.lock();
    if (!engine || !engine->running())
        return RTC_E_CLIENT_NOT_INITIALIZED;
    if (state_ != RTCSS_INCOMING || answering_.exchange(true))
        return RTC_E_INVALID_SESSION_STATE;
    engine->later([engine = engine.get(), self = shared_from_this()] {
        if (engine->running())
            engine->calls().answer(self.get());
    });
    return S_OK;
}

HRESULT LinphoneSession::Terminate(RTC_TERMINATE_REASON reason)
{
    auto engine = engine_.lock();
    if (state_ == RTCSS_DISCONNECTED || ending_)
        return RTC_E_INVALID_SESSION_STATE;
    if (!engine || !engine->running())
        return RTC_E_CLIENT_NOT_INITIALIZED;
    ending_ = true;
    engine->later([engine = engine.get(), self = shared_from_this(), reason] {
        if (engine->running())
            engine->calls().terminate(self.get(), reason);
    });
    return S_OK;
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
    // The one wait of a call: whether the address can be called. A call
    // given up on after the limit is not placed later.
    auto givenUp = std::make_shared<std::atomic<bool>>(false);
    const auto placed = engine->thread().ask(
        "placing a call", kPlaceLimit,
        [engine, self = shared_from_this(), uri = uri.trimmed(), name, givenUp]() -> HRESULT {
            if (*givenUp || !engine->running())
                return RTC_E_CLIENT_NOT_INITIALIZED;
            return engine->calls().place(self.get(), uri, name);
        });
    if (!placed) {
        *givenUp = true;
        return E_FAIL;
    }
    if (Succeeded(*placed) && participant)
        *participant = participants_.back();
    return *placed;
}

} // namespace rtc::lp
