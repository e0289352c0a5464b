// Calls: liblinphone call states become session states, once per change.
#include "rtc/linphone/Engine.h"

#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/MediaEvent.h"
#include "rtc/linphone/SessionStateChangeEvent.h"
#include "rtc/linphone/SipDoor.h"
#include "platform/Log.h"

#include <algorithm>

namespace rtc::lp {

namespace {

std::string str(const QString &s) { return s.toStdString(); }
QString qstr(const std::string &s) { return QString::fromStdString(s); }

linphone::Reason declineReason(RTC_TERMINATE_REASON reason)
{
    switch (reason) {
    case RTCTR_BUSY: return linphone::Reason::Busy;
    case RTCTR_DND: return linphone::Reason::DoNotDisturb;
    case RTCTR_TIMEOUT: return linphone::Reason::NotAnswered;
    case RTCTR_NORMAL:
    case RTCTR_REJECT:
    case RTCTR_SHUTDOWN:
        break;
    }
    return linphone::Reason::Declined;
}

char dtmfChar(RTC_DTMF dtmf)
{
    if (dtmf >= RTC_DTMF_0 && dtmf <= RTC_DTMF_9)
        return static_cast<char>('0' + dtmf);
    switch (dtmf) {
    case RTC_DTMF_STAR: return '*';
    case RTC_DTMF_POUND: return '#';
    case RTC_DTMF_A: return 'A';
    case RTC_DTMF_B: return 'B';
    case RTC_DTMF_C: return 'C';
    case RTC_DTMF_D: return 'D';
    default: return 0; // flash has no RFC 2833 tone in liblinphone
    }
}

// One line in the log for each step of a call: who called or was called,
// and how it ended, with the SIP code when there is one.
void logCall(const LinphoneSession &session, RTC_SESSION_STATE was, RTC_SESSION_STATE now, long code,
             const QString &text)
{
    QString what;
    switch (now) {
    case RTCSS_INCOMING: what = QStringLiteral("incoming call from %1"); break;
    case RTCSS_INPROGRESS:
        if (was != RTCSS_IDLE)
            return;
        what = QStringLiteral("outgoing call to %1");
        break;
    case RTCSS_ANSWERING: what = QStringLiteral("answering the call from %1"); break;
    case RTCSS_CONNECTED: what = QStringLiteral("call with %1 connected"); break;
    case RTCSS_HOLD: what = QStringLiteral("call with %1 on hold"); break;
    case RTCSS_DISCONNECTED: what = QStringLiteral("call with %1 ended"); break;
    default: return;
    }
    platform::Log::Write(platform::Log::Info, QStringLiteral("call"), what.arg(session.peer()) + outcome(code, text));
}

} // namespace

Engine::Leg *Engine::legOf(const std::shared_ptr<linphone::Call> &call)
{
    for (auto &leg : legs_)
        if (leg.call == call)
            return &leg;
    return nullptr;
}

Engine::Leg *Engine::legOf(const LinphoneSession *session)
{
    for (auto &leg : legs_)
        if (leg.session.get() == session)
            return &leg;
    return nullptr;
}

void Engine::dropLeg(const LinphoneSession *session)
{
    legs_.erase(std::remove_if(legs_.begin(), legs_.end(),
                               [session](const Leg &leg) { return leg.session.get() == session; }),
                legs_.end());
}

void Engine::setSessionState(LinphoneSession *session, RTC_SESSION_STATE state, long code, const QString &text)
{
    // Published before the session's state, which the program may read at once.
    bool talking = false;
    for (const auto &leg : legs_) {
        const RTC_SESSION_STATE s = leg.session.get() == session ? state : leg.session->state();
        talking = talking
                  || (s == RTCSS_CONNECTED && leg.call && leg.call->getState() == linphone::Call::State::StreamsRunning);
    }
    talking_ = talking;
    const RTC_SESSION_STATE was = session->state();
    if (was == state)
        return;
    session->setState(state);
    logCall(*session, was, state, code, text);
    if (state != RTCSS_INCOMING)
        stopRingWhenNoCallRings();
    deliver(RTCE_SESSION_STATE_CHANGE,
            std::make_shared<SessionStateChangeEvent>(state, session->shared_from_this(), code, text));
}

void Engine::mediaEvent(RTC_MEDIA_EVENT_TYPE type)
{
    for (long media : {long(RTCMT_AUDIO_SEND), long(RTCMT_AUDIO_RECEIVE)}) {
        deliver(RTCE_MEDIA, std::make_shared<MediaEvent>(media, type, RTCMER_NORMAL));
    }
}

// "sip:bob@host", or a short "bob" / "bob@host" completed from the account's
// identity. (Account::normalizeSipUri would do this, but its C++ wrapper
// leaks the address it returns.)
std::shared_ptr<linphone::Address> Engine::calleeAddress(const QString &uri) const
{
    auto factory = linphone::Factory::get();
    std::shared_ptr<linphone::Address> address;
    if (uri.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive)) {
        address = factory->createAddress(str(uri));
    } else if (uri.contains(QLatin1Char('@'))) {
        address = factory->createAddress(str(QStringLiteral("sip:") + uri));
    } else if (account_ && !uri.contains(QLatin1Char(':')) && !uri.contains(QLatin1Char(' '))) {
        auto identity = account_->getParams()->getIdentityAddress();
        if (identity) {
            address = identity->clone();
            address->setDisplayName("");
            if (address->setUsername(str(uri)) != 0)
                address.reset();
        }
    }
    if (!address || !address->isSip() || address->getUsername().empty() || address->getDomain().empty())
        return nullptr;
    return address;
}

