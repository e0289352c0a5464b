#pragma once
#include "rtc/IRTCEvents.h"

namespace rtc::lp {

class MediaEvent final : public IRTCMediaEvent {
public:
    MediaEvent(long mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason)
        : mediaType_(mediaType), type_(type), reason_(reason) {}

    HRESULT get_MediaType(long *mediaType) const override { return CopyOut(mediaType_, mediaType); }
    HRESULT get_EventType(RTC_MEDIA_EVENT_TYPE *type) const override { return CopyOut(type_, type); }
    HRESULT get_EventReason(RTC_MEDIA_EVENT_REASON *reason) const override { return CopyOut(reason_, reason); }

private:
    long mediaType_;
    RTC_MEDIA_EVENT_TYPE type_;
    RTC_MEDIA_EVENT_REASON reason_;
};

} // namespace rtc::lp
