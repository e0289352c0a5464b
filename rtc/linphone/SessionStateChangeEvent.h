#pragma once
#include "IRTCEvents.h"

namespace rtc::lp {

class SessionStateChangeEvent final : public IRTCSessionStateChangeEvent {
public:
    SessionStateChangeEvent(RTC_SESSION_STATE state, std::shared_ptr<IRTCSession> session, long code,
                            QString text)
        : state_(state), session_(std::move(session)), code_(code), text_(std::move(text)) {}

    HRESULT get_State(RTC_SESSION_STATE *state) const override
    {
        if (!state)
            return E_POINTER;
        *state = state_;
        return S_OK;
    }
    HRESULT get_Session(std::shared_ptr<IRTCSession> *session) const override
    {
        if (!session)
            return E_POINTER;
        *session = session_;
        return S_OK;
    }
    HRESULT get_StatusCode(long *code) const override
    {
        if (!code)
            return E_POINTER;
        *code = code_;
        return S_OK;
    }
    HRESULT get_StatusText(QString *text) const override
    {
        if (!text)
            return E_POINTER;
        *text = text_;
        return S_OK;
    }

private:
    RTC_SESSION_STATE state_;
    std::shared_ptr<IRTCSession> session_;
    long code_;
    QString text_;
};

} // namespace rtc::lp
