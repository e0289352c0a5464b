#pragma once
#include "platform/ISettingsStore.h"

// Moves the account profile between the settings store and memory. Each of
// the four values is its own application under section "Parameters", key
// "Validation"; values are kept exactly as typed.
namespace ProfileStore {

inline const QString kSection = QStringLiteral("Parameters");
inline const QString kKey = QStringLiteral("Validation");
inline const QString kPasswordApp = QStringLiteral("Password");
inline const QString kAccountApp = QStringLiteral("Account");
inline const QString kSipApp = QStringLiteral("Sip");
inline const QString kUserApp = QStringLiteral("User");

// Store → memory, in the order Password, Account, Sip, User.
void ReadProfile(const platform::ISettingsStore &store);
// Memory → store, same order.
void SaveProfile(platform::ISettingsStore &store);
// Writes four empty values; memory is left alone. Nothing is deleted.
void EraseProfile(platform::ISettingsStore &store);

} // namespace ProfileStore
