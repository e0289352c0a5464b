#pragma once
#include "call/Phone.h"
#include "platform/IDesktopNotifier.h"
#include "platform/IMessageBox.h"
#include "platform/IMixer.h"
#include "platform/IScreenMetrics.h"
#include "platform/ISettingsStore.h"
#include "platform/ITrayIcon.h"
#include "platform/IUrlOpener.h"

#include <functional>
#include <memory>

class FeedbackWindow;
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
    // The provider's web site: the home page and the user guide go to the
    // desktop's handler, the feedback page to its own window.
    platform::IUrlOpener *urls = nullptr;
    FeedbackWindow *feedback = nullptr;
    // The RTC client, the key tones and the data folder (call history and
    // phone book; empty keeps neither).
    Phone::Services phone;
    // Shows a window modally and returns its result; empty means exec().
    // Tests answer the windows here instead of blocking on them.
    std::function<int(QDialog &)> runModal;
    // The sound card's mixer, opened as the window loads; empty: none is
    // looked for.
    std::function<std::unique_ptr<platform::IMixer>()> mixer;
};
