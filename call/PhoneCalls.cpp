// The phone's calls: dialling, answering, refusing, ending, and what the
// session events and the two timers do.
#include "call/NumberKeys.h"
#include "call/Phone.h"

#include <utility>
#include <QScopeGuard>

namespace {
constexpr int kTonePauseMs = 100;
const QString kInputError = QStringLiteral("Input Error");
} // namespace

void Phone::showError(rtc::HRESULT hr)
{
    SetStatusText(QStringLiteral("Error:  ") + QString::number(hr));
}

void Phone::MakeCall(const QString &number)
{
    if (registrationWord_ != QLatin1String("REGISTERED")) {
        emit Message(
            QStringLiteral("You are not registered, please click on Account/Pin Tab and verify your information"),
            QStringLiteral("Account/Pin"), platform::MsgIcon::None);
        return;
    }
    // A call that rings while the tones play is refused as busy: the user
    // is placing a call of their own.
    dialling_ = true;
    const auto done = qScopeGuard([this] { dialling_ = false; });
    for (const QChar c : number) {
        const QString tone = NumberKeys::ToneName(c);
        if (tone.isEmpty()) {
            if (c != QChar(8))
                emit Message(QStringLiteral("Numbers 0 to 9 only, please!"), kInputError,
                             platform::MsgIcon::Exclamation);
        } else {
            PlayTone(tone);
        }
        pause(kTonePauseMs);
    }
    // Only digits, "*" and "#" go into the request; anything else would
    // change where the call goes (sip:1@evil.example;x@server).
    if (number.isEmpty()) {
        emit Message(QStringLiteral("Enter a number to call, please!"), kInputError, platform::MsgIcon::Exclamation);
        return;
    }
    if (!NumberKeys::IsDiallable(number)) {
        emit Message(QStringLiteral("The number was not dialled: numbers 0 to 9, * and # only, please!"), kInputError,
                     platform::MsgIcon::Exclamation);
        return;
    }

    const QString uri = server_.callUri(number);
    std::shared_ptr<rtc::IRTCSession> session;
    rtc::HRESULT hr = client_ ? client_->CreateSession(rtc::RTCST_PC_TO_PHONE, QString(), profile_,
                                                       rtc::RTCCS_FORCE_PROFILE, &session)
                              : rtc::E_POINTER;
    if (rtc::Failed(hr)) {
        showError(hr);
    } else {
        session_ = session;
        dtmfSent_.clear();
    }

    std::shared_ptr<rtc::IRTCParticipant> participant;
    hr = session_ ? session_->AddParticipant(uri, QStringLiteral("Any Name"), &participant) : rtc::E_POINTER;
    if (rtc::Failed(hr))
        showError(hr);
    else
        participant_ = participant;

    emit InCallControls();
}

void Phone::CallKey(const QString &number)
{
    if (StatusSaysIncoming()) {
        if (session_)
            session_->Answer();
        return;
    }
    MakeCall(number);
}

void Phone::EndKey(const QString &number)
{
    // A duration of 60 seconds has not been carried into the minutes yet.
    int hours = callTime_.hours, minutes = callTime_.minutes, seconds = callTime_.seconds;
    if (seconds >= 60) {
        minutes += seconds / 60;
        seconds %= 60;
    }
    if (minutes >= 60) {
        hours += minutes / 60;
        minutes %= 60;
    }
    // The keys sent during the call went into the number box too; the
    // history keeps the number that was dialled.
    QString dialled = number;
    if (!dtmfSent_.isEmpty() && dialled.endsWith(dtmfSent_))
        dialled.chop(dtmfSent_.size());
    addRecentCall(dialled, hours, minutes, seconds);

    if (!session_)
        return;
    rtc::RTC_SESSION_STATE s = rtc::RTCSS_IDLE;
    if (rtc::Succeeded(session_->get_State(&s)) && s == rtc::RTCSS_INCOMING) {
        session_->Terminate(rtc::RTCTR_BUSY);
        if (client_)
            client_->PlayRing(rtc::RTCRT_PHONE, false);
        stopRinging();
    } else {
        session_->Terminate(rtc::RTCTR_NORMAL);
    }
}

