#pragma once
#include "rtc/IRTCProfile.h"
#include <memory>

namespace rtc {

// The client's provisioning view: profiles from provisioning text, and
// enabling one makes the client register with it.
class IRTCClientProvisioning {
public:
    virtual ~IRTCClientProvisioning() = default;
    virtual HRESULT CreateProfile(const QString &xml, std::shared_ptr<IRTCProfile> *profile) = 0;
    virtual HRESULT EnableProfile(const std::shared_ptr<IRTCProfile> &profile, long registerFlags) = 0;
    virtual HRESULT DisableProfile(const std::shared_ptr<IRTCProfile> &profile) = 0;
};

} // namespace rtc
