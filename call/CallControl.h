#pragma once
#include "call/ICallView.h"
#include "call/PhoneState.h"

// Placing, answering, refusing and ending calls, and what the session
// events do to the phone.
class CallControl {
public:
    CallControl(PhoneState &state, ICallView &view);

    // Dials the number box: its tones first, then the call.
    void MakeCall();
    // The call key: answers a ringing call, otherwise dials.
    void Picture6_Click();
    // The end key: records the call, then ends or refuses it.
    void Picture8_Click();
    void OnSessionStateChange(rtc::IRTCSessionStateChangeEvent *pevent);
    void OnMediaEvent(rtc::IRTCMediaEvent *pevent);
    void ring_Timer();
    void tmrConnected_Timer();

    // The tone name of a dialling character; empty for any other.
    static QString ToneName(QChar c);
    // Whether every character can go into a request URI as a number.
    static bool IsDiallable(const QString &number);

private:
    void showError(rtc::HRESULT hr);

    PhoneState &state_;
    ICallView &view_;
};
