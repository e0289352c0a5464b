#include "app/Program.h"

#include "platform/AlsaMixer.h"
#include "resources/Artwork.h"
#include "rtc/linphone/LinphoneClient.h"

#include <QGuiApplication>
#include <QIcon>
#include <QStandardPaths>
#include <utility>

void Program::Describe()
{
    QCoreApplication::setApplicationName(QStringLiteral("Softphone"));
    QCoreApplication::setOrganizationName(QStringLiteral("Softphone"));
    QGuiApplication::setWindowIcon(QIcon(Artwork::iconPath()));
}

PhoneServices Program::Wire(const QString &dataFolder, platform::IMessageBox *messagesTo)
{
    rtc::LinphoneClientOptions engine;
    engine.folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                    + QStringLiteral("/Softphone/engine");
    engine.bindAddress = qEnvironmentVariable("SOFTPHONE_BIND_ADDRESS");
    if (qEnvironmentVariableIsSet("SOFTPHONE_ECHO_CANCELLATION"))
        engine.echoCancellation = qEnvironmentVariableIntValue("SOFTPHONE_ECHO_CANCELLATION") != 0 ? 1 : 0;
    // Calls straight from other phones, not through the provider, only when
    // the user asks for them.
    engine.directCalls = qEnvironmentVariableIntValue("SOFTPHONE_DIRECT_CALLS") == 1;

    PhoneServices services;
    services.settings = &settings;
    services.messages = messagesTo ? messagesTo : &messages;
    services.screen = &screen;
    services.tray = &tray;
    services.notifier = &notifier;
    services.urls = &urls;
    services.feedback = &feedback;
    services.phone.sound = &sound;
    services.phone.dataFolder = dataFolder;
    platform::IMessageBox *box = services.messages;
    engine.notice = [box](const QString &text) { box->Show(text, QString(), platform::MsgIcon::Information); };
    // The engine starts now, beside the window being built; the phone gets
    // that one first, and fresh ones after it.
    auto early = std::make_shared<std::shared_ptr<rtc::LinphoneClient>>(std::make_shared<rtc::LinphoneClient>(engine));
    (*early)->Begin();
    services.phone.createClient = [engine, early]() -> std::shared_ptr<rtc::IRTCClient> {
        if (auto client = std::exchange(*early, nullptr))
            return client;
        return std::make_shared<rtc::LinphoneClient>(engine);
    };
    services.mixer = [] { return std::make_unique<platform::AlsaMixer>(); };
    return services;
}
