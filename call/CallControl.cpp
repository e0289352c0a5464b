#include "call/CallControl.h"

namespace {
constexpr int kTonePauseMs = 100;
const QString kInputError = QStringLiteral("Input Error");
} // namespace

CallControl::CallControl(PhoneState &state, ICallView &view) : state_(state), view_(view) {}

QString CallControl::ToneName(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return QStringLiteral("Tone%1.wav").arg(c);
    if (c == QLatin1Char('*'))
        return QStringLiteral("Tonestar.wav");
    if (c == QLatin1Char('#'))
        return QStringLiteral("Tonepnd.wav");
    return QString();
}

bool CallControl::IsDiallable(const QString &number)
{
    if (number.isEmpty())
        return false;
    for (const QChar c : number)
        if (ToneName(c).isEmpty())
            return false;
    return true;
}

void CallControl::showError(rtc::HRESULT hr)
{
    view_.SetStatusText(QStringLiteral("Error:  ") + QString::number(hr));
}

void CallControl::MakeCall()
{
    if (state_.strRegStatus != QLatin1String("REGISTERED")) {
        view_.ShowMessage(
            QStringLiteral("You are not registered, please click on Account/Pin Tab and verify your information"),
            QStringLiteral("Account/Pin"), platform::MsgIcon::None);
        return;
    }
    const QString number = view_.NumberText();
    for (const QChar c : number) {
        const QString tone = ToneName(c);
        if (tone.isEmpty()) {
            if (c != QChar(8))
                view_.ShowMessage(QStringLiteral("Numbers 0 to 9 only, please!"), kInputError,
                                  platform::MsgIcon::Exclamation);
        } else {
            view_.PlayTone(tone);
        }
        view_.Pause(kTonePauseMs);
    }
    // Only digits, "*" and "#" go into the request; anything else would
    // change where the call goes (sip:1@evil.example;x@server).
    if (number.isEmpty()) {
        view_.ShowMessage(QStringLiteral("Enter a number to call, please!"), kInputError,
                          platform::MsgIcon::Exclamation);
        return;
    }
    if (!IsDiallable(number)) {
        view_.ShowMessage(QStringLiteral("The number was not dialled: numbers 0 to 9, * and # only, please!"),
                          kInputError, platform::MsgIcon::Exclamation);
        return;
    }

    const QString uri = QStringLiteral("sip:") + number + QLatin1Char('@') + state_.strSIPIP;
    std::shared_ptr<rtc::IRTCSession> session;
    rtc::HRESULT hr = state_.objRTCClient
                          ? state_.objRTCClient->CreateSession(rtc::RTCST_PC_TO_PHONE, QString(), state_.objProfile,
                                                               rtc::RTCCS_FORCE_PROFILE, &session)
                          : rtc::E_POINTER;
    if (rtc::Failed(hr))
        showError(hr);
    else
        state_.objSession = session;

    std::shared_ptr<rtc::IRTCParticipant> participant;
    hr = state_.objSession ? state_.objSession->AddParticipant(uri, QStringLiteral("Any Name"), &participant)
                           : rtc::E_POINTER;
    if (rtc::Failed(hr))
        showError(hr);
    else
        state_.objParticipant = participant;

    view_.SetInCallControls();
}

void CallControl::Picture6_Click()
{
    if (view_.StatusText().startsWith(QLatin1String("Incoming"), Qt::CaseInsensitive)) {
        if (state_.objSession)
            state_.objSession->Answer();
        return;
    }
    MakeCall();
}

void CallControl::Picture8_Click()
{
    // A duration of 60 seconds has not been carried into the minutes yet.
    int hours = state_.timehr, minutes = state_.timemin, seconds = state_.intConnectedSeconds;
    if (seconds >= 60) {
        minutes += seconds / 60;
        seconds %= 60;
    }
    if (minutes >= 60) {
        hours += minutes / 60;
        minutes %= 60;
    }
    view_.AddRecentCall(view_.NumberText(), hours, minutes, seconds);

    if (!state_.objSession)
        return;
    rtc::RTC_SESSION_STATE s = rtc::RTCSS_IDLE;
    if (rtc::Succeeded(state_.objSession->get_State(&s)) && s == rtc::RTCSS_INCOMING) {
        state_.objSession->Terminate(rtc::RTCTR_BUSY);
        if (state_.objRTCClient)
            state_.objRTCClient->PlayRing(rtc::RTCRT_PHONE, false);
        view_.SetRinging(false);
    } else {
        state_.objSession->Terminate(rtc::RTCTR_NORMAL);
    }
}

