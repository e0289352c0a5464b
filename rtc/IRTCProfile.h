#pragma once
#include "rtc/RTCTypes.h"
#include <QString>

namespace rtc {

// A provisioning profile: the account one registers with.
class IRTCProfile {
public:
    virtual ~IRTCProfile() = default;
    virtual HRESULT get_Key(QString *key) const = 0;
    virtual HRESULT get_Name(QString *name) const = 0;
    virtual HRESULT get_XML(QString *xml) const = 0;
    virtual HRESULT get_UserURI(QString *uri) const = 0;
    virtual HRESULT get_UserName(QString *name) const = 0;
    virtual HRESULT get_UserAccount(QString *account) const = 0;
};

} // namespace rtc
