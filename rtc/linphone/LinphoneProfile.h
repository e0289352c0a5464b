#pragma once
#include "rtc/IRTCProfile.h"
#include "rtc/ProvisioningParser.h"

namespace rtc::lp {

// A parsed provisioning text; the engine reads data() when enabling it.
class LinphoneProfile final : public IRTCProfile {
public:
    LinphoneProfile(QString xml, ProvisioningData data);

    HRESULT get_Key(QString *key) const override;
    HRESULT get_Name(QString *name) const override;
    HRESULT get_XML(QString *xml) const override;
    HRESULT get_UserURI(QString *uri) const override;
    HRESULT get_UserName(QString *name) const override;
    HRESULT get_UserAccount(QString *account) const override;

    const ProvisioningData &data() const { return data_; }

private:
    const QString xml_;
    const ProvisioningData data_;
};

} // namespace rtc::lp
