#pragma once
#include "call/IStatusLine.h"
#include "call/PhoneState.h"
#include <optional>

// Registers the phone with the account in memory and shows what the
// registrar says.
class Registration {
public:
    Registration(PhoneState &state, IStatusLine &status);

    // Builds the provisioning text from the account and enables it. A failing
    // step returns its result code and leaves the rest undone.
    rtc::HRESULT ApplyProfile();
    // After the account was changed: "Re login..." and register again.
    rtc::HRESULT ReLogin();
    void OnRegistrationStateChange(rtc::IRTCRegistrationStateChangeEvent *pevent);

    struct Texts {
        QString word;  // kept in strRegStatus
        QString label; // shown on the status line
    };
    // The texts for a registration state; none for the states that change
    // nothing (unregistering, error and the presence states).
    static std::optional<Texts> TextsFor(long state);

private:
    PhoneState &state_;
    IStatusLine &status_;
};
