#include "rtc/linphone/Calls.h"

#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/LogOutcome.h"
#include "rtc/linphone/MediaEvent.h"
#include "rtc/linphone/Registration.h"
#include "rtc/linphone/SessionStateChangeEvent.h"
#include "platform/Log.h"

#include <algorithm>

namespace rtc::lp {

namespace {

constexpr int kToneGapMs = 250; // a tone's 100 ms or so, and a pause

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

char toneChar(RTC_DTMF dtmf)
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
    platform::Log::Write(platform::Log::Info, QStringLiteral("call"), what.arg(session.peer()) + LogOutcome(code, text));
}

} // namespace

Calls::Calls(const Registration &registration, Later later, Hooks hooks)
    : registration_(registration), later_(std::move(later)), hooks_(std::move(hooks))
{
    toneGap_.setSingleShot(true);
    toneGap_.setInterval(kToneGapMs);
    QObject::connect(&toneGap_, &QTimer::timeout, [this] { sendQueuedTone(); });
}

void Calls::detach()
{
    toneGap_.stop();
    tones_.clear();
    tracked_.clear();
    talking_ = false;
    core_.reset();
}

Calls::Tracked *Calls::find(const std::shared_ptr<linphone::Call> &call)
{
    for (auto &t : tracked_)
        if (t.call == call)
            return &t;
    return nullptr;
}

Calls::Tracked *Calls::find(const LinphoneSession *session)
{
    for (auto &t : tracked_)
        if (t.session.get() == session)
            return &t;
    return nullptr;
}

void Calls::forget(const LinphoneSession *session)
{
    tracked_.erase(std::remove_if(tracked_.begin(), tracked_.end(),
                                  [session](const Tracked &t) { return t.session.get() == session; }),
                   tracked_.end());
}

int Calls::count() const
{
    return core_ ? core_->getCallsNb() : 0;
}

bool Calls::anyRinging() const
{
    return std::any_of(tracked_.begin(), tracked_.end(),
                       [](const Tracked &t) { return t.session->state() == RTCSS_INCOMING; });
}

void Calls::endAll()
{
    if (core_)
        core_->terminateAllCalls();
}

void Calls::setState(LinphoneSession *session, RTC_SESSION_STATE state, long code, const QString &text)
{
    // Published before the session's state, which the program may read at once.
    bool talking = false;
    for (const auto &t : tracked_) {
        const RTC_SESSION_STATE s = t.session.get() == session ? state : t.session->state();
        talking = talking
                  || (s == RTCSS_CONNECTED && t.call && t.call->getState() == linphone::Call::State::StreamsRunning);
    }
    talking_ = talking;
    const RTC_SESSION_STATE was = session->state();
    if (was == state)
        return;
    session->setState(state);
    logCall(*session, was, state, code, text);
    if (state != RTCSS_INCOMING)
        hooks_.stoppedRinging();
    hooks_.deliver(RTCE_SESSION_STATE_CHANGE,
                   std::make_shared<SessionStateChangeEvent>(state, session->shared_from_this(), code, text));
}

void Calls::mediaEvent(RTC_MEDIA_EVENT_TYPE type)
{
    for (long media : {long(RTCMT_AUDIO_SEND), long(RTCMT_AUDIO_RECEIVE)})
        hooks_.deliver(RTCE_MEDIA, std::make_shared<MediaEvent>(media, type, RTCMER_NORMAL));
}

// "sip:bob@host", or a short "bob" / "bob@host" completed from the account's
// identity. (Account::normalizeSipUri would do this, but its C++ wrapper
// leaks the address it returns.)
std::shared_ptr<linphone::Address> Calls::calleeAddress(const QString &uri) const
{
    auto factory = linphone::Factory::get();
    std::shared_ptr<linphone::Address> address;
    const auto &account = registration_.account();
    if (uri.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive)) {
        address = factory->createAddress(uri.toStdString());
    } else if (uri.contains(QLatin1Char('@'))) {
        address = factory->createAddress((QStringLiteral("sip:") + uri).toStdString());
    } else if (account && !uri.contains(QLatin1Char(':')) && !uri.contains(QLatin1Char(' '))) {
        if (auto identity = account->getParams()->getIdentityAddress()) {
            address = identity->clone();
            address->setDisplayName("");
            if (address->setUsername(uri.toStdString()) != 0)
                address.reset();
        }
    }
    if (!address || !address->isSip() || address->getUsername().empty() || address->getDomain().empty())
        return nullptr;
    return address;
}

