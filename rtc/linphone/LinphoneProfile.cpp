#include "rtc/linphone/LinphoneProfile.h"

namespace rtc::lp {

LinphoneProfile::LinphoneProfile(QString xml, ProvisioningData data)
    : xml_(std::move(xml)), data_(std::move(data))
{
}

HRESULT LinphoneProfile::get_Key(QString *key) const { return CopyOut(data_.key, key); }
HRESULT LinphoneProfile::get_Name(QString *name) const { return CopyOut(data_.name, name); }
HRESULT LinphoneProfile::get_XML(QString *xml) const { return CopyOut(xml_, xml); }
HRESULT LinphoneProfile::get_UserURI(QString *uri) const { return CopyOut(data_.userUri, uri); }
HRESULT LinphoneProfile::get_UserName(QString *name) const { return CopyOut(data_.userName, name); }
HRESULT LinphoneProfile::get_UserAccount(QString *account) const { return CopyOut(data_.userAccount, account); }

} // namespace rtc::lp
