#include "app/Program.h"

#include "platform/AlsaMixer.h"
#include "resources/Artwork.h"
#include "rtc/linphone/LinphoneClient.h"
#include "rtc/linphone/StunCheck.h"
#include "platform/IniSettingsStore.h"
#include "platform/Log.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSettings>
#include <QStandardPaths>
#include <utility>

void Program::Describe()
{
    QCoreApplication::setApplicationName(QStringLiteral("Softphone"));
    QCoreApplication::setOrganizationName(QStringLiteral("Softphone"));
    QGuiApplication::setWindowIcon(QIcon(Artwork::iconPath()));
}

namespace {
// [Network] StunServer=host[:port] in the settings file names a STUN
// server; "off" asks none. Anything else is left out, and the user told.
QString stunServerSetting(QString *problem)
{
    const QString value = QSettings(platform::IniSettingsStore::defaultFilePath(), QSettings::IniFormat)
                              .value(QStringLiteral("Network/StunServer"))
                              .toString()
                              .trimmed();
    if (value.isEmpty() || value.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0
        || rtc::lp::StunCheck::HostAndPort(value.toStdString(), rtc::lp::StunCheck::kDefaultPort))
        return value;
    *problem = QStringLiteral("The STUN server in the settings file, \"%1\", is not a host name or address with "
                              "an optional port. The SIP server's host is asked instead.")
                   .arg(value.left(80));
    platform::Log::Write(platform::Log::Warning, QStringLiteral("settings"), *problem);
    return QString();
}

rtc::LinphoneClientOptions engineOptions()
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
    return engine;
}

void show(platform::IMessageBox *box, const QString &text)
{
    box->Show(text, QString(), platform::MsgIcon::Information);
}
} // namespace

Program::EngineStart Program::StartEngine()
{
    EngineStart start;
    start.notices = std::make_shared<EngineStart::Notices>();
    rtc::LinphoneClientOptions engine = engineOptions();
    engine.notice = [notices = start.notices](const QString &text) {
        if (notices->box)
            show(notices->box, text);
        else
            notices->waiting << text;
    };
    QString problem;
    engine.stunServer = stunServerSetting(&problem);
    if (!problem.isEmpty())
        engine.notice(problem);
    start.early = std::make_shared<std::shared_ptr<rtc::LinphoneClient>>(std::make_shared<rtc::LinphoneClient>(engine));
    (*start.early)->Begin();
    return start;
}

PhoneServices Program::Wire(const QString &dataFolder, platform::IMessageBox *messagesTo, EngineStart engine)
{
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
    // The engine starts now, beside the window being built, unless it was
    // begun earlier; the phone gets that one first, and fresh ones after it.
    if (!engine.early)
        engine = StartEngine();
    platform::IMessageBox *box = services.messages;
    engine.notices->box = box;
    if (!engine.notices->waiting.isEmpty())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [box, waiting = std::exchange(engine.notices->waiting, {})] {
                for (const QString &text : waiting)
                    show(box, text);
            },
            Qt::QueuedConnection);
    rtc::LinphoneClientOptions options = engineOptions();
    options.notice = [box](const QString &text) { show(box, text); };
    services.phone.createClient = [options, early = engine.early]() -> std::shared_ptr<rtc::IRTCClient> {
        if (auto client = std::exchange(*early, nullptr))
            return client;
        return std::make_shared<rtc::LinphoneClient>(options);
    };
    services.mixer = [] { return std::make_unique<platform::AlsaMixer>(); };
    return services;
}