HRESULT Calls::place(LinphoneSession *session, const QString &uri, const QString &name)
{
    if (session->profile() && session->profile() != registration_.profile())
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
    tracked_.push_back({self, nullptr});
    // The first call states arrive from inside invite, before it returns.
    placing_ = self;
    auto call = core_->inviteAddressWithParams(address, params);
    placing_.reset();
    if (!call) {
        forget(session);
        setState(session, RTCSS_DISCONNECTED, 0, QStringLiteral("call could not be placed"));
        return E_FAIL;
    }
    if (auto *t = find(session); t && !t->call && session->state() != RTCSS_DISCONNECTED)
        t->call = call;
    return S_OK;
}

HRESULT Calls::answer(LinphoneSession *session)
{
    auto *t = find(session);
    if (session->state() != RTCSS_INCOMING || !t || !t->call)
        return RTC_E_INVALID_SESSION_STATE;
    auto call = t->call;
    setState(session, RTCSS_ANSWERING, 0, QString());
    auto params = core_->createCallParams(call);
    if (params)
        params->enableVideo(false);
    return call->acceptWithParams(params) == 0 ? S_OK : E_FAIL;
}

HRESULT Calls::terminate(LinphoneSession *session, RTC_TERMINATE_REASON reason)
{
    if (session->state() == RTCSS_DISCONNECTED)
        return RTC_E_INVALID_SESSION_STATE;
    auto *t = find(session);
    auto call = t ? t->call : nullptr;
    if (!call) { // idle outgoing session: nothing was sent
        setState(session, RTCSS_DISCONNECTED, 0, QString());
        return S_OK;
    }
    const auto cs = call->getState();
    const bool unanswered = call->getDir() == linphone::Call::Dir::Incoming
        && (cs == linphone::Call::State::IncomingReceived || cs == linphone::Call::State::IncomingEarlyMedia
            || cs == linphone::Call::State::PushIncomingReceived);
    const auto status = unanswered ? call->decline(declineReason(reason)) : call->terminate();
    return status == 0 ? S_OK : E_FAIL;
}

std::shared_ptr<linphone::Call> Calls::connectedCall() const
{
    for (const auto &t : tracked_)
        if (t.session->state() == RTCSS_CONNECTED && t.call
            && t.call->getState() == linphone::Call::State::StreamsRunning)
            return t.call;
    return nullptr;
}

HRESULT Calls::sendTone(RTC_DTMF dtmf)
{
    const char tone = toneChar(dtmf);
    if (!tone)
        return E_INVALIDARG;
    if (!talking_)
        return RTC_E_INVALID_SESSION_STATE;
    // A tone still going out swallows the next one: keys pressed quickly
    // are queued and sent one after the other.
    later_([this, tone] {
        tones_.append(tone);
        if (!toneGap_.isActive())
            sendQueuedTone();
    });
    return S_OK;
}

void Calls::sendQueuedTone()
{
    if (tones_.isEmpty())
        return;
    auto call = connectedCall();
    if (!call) {
        tones_.clear();
        return;
    }
    call->sendDtmf(tones_.front());
    tones_.remove(0, 1);
    toneGap_.start();
}

void Calls::onToneReceived(int tone)
{
    if (hooks_.toneReceived)
        hooks_.toneReceived(static_cast<char>(tone));
}

void Calls::publish()
{
    std::vector<std::string> ids;
    for (const auto &c : core_->getCalls())
        if (auto log = c->getCallLog())
            ids.push_back(log->getCallId());
    hooks_.callsChanged(ids);
}

