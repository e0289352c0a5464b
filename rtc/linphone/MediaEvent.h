#pragma once
#include "IRTCEvents.h"

namespace rtc::lp {

class MediaEvent final : public IRTCMediaEvent {
public:
    MediaEvent(long mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason)
        : mediaType_(mediaType), type_(type), reason_(reason) {}

    HRESULT get_MediaType(long *mediaType) const override
    {
        if (!mediaType)
            return E_POINTER;
        *mediaType = mediaType_;
        return S_OK;
    }
    HRESULT get_EventType(RTC_MEDIA_EVENT_TYPE *type) const override
    {
        if (!type)
            return E_POINTER;
        *type = type_;
        return S_OK;
    }
    HRESULT get_EventReason(RTC_MEDIA_EVENT_REASON *reason) const override
    {
        if (!reason)
            return E_POINTER;
        *reason = reason_;
        return S_OK;
    }

private:
    long mediaType_;
    RTC_MEDIA_EVENT_TYPE type_;
    RTC_MEDIA_EVENT_REASON reason_;
};

} // namespace rtc::lp
