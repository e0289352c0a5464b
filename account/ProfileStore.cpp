#include "account/ProfileStore.h"

#include "account/AccountProfile.h"

namespace ProfileStore {

void ReadProfile(const platform::ISettingsStore &store)
{
    g_strPassword = store.GetSetting(kPasswordApp, kSection, kKey);
    g_strAccount = store.GetSetting(kAccountApp, kSection, kKey);
    g_strSip = store.GetSetting(kSipApp, kSection, kKey);
    g_strUser = store.GetSetting(kUserApp, kSection, kKey);
}

void SaveProfile(platform::ISettingsStore &store)
{
    store.SaveSetting(kPasswordApp, kSection, kKey, g_strPassword);
    store.SaveSetting(kAccountApp, kSection, kKey, g_strAccount);
    store.SaveSetting(kSipApp, kSection, kKey, g_strSip);
    store.SaveSetting(kUserApp, kSection, kKey, g_strUser);
}

void EraseProfile(platform::ISettingsStore &store)
{
    for (const QString &app : {kPasswordApp, kAccountApp, kSipApp, kUserApp})
        store.SaveSetting(app, kSection, kKey, QString());
}

} // namespace ProfileStore
