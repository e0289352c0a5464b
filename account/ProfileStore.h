#pragma once
#include "account/Account.h"
#include "platform/ISettingsStore.h"

// Moves the account between the settings store and memory. Each of the four
// values is its own application under section "Parameters", key
// "Validation"; values are kept exactly as typed.
namespace ProfileStore {

inline const QString kSection = QStringLiteral("Parameters");
inline const QString kKey = QStringLiteral("Validation");
inline const QString kPasswordApp = QStringLiteral("Password");
inline const QString kAccountApp = QStringLiteral("Account");
inline const QString kSipApp = QStringLiteral("Sip");
inline const QString kUserApp = QStringLiteral("User");

// Read in the order Password, Account, Sip, User; missing values are empty.
Account ReadProfile(const platform::ISettingsStore &store);
// Written in the same order.
void SaveProfile(platform::ISettingsStore &store, const Account &account);
// Writes four empty values. Nothing is deleted.
void EraseProfile(platform::ISettingsStore &store);

} // namespace ProfileStore
