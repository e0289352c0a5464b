#pragma once
#include "rtc/IRTCParticipant.h"

#include <atomic>

namespace rtc::lp {

// The far end of a session; its state follows the session's.
class LinphoneParticipant final : public IRTCParticipant {
public:
    LinphoneParticipant(QString uri, QString name, RTC_PARTICIPANT_STATE state)
        : uri_(std::move(uri)), name_(std::move(name)), state_(state) {}

    HRESULT get_UserURI(QString *uri) const override { return CopyOut(uri_, uri); }
    HRESULT get_Name(QString *name) const override { return CopyOut(name_, name); }
    HRESULT get_State(RTC_PARTICIPANT_STATE *state) const override { return CopyOut(state_.load(), state); }

    void setState(RTC_PARTICIPANT_STATE state) { state_ = state; }

private:
    const QString uri_;
    const QString name_;
    std::atomic<RTC_PARTICIPANT_STATE> state_; // changed on the engine's thread
};

} // namespace rtc::lp
