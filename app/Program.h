#pragma once
#include "feedback/FeedbackWindow.h"
#include "feedback/WebSite.h"
#include "mainwindow/PhoneServices.h"
#include "platform/IniSettingsStore.h"
#include "platform/QtMessageBox.h"
#include "platform/QtScreenMetrics.h"
#include "platform/QtSoundOutput.h"
#include "platform/QtTrayIcon.h"
#include "platform/DBusNotifier.h"
#include "platform/QtUrlOpener.h"

#include <QStringList>

#include <memory>

namespace rtc {
class LinphoneClient;
}

// The program's real services, wired for the phone window: the settings
// file, message boxes, the screen, the speaker, the notification area, the
// desktop's notifications, the desktop's web handler, the feedback window
// and the engine on liblinphone. The program and the benchmark driver start
// the phone alike.
class Program {
public:
    // Names the application (the settings and data folders follow from the
    // name) and gives it its icon. Needs the QApplication.
    static void Describe();

    // The engine of the phone about to run, begun at once: its core is made
    // on the engine's thread while the caller goes on. What the engine tells
    // the user before the window's message box is there waits for it.
    struct EngineStart {
        std::shared_ptr<std::shared_ptr<rtc::LinphoneClient>> early;
        struct Notices {
            platform::IMessageBox *box = nullptr;
            QStringList waiting;
        };
        std::shared_ptr<Notices> notices;
    };
    static EngineStart StartEngine();

    // The window's services on these; messages go to `messages` when given.
    // The phone gets the engine begun in `engine`, or one begun now.
    PhoneServices Wire(const QString &dataFolder, platform::IMessageBox *messages = nullptr,
                       EngineStart engine = {});

    platform::IniSettingsStore settings;
    platform::QtMessageBox messages;
    platform::QtScreenMetrics screen;
    platform::QtSoundOutput sound;
    platform::QtTrayIcon tray;
    platform::DBusNotifier notifier;
    platform::QtUrlOpener urls;
    FeedbackWindow feedback{WebSite::FeedbackPage(), &screen};
};
