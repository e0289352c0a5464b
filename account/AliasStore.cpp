#include "account/AliasStore.h"

namespace AliasStore {

QString Read(const platform::ISettingsStore &store)
{
    return store.GetSetting(kApp, kSection, kKey);
}

bool Save(platform::ISettingsStore &store, const QString &alias)
{
    store.SaveSetting(kApp, kSection, kKey, alias);
    // The store reports nothing about a failed write; reading the value back
    // is the only way to know it was kept.
    return Read(store) == alias;
}

} // namespace AliasStore
