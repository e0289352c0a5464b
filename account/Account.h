#pragma once
#include <QString>

// The account the phone registers with: read from the settings store at
// start-up, typed into the login window, handed to the phone.
struct Account {
    QString g_strSip;      // SIP server address, optionally host:port
    QString g_strAccount;  // account ID (user ID)
    QString g_strPassword; // password (PIN)
    QString g_strUser;     // caller-ID name or alias

    // Nothing stored at all: the login window comes first.
    bool IsEmpty() const
    {
        return g_strSip.isEmpty() && g_strAccount.isEmpty() && g_strPassword.isEmpty() && g_strUser.isEmpty();
    }
    bool operator==(const Account &) const = default;
};
