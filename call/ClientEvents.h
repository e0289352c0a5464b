#pragma once
#include "rtc/IRTCEvents.h"
#include <functional>

// The sink attached to the RTC client: hands each event to its handler by
// number and ignores the others.
class ClientEvents final : public rtc::IRTCEventNotification {
public:
    std::function<void(rtc::IRTCRegistrationStateChangeEvent *)> onRegistrationStateChange;
    std::function<void(rtc::IRTCSessionStateChangeEvent *)> onSessionStateChange;
    std::function<void(rtc::IRTCMediaEvent *)> onMediaEvent;

    void Event(rtc::RTC_EVENT event, rtc::IRTCEvent *pevent) override
    {
        switch (event) {
        case rtc::RTCE_REGISTRATION_STATE_CHANGE:
            if (auto *e = dynamic_cast<rtc::IRTCRegistrationStateChangeEvent *>(pevent); e && onRegistrationStateChange)
                onRegistrationStateChange(e);
            break;
        case rtc::RTCE_SESSION_STATE_CHANGE:
            if (auto *e = dynamic_cast<rtc::IRTCSessionStateChangeEvent *>(pevent); e && onSessionStateChange)
                onSessionStateChange(e);
            break;
        case rtc::RTCE_MEDIA:
            if (auto *e = dynamic_cast<rtc::IRTCMediaEvent *>(pevent); e && onMediaEvent)
                onMediaEvent(e);
            break;
        default:
            break;
        }
    }
};
