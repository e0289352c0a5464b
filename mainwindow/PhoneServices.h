#pragma once
#include "IMessageBox.h"
#include "IRTCClient.h"
#include "IScreenMetrics.h"
#include "ISettingsStore.h"
#include <functional>
#include <memory>

class frmSoftphone;

// Everything the main window takes from outside, handed in at construction.
struct PhoneServices {
    platform::ISettingsStore *settings = nullptr;
    platform::IMessageBox *messages = nullptr;
    platform::IScreenMetrics *screen = nullptr;
    // Makes the one RTC client of the run; may return none.
    std::function<std::shared_ptr<rtc::IRTCClient>()> createClient;
    // Shows the login window modally when no account is stored.
    std::function<void(frmSoftphone &)> showLogin;
};
