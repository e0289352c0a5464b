#pragma once
#include "rtc/IRTCParticipant.h"

namespace rtc::lp {

// The far end of a session; its state follows the session's.
class LinphoneParticipant final : public IRTCParticipant {
public:
    LinphoneParticipant(QString uri, QString name, RTC_PARTICIPANT_STATE state)
        : uri_(std::move(uri)), name_(std::move(name)), state_(state) {}

    HRESULT get_UserURI(QString *uri) const override { return CopyOut(uri_, uri); }
    HRESULT get_Name(QString *name) const override { return CopyOut(name_, name); }
    HRESULT get_State(RTC_PARTICIPANT_STATE *state) const override { return CopyOut(state_, state); }

    void setState(RTC_PARTICIPANT_STATE state) { state_ = state; }

private:
    const QString uri_;
    const QString name_;
    RTC_PARTICIPANT_STATE state_;
};

} // namespace rtc::lp