void Phone::OnSessionStateChange(rtc::IRTCSessionStateChangeEvent *pevent)
{
    rtc::RTC_SESSION_STATE sessionState{};
    if (!pevent || rtc::Failed(pevent->get_State(&sessionState)))
        return;
    std::shared_ptr<rtc::IRTCSession> eventSession;
    pevent->get_Session(&eventSession);
    if (sessionState == rtc::RTCSS_INCOMING && dialling_) {
        if (eventSession)
            eventSession->Terminate(rtc::RTCTR_BUSY);
        return;
    }
    // Only the current call moves the window: a second caller who gives up
    // while the first call goes on leaves it, its timers and its keys alone.
    if (sessionState != rtc::RTCSS_INCOMING && (!eventSession || eventSession != session_))
        return;
    switch (sessionState) {
    case rtc::RTCSS_IDLE:
        SetStatusText(QStringLiteral("Idle"));
        break;
    case rtc::RTCSS_INCOMING: {
        emit RestoreWindow();
        rtc::RTC_SESSION_STATE current{};
        if (session_ && rtc::Succeeded(session_->get_State(&current))
            && current == rtc::RTCSS_CONNECTED)
            return; // a second call while talking: neither answered nor refused
        emit EndCallEnabled(true);
        const std::shared_ptr<rtc::IRTCSession> &session = eventSession;
        if (!session)
            return;
        session_ = session;
        dtmfSent_.clear();
        std::shared_ptr<rtc::IRTCCollection> participants;
        long count = 0;
        QString name;
        if (rtc::Succeeded(session->get_Participants(&participants)) && participants
            && rtc::Succeeded(participants->get_Count(&count)) && count == 1) {
            std::shared_ptr<rtc::IRTCParticipant> caller;
            if (rtc::Succeeded(participants->get_Item(1, &caller)) && caller) {
                participant_ = caller;
                caller->get_Name(&name);
                SetStatusText(QStringLiteral("Incoming") + name);
            }
        }
        ringTimer_->start();
        ringing_ = true;
        emit CallRinging(name);
        break;
    }
    case rtc::RTCSS_ANSWERING:
        SetStatusText(QStringLiteral("ANSWERING"));
        stopRinging();
        break;
    case rtc::RTCSS_INPROGRESS:
        SetStatusText(QStringLiteral("INPROGRESS"));
        stopRinging();
        break;
    case rtc::RTCSS_CONNECTED:
        SetStatusText(QStringLiteral("CONNECTED"));
        stopRinging();
        callTime_ = {};
        callTimer_->start();
        emit InCallControls();
        showEncryption();
        break;
    case rtc::RTCSS_DISCONNECTED:
        session_.reset();
        participant_.reset();
        stopRinging();
        if (std::exchange(encryptedShown_, false))
            emit CallEncrypted(false);
        {
            long code = 0;
            pevent->get_StatusCode(&code);
            const QString why = TextForFailure(code);
            SetStatusText(why.isEmpty() ? QStringLiteral("DISCONNECTED") : why);
        }
        // The next call that never connects is recorded as 0:0:0, not
        // with this call's time.
        callTime_ = {};
        callTimer_->stop();
        emit IdleControls();
        break;
    default:
        break;
    }
}

void Phone::OnMediaEvent(rtc::IRTCMediaEvent *pevent)
{
    // Read for completeness; media changes show nothing on the phone.
    long media = 0;
    rtc::RTC_MEDIA_EVENT_TYPE type{};
    if (pevent) {
        pevent->get_MediaType(&media);
        pevent->get_EventType(&type);
    }
}

void Phone::stopRinging()
{
    ringTimer_->stop();
    if (ringing_) {
        ringing_ = false;
        emit RingingEnded();
    }
}

void Phone::RingTick()
{
    if (client_)
        client_->PlayRing(rtc::RTCRT_PHONE, true); // a failing ring skips this tick
}

void Phone::CallTimerTick()
{
    if (callTime_.seconds == 60) {
        callTime_.seconds = 0;
        ++callTime_.minutes;
    }
    if (callTime_.minutes == 60) {
        callTime_.minutes = 0;
        ++callTime_.hours;
    }
    SetStatusText(
        QStringLiteral("CONNECTED %1:%2:%3").arg(callTime_.hours).arg(callTime_.minutes).arg(callTime_.seconds));
    ++callTime_.seconds;
    showEncryption();
}

void Phone::showEncryption()
{
    // The engine knows once the audio runs, which may be after the call
    // connected: asked again with each second of the call.
    bool encrypted = false;
    if (!session_ || rtc::Failed(session_->get_Encrypted(&encrypted)))
        encrypted = false;
    if (encrypted != encryptedShown_) {
        encryptedShown_ = encrypted;
        emit CallEncrypted(encrypted);
    }
}
