#include "account/ProfileStore.h"

namespace ProfileStore {

Account ReadProfile(const platform::ISettingsStore &store)
{
    Account a;
    a.g_strPassword = store.GetSetting(kPasswordApp, kSection, kKey);
    a.g_strAccount = store.GetSetting(kAccountApp, kSection, kKey);
    a.g_strSip = store.GetSetting(kSipApp, kSection, kKey);
    a.g_strUser = store.GetSetting(kUserApp, kSection, kKey);
    return a;
}

void SaveProfile(platform::ISettingsStore &store, const Account &account)
{
    store.SaveSetting(kPasswordApp, kSection, kKey, account.g_strPassword);
    store.SaveSetting(kAccountApp, kSection, kKey, account.g_strAccount);
    store.SaveSetting(kSipApp, kSection, kKey, account.g_strSip);
    store.SaveSetting(kUserApp, kSection, kKey, account.g_strUser);
}

void EraseProfile(platform::ISettingsStore &store)
{
    for (const QString &app : {kPasswordApp, kAccountApp, kSipApp, kUserApp})
        store.SaveSetting(app, kSection, kKey, QString());
}

} // namespace ProfileStore
