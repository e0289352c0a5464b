#pragma once
// The phone window on the real engine with account 1001 stored for a local
// provider, for tests that use it as a person would. The engine takes the
// sound server's default devices, as the program does.
#include "rtc/linphone/LinphoneClient.h"
#include "tests/support/LocalProvider.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"
#include "tests/doubles/FixedScreenMetrics.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "mainwindow/frmSoftphone.h"

#include <QTemporaryDir>
#include <memory>

struct RegisteredPhone {
    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    platform::FixedScreenMetrics screen;
    QTemporaryDir data;   // recentcall.txt, PhoneBook.txt
    QTemporaryDir engine; // the engine's own files
    std::unique_ptr<frmSoftphone> window;

    // Stores the account, then loads and shows the window; registering
    // happens from there on.
    // engineFolder: the engine's files, kept from an earlier phone; empty
    // gives a fresh folder.
    RegisteredPhone(const LocalProvider &provider, platform::ISoundOutput *sound, const QString &engineFolder = {})
    {
        ProfileStore::SaveProfile(settings, Account{provider.hostPort(), QStringLiteral("1001"),
                                                    QStringLiteral("1001pw"), QStringLiteral("1001")});
        PhoneServices s;
        s.settings = &settings;
        s.messages = &messages;
        s.screen = &screen;
        s.phone.dataFolder = data.path();
        s.phone.sound = sound;
        const QString folder = engineFolder.isEmpty() ? engine.path() : engineFolder;
        s.phone.createClient = [this, folder]() -> std::shared_ptr<rtc::IRTCClient> {
            rtc::LinphoneClientOptions o;
            o.folder = folder;
            o.bindAddress = QStringLiteral("127.0.0.1");
            o.notice = [this](const QString &text) { messages.Show(text, QString(), platform::MsgIcon::Information, platform::MsgButtons::OKOnly, nullptr); };
            return std::make_shared<rtc::LinphoneClient>(o);
        };
        window = std::make_unique<frmSoftphone>(s);
        window->Form_Load();
        window->show();
    }
    // The window goes first: it ends calls and unregisters.
    ~RegisteredPhone() { window.reset(); }
};
