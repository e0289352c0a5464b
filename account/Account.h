#pragma once
#include <QString>

// The account the phone registers with: read from the settings store at
// start-up, typed into the login window, handed to the phone. The settings
// store keeps each value under its own key (see ProfileStore.h).
struct Account {
    QString server;     // SIP server (registrar and proxy) address, optionally host:port
    QString accountId;  // account ID: the user part of the SIP address and the login name
    QString password;   // password (PIN)
    QString callerName; // caller-ID name or alias: the display name the far end sees

    // Nothing stored at all: the login window comes first.
    bool IsEmpty() const
    {
        return server.isEmpty() && accountId.isEmpty() && password.isEmpty() && callerName.isEmpty();
    }
    bool operator==(const Account &) const = default;
};