void CallControl::OnSessionStateChange(rtc::IRTCSessionStateChangeEvent *pevent)
{
    rtc::RTC_SESSION_STATE state{};
    if (!pevent || rtc::Failed(pevent->get_State(&state)))
        return;
    switch (state) {
    case rtc::RTCSS_IDLE:
        view_.SetStatusText(QStringLiteral("Idle"));
        break;
    case rtc::RTCSS_INCOMING: {
        view_.RestoreWindow();
        rtc::RTC_SESSION_STATE current{};
        if (state_.objSession && rtc::Succeeded(state_.objSession->get_State(&current))
            && current == rtc::RTCSS_CONNECTED)
            return; // a second call while talking: neither answered nor refused
        view_.SetEndCallEnabled(true);
        std::shared_ptr<rtc::IRTCSession> session;
        if (rtc::Failed(pevent->get_Session(&session)) || !session)
            return;
        state_.objSession = session;
        std::shared_ptr<rtc::IRTCCollection> participants;
        long count = 0;
        if (rtc::Succeeded(session->get_Participants(&participants)) && participants
            && rtc::Succeeded(participants->get_Count(&count)) && count == 1) {
            std::shared_ptr<rtc::IRTCParticipant> caller;
            QString name;
            if (rtc::Succeeded(participants->get_Item(1, &caller)) && caller) {
                state_.objParticipant = caller;
                caller->get_Name(&name);
                view_.SetStatusText(QStringLiteral("Incoming") + name);
            }
        }
        view_.SetRinging(true);
        break;
    }
    case rtc::RTCSS_ANSWERING:
        view_.SetStatusText(QStringLiteral("ANSWERING"));
        view_.SetRinging(false);
        break;
    case rtc::RTCSS_INPROGRESS:
        view_.SetStatusText(QStringLiteral("INPROGRESS"));
        view_.SetRinging(false);
        break;
    case rtc::RTCSS_CONNECTED:
        view_.SetStatusText(QStringLiteral("CONNECTED"));
        view_.SetRinging(false);
        state_.intConnectedSeconds = state_.timehr = state_.timemin = 0;
        view_.SetCallTimerRunning(true);
        view_.SetInCallControls();
        break;
    case rtc::RTCSS_DISCONNECTED:
        state_.objSession.reset();
        state_.objParticipant.reset();
        view_.SetRinging(false);
        view_.SetStatusText(QStringLiteral("DISCONNECTED"));
        // The next call that never connects is recorded as 0:0:0, not
        // with this call's time.
        state_.intConnectedSeconds = state_.timehr = state_.timemin = 0;
        view_.SetIdleControls();
        break;
    default:
        break;
    }
}

void CallControl::OnMediaEvent(rtc::IRTCMediaEvent *pevent)
{
    // Read for completeness; media changes show nothing on the phone.
    long media = 0;
    rtc::RTC_MEDIA_EVENT_TYPE type{};
    if (pevent) {
        pevent->get_MediaType(&media);
        pevent->get_EventType(&type);
    }
}

void CallControl::ring_Timer()
{
    if (state_.objRTCClient)
        state_.objRTCClient->PlayRing(rtc::RTCRT_PHONE, true); // a failing ring skips this tick
}

void CallControl::tmrConnected_Timer()
{
    if (state_.intConnectedSeconds == 60) {
        state_.intConnectedSeconds = 0;
        ++state_.timemin;
    }
    if (state_.timemin == 60) {
        state_.timemin = 0;
        ++state_.timehr;
    }
    view_.SetStatusText(QStringLiteral("CONNECTED %1:%2:%3")
                            .arg(state_.timehr)
                            .arg(state_.timemin)
                            .arg(state_.intConnectedSeconds));
    ++state_.intConnectedSeconds;
}