HRESULT Engine::placeCall(LinphoneSession *session, const QString &uri, const QString &name)
{
    if (session->profile() && session->profile() != profile_)
        return RTC_E_INVALID_PROFILE; // the session's profile is not the enabled one
    auto address = calleeAddress(uri);
    if (!address) {
        platform::Log::Write(platform::Log::Warning, QStringLiteral("call"),
                             QStringLiteral("%1 is no address to call").arg(uri));
        return RTC_E_INVALID_SIP_URL;
    }

    auto params = core_->createCallParams(nullptr);
    if (!params)
        return E_FAIL;
    params->enableVideo(false);
    params->enableAudio(true);

    const QString display = name.isEmpty() ? qstr(address->getUsername()) : name;
    session->addParticipant(qstr(address->asStringUriOnly()), display);
    auto self = session->shared_from_this();
    legs_.push_back({self, nullptr});
    // The first call states arrive from inside invite, before it returns.
    pendingOutgoing_ = self;
    auto call = core_->inviteAddressWithParams(address, params);
    pendingOutgoing_.reset();
    if (!call) {
        dropLeg(session);
        setSessionState(session, RTCSS_DISCONNECTED, 0, QStringLiteral("call could not be placed"));
        return E_FAIL;
    }
    if (auto *leg = legOf(session); leg && !leg->call && session->state() != RTCSS_DISCONNECTED)
        leg->call = call;
    return S_OK;
}

HRESULT Engine::answer(LinphoneSession *session)
{
    auto *leg = legOf(session);
    if (session->state() != RTCSS_INCOMING || !leg || !leg->call)
        return RTC_E_INVALID_SESSION_STATE;
    auto call = leg->call;
    setSessionState(session, RTCSS_ANSWERING, 0, QString());
    auto params = core_->createCallParams(call);
    if (params)
        params->enableVideo(false);
    return call->acceptWithParams(params) == 0 ? S_OK : E_FAIL;
}

HRESULT Engine::terminate(LinphoneSession *session, RTC_TERMINATE_REASON reason)
{
    if (session->state() == RTCSS_DISCONNECTED)
        return RTC_E_INVALID_SESSION_STATE;
    auto *leg = legOf(session);
    auto call = leg ? leg->call : nullptr;
    if (!call) { // idle outgoing session: nothing was sent
        setSessionState(session, RTCSS_DISCONNECTED, 0, QString());
        return S_OK;
    }
    const auto cs = call->getState();
    const bool unanswered = call->getDir() == linphone::Call::Dir::Incoming
        && (cs == linphone::Call::State::IncomingReceived || cs == linphone::Call::State::IncomingEarlyMedia
            || cs == linphone::Call::State::PushIncomingReceived);
    const auto status = unanswered ? call->decline(declineReason(reason)) : call->terminate();
    return status == 0 ? S_OK : E_FAIL;
}

std::shared_ptr<linphone::Call> Engine::connectedCall() const
{
    for (const auto &leg : legs_) {
        if (leg.session->state() == RTCSS_CONNECTED && leg.call
            && leg.call->getState() == linphone::Call::State::StreamsRunning)
            return leg.call;
    }
    return nullptr;
}

