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

    // The window's services on these; messages go to `messages` when given.
    PhoneServices Wire(const QString &dataFolder, platform::IMessageBox *messages = nullptr);

    platform::IniSettingsStore settings;
    platform::QtMessageBox messages;
    platform::QtScreenMetrics screen;
    platform::QtSoundOutput sound;
    platform::QtTrayIcon tray;
    platform::DBusNotifier notifier;
    platform::QtUrlOpener urls;
    FeedbackWindow feedback{WebSite::FeedbackPage(), &screen};
};
