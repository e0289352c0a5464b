#pragma once
#include "platform/ISettingsStore.h"

// The caller-ID alias in the settings store: application "adstring",
// section "Parameters", key "Validation". Kept exactly as typed.
namespace AliasStore {

inline const QString kApp = QStringLiteral("adstring");
inline const QString kSection = QStringLiteral("Parameters");
inline const QString kKey = QStringLiteral("Validation");

// The stored alias; "" when none was ever stored.
QString Read(const platform::ISettingsStore &store);
// Stores the alias and reads it back: false when the store did not keep it.
bool Save(platform::ISettingsStore &store, const QString &alias);

} // namespace AliasStore
