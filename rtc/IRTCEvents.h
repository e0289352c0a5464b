#pragma once
// Event objects handed to the sink. The sink receives the base pointer with
// the event number and casts to the interface the number names.
#include "rtc/IRTCProfile.h"
#include "rtc/IRTCSession.h"
#include <memory>

namespace rtc {

class IRTCEvent {
public:
    virtual ~IRTCEvent() = default;
};

class IRTCRegistrationStateChangeEvent : public IRTCEvent {
public:
    virtual HRESULT get_State(RTC_REGISTRATION_STATE *state) const = 0;
    virtual HRESULT get_StatusCode(long *code) const = 0;
    virtual HRESULT get_StatusText(QString *text) const = 0;
    virtual HRESULT get_Profile(std::shared_ptr<IRTCProfile> *profile) const = 0;
};

class IRTCSessionStateChangeEvent : public IRTCEvent {
public:
    virtual HRESULT get_State(RTC_SESSION_STATE *state) const = 0;
    virtual HRESULT get_Session(std::shared_ptr<IRTCSession> *session) const = 0;
    virtual HRESULT get_StatusCode(long *code) const = 0;
    virtual HRESULT get_StatusText(QString *text) const = 0;
};

class IRTCMediaEvent : public IRTCEvent {
public:
    virtual HRESULT get_MediaType(long *mediaType) const = 0;
    virtual HRESULT get_EventType(RTC_MEDIA_EVENT_TYPE *type) const = 0;
    virtual HRESULT get_EventReason(RTC_MEDIA_EVENT_REASON *reason) const = 0;
};

// What the client calls back. Delivered on the thread that runs the client.
class IRTCEventNotification {
public:
    virtual ~IRTCEventNotification() = default;
    virtual void Event(RTC_EVENT event, IRTCEvent *pevent) = 0;
};

} // namespace rtc
