#pragma once
#include "rtc/IRTCParticipant.h"
#include <memory>
#include <vector>

namespace rtc {

// A read-only list of participants, counted and indexed from 1.
class IRTCCollection {
public:
    virtual ~IRTCCollection() = default;
    virtual HRESULT get_Count(long *count) const = 0;
    virtual HRESULT get_Item(long index, std::shared_ptr<IRTCParticipant> *item) const = 0;
};

// The one collection everybody hands out: a snapshot of participants.
class ParticipantCollection final : public IRTCCollection {
public:
    explicit ParticipantCollection(std::vector<std::shared_ptr<IRTCParticipant>> items)
        : items_(std::move(items)) {}
    HRESULT get_Count(long *count) const override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<long>(items_.size());
        return S_OK;
    }
    HRESULT get_Item(long index, std::shared_ptr<IRTCParticipant> *item) const override
    {
        if (!item)
            return E_POINTER;
        if (index < 1 || index > static_cast<long>(items_.size()))
            return E_INVALIDARG;
        *item = items_[static_cast<size_t>(index - 1)];
        return S_OK;
    }

private:
    std::vector<std::shared_ptr<IRTCParticipant>> items_;
};

} // namespace rtc
