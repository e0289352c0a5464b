#include "account/ProfileStore.h"

namespace ProfileStore {

Account ReadProfile(const platform::ISettingsStore &store)
{
    Account a;
    a.password = store.GetSetting(kPasswordApp, kSection, kKey);
    a.accountId = store.GetSetting(kAccountApp, kSection, kKey);
    a.server = store.GetSetting(kSipApp, kSection, kKey);
    a.callerName = store.GetSetting(kUserApp, kSection, kKey);
    return a;
}

void SaveProfile(platform::ISettingsStore &store, const Account &account)
{
    store.SaveSetting(kPasswordApp, kSection, kKey, account.password);
    store.SaveSetting(kAccountApp, kSection, kKey, account.accountId);
    store.SaveSetting(kSipApp, kSection, kKey, account.server);
    store.SaveSetting(kUserApp, kSection, kKey, account.callerName);
}

void EraseProfile(platform::ISettingsStore &store)
{
    for (const QString &app : {kPasswordApp, kAccountApp, kSipApp, kUserApp})
        store.SaveSetting(app, kSection, kKey, QString());
}

} // namespace ProfileStore
