#pragma once
#include "rtc/IRTCEvents.h"

namespace rtc::lp {

class SessionStateChangeEvent final : public IRTCSessionStateChangeEvent {
public:
    SessionStateChangeEvent(RTC_SESSION_STATE state, std::shared_ptr<IRTCSession> session, long code,
                            QString text)
        : state_(state), session_(std::move(session)), code_(code), text_(std::move(text)) {}

    HRESULT get_State(RTC_SESSION_STATE *state) const override { return CopyOut(state_, state); }
    HRESULT get_Session(std::shared_ptr<IRTCSession> *session) const override { return CopyOut(session_, session); }
    HRESULT get_StatusCode(long *code) const override { return CopyOut(code_, code); }
    HRESULT get_StatusText(QString *text) const override { return CopyOut(text_, text); }

private:
    RTC_SESSION_STATE state_;
    std::shared_ptr<IRTCSession> session_;
    long code_;
    QString text_;
};

} // namespace rtc::lp
