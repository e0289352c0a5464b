#pragma once
#include "rtc/RTCTypes.h"
#include <QString>

namespace rtc {

// The far end of a session.
class IRTCParticipant {
public:
    virtual ~IRTCParticipant() = default;
    virtual HRESULT get_UserURI(QString *uri) const = 0;
    virtual HRESULT get_Name(QString *name) const = 0;
    virtual HRESULT get_State(RTC_PARTICIPANT_STATE *state) const = 0;
};

} // namespace rtc
