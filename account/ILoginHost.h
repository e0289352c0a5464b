#pragma once
#include "rtc/IRTCClient.h"
#include <QString>

// What the login window needs of the phone window that opened it.
class ILoginHost {
public:
    virtual ~ILoginHost() = default;
    // "CALLREG" once the account button opened a login window.
    virtual QString LoginTag() const = 0;
    // Registers again with the account now in memory.
    virtual rtc::HRESULT ReLogin() = 0;
    // The balance label: the login window leaves "EXITING" there to end start-up.
    virtual void SetBalanceText(const QString &text) = 0;
};
