#pragma once
#include "IRTCEvents.h"

namespace rtc::lp {

class RegistrationStateChangeEvent final : public IRTCRegistrationStateChangeEvent {
public:
    RegistrationStateChangeEvent(RTC_REGISTRATION_STATE state, long code, QString text,
                                 std::shared_ptr<IRTCProfile> profile)
        : state_(state), code_(code), text_(std::move(text)), profile_(std::move(profile)) {}

    HRESULT get_State(RTC_REGISTRATION_STATE *state) const override
    {
        if (!state)
            return E_POINTER;
        *state = state_;
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
    HRESULT get_Profile(std::shared_ptr<IRTCProfile> *profile) const override
    {
        if (!profile)
            return E_POINTER;
        *profile = profile_;
        return S_OK;
    }

private:
    RTC_REGISTRATION_STATE state_;
    long code_;
    QString text_;
    std::shared_ptr<IRTCProfile> profile_;
};

} // namespace rtc::lp
