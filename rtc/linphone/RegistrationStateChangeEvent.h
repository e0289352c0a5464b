#pragma once
#include "rtc/IRTCEvents.h"

namespace rtc::lp {

class RegistrationStateChangeEvent final : public IRTCRegistrationStateChangeEvent {
public:
    RegistrationStateChangeEvent(RTC_REGISTRATION_STATE state, long code, QString text,
                                 std::shared_ptr<IRTCProfile> profile)
        : state_(state), code_(code), text_(std::move(text)), profile_(std::move(profile)) {}

    HRESULT get_State(RTC_REGISTRATION_STATE *state) const override { return CopyOut(state_, state); }
    HRESULT get_StatusCode(long *code) const override { return CopyOut(code_, code); }
    HRESULT get_StatusText(QString *text) const override { return CopyOut(text_, text); }
    HRESULT get_Profile(std::shared_ptr<IRTCProfile> *profile) const override { return CopyOut(profile_, profile); }

private:
    RTC_REGISTRATION_STATE state_;
    long code_;
    QString text_;
    std::shared_ptr<IRTCProfile> profile_;
};

} // namespace rtc::lp
