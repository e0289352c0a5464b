#pragma once
#include "IRTCParticipant.h"

namespace rtc::lp {

// The far end of a session; its state follows the session's.
class LinphoneParticipant final : public IRTCParticipant {
public:
    LinphoneParticipant(QString uri, QString name, RTC_PARTICIPANT_STATE state)
        : uri_(std::move(uri)), name_(std::move(name)), state_(state) {}

    HRESULT get_UserURI(QString *uri) const override
    {
        if (!uri)
            return E_POINTER;
        *uri = uri_;
        return S_OK;
    }
    HRESULT get_Name(QString *name) const override
    {
        if (!name)
            return E_POINTER;
        *name = name_;
        return S_OK;
    }
    HRESULT get_State(RTC_PARTICIPANT_STATE *state) const override
    {
        if (!state)
            return E_POINTER;
        *state = state_;
        return S_OK;
    }

    void setState(RTC_PARTICIPANT_STATE state) { state_ = state; }

private:
    const QString uri_;
    const QString name_;
    RTC_PARTICIPANT_STATE state_;
};

} // namespace rtc::lp
