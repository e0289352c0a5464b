#include "LinphoneProfile.h"

namespace rtc::lp {

namespace {
HRESULT copyOut(const QString &value, QString *out)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}
} // namespace

LinphoneProfile::LinphoneProfile(QString xml, ProvisioningData data)
    : xml_(std::move(xml)), data_(std::move(data))
{
}

HRESULT LinphoneProfile::get_Key(QString *key) const { return copyOut(data_.key, key); }
HRESULT LinphoneProfile::get_Name(QString *name) const { return copyOut(data_.name, name); }
HRESULT LinphoneProfile::get_XML(QString *xml) const { return copyOut(xml_, xml); }
HRESULT LinphoneProfile::get_UserURI(QString *uri) const { return copyOut(data_.userUri, uri); }
HRESULT LinphoneProfile::get_UserName(QString *name) const { return copyOut(data_.userName, name); }
HRESULT LinphoneProfile::get_UserAccount(QString *account) const { return copyOut(data_.userAccount, account); }

} // namespace rtc::lp
