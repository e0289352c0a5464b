#pragma once
#include "call/Phone.h"
#include "platform/IDesktopNotifier.h"
#include "platform/IMessageBox.h"
#include "platform/IScreenMetrics.h"
#include "platform/ISettingsStore.h"
#include "platform/ITrayIcon.h"

#include <functional>

class QDialog;

// Everything the phone window takes from outside, handed in at construction.
struct PhoneServices {
    platform::ISettingsStore *settings = nullptr;
    platform::IMessageBox *messages = nullptr;
    platform::IScreenMetrics *screen = nullptr;
    // The notification area (none: the window only minimises) and the
    // desktop's notifications (none: a call is announced by the window alone).
    platform::ITrayIcon *tray = nullptr;
    platform::IDesktopNotifier *notifier = nullptr;
    // The RTC client, the key tones and the data folder (call history and
    // phone book; empty keeps neither).
    Phone::Services phone;
    // Shows a window modally and returns its result; empty means exec().
    // Tests answer the windows here instead of blocking on them.
    std::function<int(QDialog &)> runModal;
};
