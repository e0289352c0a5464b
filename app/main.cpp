// The phone program: the command line, the real services, the
// single-instance check and the hand-over of a link, the phone window.
#include "app/Program.h"
#include "platform/DataFolder.h"
#include "mainwindow/frmSoftphone.h"
#include "history/HistoryFile.h"
#include "phonebook/PhoneBookFile.h"
#include "platform/LinkChannel.h"
#include "platform/LockFileInstance.h"
#include "platform/Log.h"
#include "platform/QuitOnSignal.h"
#include "rtc/linphone/LinphoneClient.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <utility>

namespace {
void describe(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationName(QStringLiteral("softphone"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SOFTPHONE_VERSION));
    parser.setApplicationDescription(QStringLiteral("A SIP telephone for your provider's account."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(QStringLiteral("verbose"),
                                        QStringLiteral("Write the log's lines to the terminal too (the log is %1).")
                                            .arg(platform::Log::DefaultPath())));
    parser.addPositionalArgument(QStringLiteral("link"),
                                 QStringLiteral("A sip: or tel: link, or a number, to put into the number box."),
                                 QStringLiteral("[link]"));
}

// The log takes the engine's and Qt's messages from the start, Qt's own
// start included; --verbose is looked for before Qt reads the command line.
void startLog(int argc, char *argv[])
{
    platform::Log::Options options;
    for (int i = 1; i < argc && qstrcmp(argv[i], "--") != 0; ++i)
        if (qstrcmp(argv[i], "--verbose") == 0)
            options.echo = true;
    QString error;
    if (!platform::Log::Open(platform::Log::DefaultPath(), options, &error))
        std::fprintf(stderr, "softphone: the log cannot be written, its lines go to the terminal: %s\n",
                     qPrintable(error));
    platform::Log::CaptureQtMessages();
    platform::Log::Write(platform::Log::Info, QStringLiteral("softphone"),
                         QStringLiteral("version %1 started, process %2")
                             .arg(QStringLiteral(SOFTPHONE_VERSION))
                             .arg(QCoreApplication::applicationPid()));
}

// Whether the command line holds only options the phone knows.
bool commandLineAccepted()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.parse(QCoreApplication::arguments());
}
} // namespace

int main(int argc, char *argv[])
{
    // Help and version are answered without a desktop.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v"
            || arg == "--version") {
            QCoreApplication core(argc, argv);
            QCommandLineParser parser;
            describe(parser);
            parser.process(core); // prints and ends
        }
    }

    startLog(argc, argv);
    // The engine's libraries get ready beside Qt's start.
    rtc::LinphoneClient::PrepareProcess();
    QApplication app(argc, argv);
    // The phone that is going to run starts its engine before anything
    // else: the core is made on the engine's thread while the window is
    // built. Not for a second start, which only hands over its link, nor for
    // a command line about to be refused.
    platform::LockFileInstance instance(
        platform::LockFileInstance::defaultLockPath(platform::IniSettingsStore::defaultFilePath()));
    Program::EngineStart engine;
    if (commandLineAccepted() && !instance.AnotherInstanceRunning())
        engine = Program::StartEngine();

    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    const QString link = parser.positionalArguments().value(0);
    Program::Describe();

    Program program;
    const QString channelName = platform::LinkChannel::NameFor(program.settings.filePath());
    // A second start gives its link to the running phone and ends; without
    // one it brings that phone forward and says it runs already.
    bool handedOver = false;
    auto handOver = [&] {
        if (!link.isEmpty())
            return handedOver = platform::LinkChannel::Send(channelName, link);
        platform::LinkChannel::Send(channelName, QString());
        return false;
    };
    if (!frmSoftphone::Form_Initialize(instance, program.messages, handOver))
        return handedOver ? 0 : 1;

    // The phone book and the call history live in the user's data folder;
    // ones an earlier version kept beside the program move there once. The
    // demo runs the built program with a folder of its own and leaves the
    // user's files where they are.
    const QString dataFolder = platform::UserDataFolder();
    if (!qEnvironmentVariableIsSet("SOFTPHONE_DEMO")) {
        const QStringList told = platform::MoveDataFiles(QCoreApplication::applicationDirPath(), dataFolder,
                                                         {PhoneBookFile::kFileName, HistoryFile::kFileName});
        for (const QString &text : told)
            program.messages.Show(text, QString(), platform::MsgIcon::Information, platform::MsgButtons::OKOnly, nullptr);
    }
    frmSoftphone form(program.Wire(dataFolder, nullptr, std::exchange(engine, {})));
    form.Form_Load();
    if (form.IsExiting())
        return 0;
    // Being told to end (log-out, kill) ends like the close button does.
    platform::QuitOnSignal quitOnSignal([&form] { form.close(); });
    platform::LinkChannel channel(channelName);
    QObject::connect(&channel, &platform::LinkChannel::Received, &form, [&form](const QString &text) {
        if (text.isEmpty())
            form.ComeForward();
        else
            form.OpenLink(text);
    });
    channel.Listen();
    form.show();
    if (!link.isEmpty())
        form.OpenLink(link);
    const int code = app.exec();
    platform::Log::Write(platform::Log::Info, QStringLiteral("softphone"), QStringLiteral("ended"));
    return code;
}
