#pragma once
#include "platform/IMessageBox.h"
#include "rtc/IRTCClient.h"
#include "platform/IScreenMetrics.h"
#include "platform/ISoundOutput.h"
#include "platform/ISettingsStore.h"
#include <functional>
#include <memory>

class QDialog;

// Everything the main window takes from outside, handed in at construction.
struct PhoneServices {
    platform::ISettingsStore *settings = nullptr;
    platform::IMessageBox *messages = nullptr;
    platform::IScreenMetrics *screen = nullptr;
    platform::ISoundOutput *sound = nullptr; // key tones; none plays nothing
    // Makes the one RTC client of the run; may return none.
    std::function<std::shared_ptr<rtc::IRTCClient>()> createClient;
    // Where the call history and the phone book live; empty keeps no history.
    QString dataFolder;
    // Shows a window modally and returns its result; empty means exec().
    // Tests answer the windows here instead of blocking on them.
    std::function<int(QDialog &)> runModal;
};