HRESULT Engine::sendDtmf(RTC_DTMF dtmf)
{
    const char tone = dtmfChar(dtmf);
    if (!tone)
        return E_INVALIDARG;
    if (!talking_)
        return RTC_E_INVALID_SESSION_STATE;
    // A tone still going out swallows the next one: keys pressed quickly
    // are queued and sent one after the other.
    thread_->post([engine = weak_from_this(), tone] {
        auto e = engine.lock();
        if (!e)
            return;
        e->dtmfQueue_.append(tone);
        if (!e->dtmfTimer_.isActive())
            e->sendQueuedDtmf();
    });
    return S_OK;
}

void Engine::sendQueuedDtmf()
{
    if (dtmfQueue_.isEmpty())
        return;
    auto call = connectedCall();
    if (!call) {
        dtmfQueue_.clear();
        return;
    }
    call->sendDtmf(dtmfQueue_.front());
    dtmfQueue_.remove(0, 1);
    dtmfTimer_.start();
}

void Engine::onDtmfReceived(int dtmf)
{
    if (options_.dtmfReceived)
        options_.dtmfReceived(static_cast<char>(dtmf));
}

// The door lets a far end speak straight to the phone inside these calls only.
void Engine::publishCalls()
{
    if (sipPort_ <= 0)
        return;
    std::vector<std::string> ids;
    for (const auto &c : core_->getCalls())
        if (auto log = c->getCallLog())
            ids.push_back(log->getCallId());
    SipDoor::SetCalls(sipPort_, ids);
}

void Engine::onCallState(const std::shared_ptr<linphone::Call> &call, linphone::Call::State state,
                         const std::string &message)
{
    using S = linphone::Call::State;
    publishCalls();
    std::shared_ptr<LinphoneSession> session;
    if (auto *leg = legOf(call))
        session = leg->session;
    if (!session && pendingOutgoing_ && call->getDir() == linphone::Call::Dir::Outgoing) {
        if (auto *leg = legOf(pendingOutgoing_.get())) {
            leg->call = call;
            session = pendingOutgoing_;
        }
    }
    if (!session && (state == S::IncomingReceived || state == S::PushIncomingReceived)) {
        if (listenMode == RTCLM_NONE) {
            call->decline(linphone::Reason::TemporarilyUnavailable);
            return;
        }
        session = std::make_shared<LinphoneSession>(weak_from_this(), RTCST_PC_TO_PHONE, RTCSS_IDLE, profile_);
        auto remote = call->getRemoteAddress();
        QString name, uri;
        if (remote) {
            name = qstr(remote->getDisplayName());
            if (name.isEmpty())
                name = qstr(remote->getUsername());
            uri = qstr(remote->asStringUriOnly());
        }
        session->addParticipant(uri, name);
        legs_.push_back({session, call});
        setSessionState(session.get(), RTCSS_INCOMING, 0, qstr(message));
        return;
    }
    if (!session)
        return; // a call we refused without telling anyone

    const QString text = qstr(message);
    switch (state) {
    case S::OutgoingInit:
    case S::OutgoingProgress:
        setSessionState(session.get(), RTCSS_INPROGRESS, 0, text);
        break;
    case S::OutgoingRinging:
        setSessionState(session.get(), RTCSS_INPROGRESS, 180, text);
        break;
    case S::OutgoingEarlyMedia:
        setSessionState(session.get(), RTCSS_INPROGRESS, 183, text);
        break;
    case S::Connected:
        setSessionState(session.get(), RTCSS_CONNECTED, 200, text);
        break;
    case S::StreamsRunning:
        applyCallAudio(call);
        setSessionState(session.get(), RTCSS_CONNECTED, 200, text);
        if (auto *leg = legOf(session.get()); leg && !leg->mediaStarted) {
            leg->mediaStarted = true;
            mediaEvent(RTCMET_STARTED);
        }
        break;
    case S::Paused:
    case S::PausedByRemote:
        setSessionState(session.get(), RTCSS_HOLD, 0, text);
        break;
    case S::Error:
    case S::End:
    case S::Released: {
        if (auto *leg = legOf(session.get()); leg && leg->mediaStarted) {
            leg->mediaStarted = false;
            mediaEvent(RTCMET_STOPPED);
        }
        long code = 0;
        QString reason = text;
        if (auto info = call->getErrorInfo()) {
            code = info->getProtocolCode();
            if (!info->getPhrase().empty())
                reason = qstr(info->getPhrase());
        }
        setSessionState(session.get(), RTCSS_DISCONNECTED, code, reason);
        if (state == S::Released)
            dropLeg(session.get());
        break;
    }
    default:
        break;
    }
}

} // namespace rtc::lp
