#pragma once
// Test sink: keeps every event the client delivers, with the values read out
// at delivery time (the event objects only live during the call).
#include "rtc/IRTCEvents.h"

#include <QString>
#include <functional>
#include <vector>

struct RecordedEvent {
    rtc::RTC_EVENT type = rtc::RTCE_CLIENT;
    long state = -1;
    long code = 0;
    QString text;
    long mediaType = 0;
    std::shared_ptr<rtc::IRTCSession> session;
    std::shared_ptr<rtc::IRTCProfile> profile;
};

class EventRecorder : public rtc::IRTCEventNotification {
public:
    void Event(rtc::RTC_EVENT type, rtc::IRTCEvent *event) override
    {
        RecordedEvent r;
        r.type = type;
        if (type == rtc::RTCE_REGISTRATION_STATE_CHANGE) {
            auto *e = dynamic_cast<rtc::IRTCRegistrationStateChangeEvent *>(event);
            rtc::RTC_REGISTRATION_STATE s;
            e->get_State(&s);
            r.state = s;
            e->get_StatusCode(&r.code);
            e->get_StatusText(&r.text);
            e->get_Profile(&r.profile);
        } else if (type == rtc::RTCE_SESSION_STATE_CHANGE) {
            auto *e = dynamic_cast<rtc::IRTCSessionStateChangeEvent *>(event);
            rtc::RTC_SESSION_STATE s;
            e->get_State(&s);
            r.state = s;
            e->get_StatusCode(&r.code);
            e->get_StatusText(&r.text);
            e->get_Session(&r.session);
        } else if (type == rtc::RTCE_MEDIA) {
            auto *e = dynamic_cast<rtc::IRTCMediaEvent *>(event);
            rtc::RTC_MEDIA_EVENT_TYPE t;
            e->get_EventType(&t);
            r.state = t;
            e->get_MediaType(&r.mediaType);
        }
        events.push_back(r);
        if (onEvent)
            onEvent(r);
    }

    std::vector<long> states(rtc::RTC_EVENT type) const
    {
        std::vector<long> out;
        for (const auto &e : events)
            if (e.type == type)
                out.push_back(e.state);
        return out;
    }
    std::vector<long> registrationStates() const { return states(rtc::RTCE_REGISTRATION_STATE_CHANGE); }
    std::vector<long> sessionStates() const { return states(rtc::RTCE_SESSION_STATE_CHANGE); }
    bool has(rtc::RTC_EVENT type, long state) const
    {
        for (const auto &e : events)
            if (e.type == type && e.state == state)
                return true;
        return false;
    }
    const RecordedEvent *last(rtc::RTC_EVENT type, long state) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->type == type && it->state == state)
                return &*it;
        return nullptr;
    }

    std::vector<RecordedEvent> events;
    std::function<void(const RecordedEvent &)> onEvent;
};
