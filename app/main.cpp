// The phone program: wires the real services to the phone window.
#include "resources/Artwork.h"
#include "platform/DataFolder.h"
#include "platform/IniSettingsStore.h"
#include "rtc/linphone/LinphoneClient.h"
#include "platform/LockFileInstance.h"
#include "platform/QtMessageBox.h"
#include "platform/QtScreenMetrics.h"
#include "platform/QtSoundOutput.h"
#include "platform/QuitOnSignal.h"
#include "mainwindow/frmSoftphone.h"

#include <QApplication>
#include <QIcon>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Softphone"));
    QApplication::setOrganizationName(QStringLiteral("Softphone"));
    QApplication::setWindowIcon(QIcon(Artwork::iconPath()));

    platform::IniSettingsStore settings;
    platform::QtMessageBox messages;
    platform::QtScreenMetrics screen;
    platform::QtSoundOutput sound;
    platform::LockFileInstance instance(platform::LockFileInstance::defaultLockPath(settings.filePath()));
    if (!frmSoftphone::Form_Initialize(instance, messages))
        return 1;

    rtc::LinphoneClientOptions engine;
    engine.folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                    + QStringLiteral("/Softphone/engine");
    engine.bindAddress = qEnvironmentVariable("SOFTPHONE_BIND_ADDRESS");

    PhoneServices services;
    services.settings = &settings;
    services.messages = &messages;
    services.screen = &screen;
    services.dataFolder = platform::ProgramDataFolder();
    services.sound = &sound;
    services.createClient = [engine]() -> std::shared_ptr<rtc::IRTCClient> {
        return std::make_shared<rtc::LinphoneClient>(engine);
    };

    frmSoftphone form(services);
    form.Form_Load();
    if (form.IsExiting())
        return 0;
    // Being told to end (log-out, kill) ends like the close button does.
    platform::QuitOnSignal quitOnSignal([&form] { form.close(); });
    form.show();
    return app.exec();
}