void Calls::onState(const std::shared_ptr<linphone::Call> &call, linphone::Call::State state,
                    const std::string &message)
{
    using S = linphone::Call::State;
    publish();
    std::shared_ptr<LinphoneSession> session;
    if (auto *t = find(call))
        session = t->session;
    if (!session && placing_ && call->getDir() == linphone::Call::Dir::Outgoing) {
        if (auto *t = find(placing_.get())) {
            t->call = call;
            session = placing_;
        }
    }
    if (!session && (state == S::IncomingReceived || state == S::PushIncomingReceived)) {
        if (listenMode_ == RTCLM_NONE) {
            call->decline(linphone::Reason::TemporarilyUnavailable);
            return;
        }
        session = hooks_.newIncomingSession();
        auto remote = call->getRemoteAddress();
        QString name, uri;
        if (remote) {
            name = qstr(remote->getDisplayName());
            if (name.isEmpty())
                name = qstr(remote->getUsername());
            uri = qstr(remote->asStringUriOnly());
        }
        session->addParticipant(uri, name);
        tracked_.push_back({session, call});
        setState(session.get(), RTCSS_INCOMING, 0, qstr(message));
        return;
    }
    if (!session)
        return; // a call we refused without telling anyone

    const QString text = qstr(message);
    switch (state) {
    case S::OutgoingInit:
    case S::OutgoingProgress:
        setState(session.get(), RTCSS_INPROGRESS, 0, text);
        break;
    case S::OutgoingRinging:
        setState(session.get(), RTCSS_INPROGRESS, 180, text);
        break;
    case S::OutgoingEarlyMedia:
        setState(session.get(), RTCSS_INPROGRESS, 183, text);
        break;
    case S::Connected:
        if (auto *t = find(session.get()))
            t->answered = true;
        setState(session.get(), RTCSS_CONNECTED, 200, text);
        break;
    case S::StreamsRunning:
        hooks_.mediaStarted(call);
        if (auto current = call->getCurrentParams())
            session->setEncrypted(current->getMediaEncryption() == linphone::MediaEncryption::SRTP);
        setState(session.get(), RTCSS_CONNECTED, 200, text);
        if (auto *t = find(session.get()); t && !t->mediaStarted) {
            t->mediaStarted = true;
            mediaEvent(RTCMET_STARTED);
        }
        break;
    case S::Paused:
    case S::PausedByRemote:
        setState(session.get(), RTCSS_HOLD, 0, text);
        break;
    case S::Error:
    case S::End:
    case S::Released: {
        bool hadAudio = false, answered = false;
        if (auto *t = find(session.get()))
            answered = t->answered;
        if (auto *t = find(session.get()); t && t->mediaStarted) {
            hadAudio = true;
            t->mediaStarted = false;
            mediaEvent(RTCMET_STOPPED);
        }
        long code = 0;
        QString reason = text;
        bool refused = false;
        if (auto info = call->getErrorInfo()) {
            code = info->getProtocolCode();
            if (!info->getPhrase().empty())
                reason = qstr(info->getPhrase());
            refused = code == 488 || code == 606 || info->getReason() == linphone::Reason::NotAcceptable;
        }
        // Encryption is required (the account is over TLS) and the far end
        // would not take it: refusing the offer (488, 606: with SRTP
        // required its likeliest reason), or answering it in clear, which
        // the engine ends before any audio. Said as such, not as any other
        // failure; a busy, declined or unanswered call is none of these.
        if (state != S::Released && core_->isMediaEncryptionMandatory() && !hadAudio) {
            auto remote = answered ? call->getRemoteParams() : nullptr;
            if (refused || (remote && remote->getMediaEncryption() != linphone::MediaEncryption::SRTP
                            && call->getDir() == linphone::Call::Dir::Outgoing)) {
                platform::Log::Write(platform::Log::Warning, QStringLiteral("call"),
                                     QStringLiteral("%1 cannot take an encrypted call (%2 %3)")
                                         .arg(session->peer()).arg(code).arg(reason));
                code = RTC_E_ENCRYPTION_REFUSED;
            }
        }
        setState(session.get(), RTCSS_DISCONNECTED, code, reason);
        if (state == S::Released)
            forget(session.get());
        break;
    }
    default:
        break;
    }
}

} // namespace rtc::lp
