#include "rtc/linphone/CoreSetup.h"

#include "rtc/linphone/CertificateCheck.h"
#include "rtc/linphone/StackTls.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <bctoolbox/logging.h>
#include <linphone/core.h>

#include <cstdarg>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <utility>

#include <dlfcn.h>

namespace rtc::lp {

namespace {


// liblinphone's messages, and those of the libraries under it (the SIP
// stack, the media streams), go to the program's log in place of
// liblinphone's own printer. The media streams speak from threads of their
// own, so the line is taken straight from the logging library under them:
// liblinphone's LoggingService listener hands each message through
// reference-counted wrapper objects that are not safe to share between
// threads.
void engineLogLine(const char *domain, BctbxLogLevel level, const char *format, va_list args)
{
    platform::Log::Level to = platform::Log::Debug;
    switch (level) {
    case BCTBX_LOG_DEBUG:
    case BCTBX_LOG_TRACE: to = platform::Log::Debug; break;
    case BCTBX_LOG_MESSAGE: to = platform::Log::Info; break;
    case BCTBX_LOG_WARNING: to = platform::Log::Warning; break;
    default: to = platform::Log::Error; break;
    }
    char line[1024];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    QString text;
    if (length < 0) {
        text = QString::fromUtf8(format);
    } else if (std::size_t(length) < sizeof line) {
        text = QString::fromUtf8(line, length);
    } else {
        std::string longer(std::size_t(length) + 1, '\0');
        std::vsnprintf(longer.data(), longer.size(), format, again);
        text = QString::fromUtf8(longer.data(), length);
    }
    va_end(again);
    platform::Log::Write(to, domain && *domain ? QString::fromUtf8(domain) : QStringLiteral("liblinphone"), text);
}

// Warnings and errors only: from debug level up liblinphone would print
// every SIP message. liblinphone's own hook for the printer, as each core it
// creates puts the printer set there back in place.
void quietLiblinphone()
{
    static std::once_flag once;
    std::call_once(once, [] {
        linphone::LoggingService::get()->setLogLevel(linphone::LogLevel::Warning);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        linphone_core_set_log_handler(engineLogLine);
#pragma GCC diagnostic pop
    });
}

// The libraries under the media streams, set up once for the process.
// - The SRTP library starts NSS for each cipher it allocates and shuts it
//   down with the last one, and making a core tests a dozen ciphers: one
//   context held until the first core is made keeps NSS up meanwhile. Then
//   NSS goes with the SRTP library's last context, as before. Nothing to do
//   when the SRTP library was built without NSS.
// - The media streams start the SRTP library, self-testing every cipher,
//   with each core and stop it with the last one: one start held for the
//   process does that once, and beside the window being built.
void *heldNssContext = nullptr;
int (*shutdownNssContext)(void *) = nullptr;

void prepareLibraries()
{
    quietLiblinphone();
    if (void *nss = dlopen("libnss3.so", RTLD_NOW | RTLD_NOLOAD)) {
        using InitContext = void *(*)(const char *, const char *, const char *, const char *, void *, unsigned);
        // NSS_INIT_READONLY | NSS_INIT_NOCERTDB | NSS_INIT_NOMODDB | NSS_INIT_FORCEOPEN |
        // NSS_INIT_OPTIMIZESPACE: the SRTP library's own, so its contexts join this one.
        constexpr unsigned kFlags = 0x1 | 0x2 | 0x4 | 0x8 | 0x20;
        auto init = reinterpret_cast<InitContext>(dlsym(nss, "NSS_InitContext"));
        shutdownNssContext = reinterpret_cast<int (*)(void *)>(dlsym(nss, "NSS_ShutdownContext"));
        if (init && shutdownNssContext)
            heldNssContext = init("", "", "", "", nullptr, kFlags);
        dlclose(nss); // the SRTP library keeps it loaded
    }
    if (auto srtpInit = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "ms_srtp_init")))
        srtpInit();
}

// After the first core is made: no more cipher tests to come. Under the
// factory's turn, which the engines take one at a time.
void releaseNss()
{
    if (heldNssContext)
        shutdownNssContext(std::exchange(heldNssContext, nullptr));
}

std::once_flag preparing;
std::shared_future<void> prepared;

void startPreparing()
{
    std::call_once(preparing, [] { prepared = std::async(std::launch::async, prepareLibraries).share(); });
}

// The factory is one for the process, and its folders are read when a core
// is created: two engines (each on its own thread) take turns.
std::mutex factoryMutex;

// The engine's settings into config (made empty).
bool makeConfig(const std::shared_ptr<linphone::Config> &config, const LinphoneClientOptions &options,
                const QString &folder)
{
    const QString dataDir = folder + QStringLiteral("/data/");
    // liblinphone writes every account it registers, with the hash of its
    // password (as good as the password to a registrar), into its config
    // file, while running and at exit, whether or not the user saved the
    // password. The config lives in memory only, and a file left by an
    // earlier version goes.
    QFile::remove(folder + QStringLiteral("/linphonerc"));
    if (!config)
        return false;
    // One UDP socket on a random port; no TCP or TLS server socket ever
    // (the SIP filter sees datagrams only).
    config->setInt("sip", "sip_port", -1);
    config->setInt("sip", "sip_tcp_port", 0);
    config->setInt("sip", "sip_tls_port", 0);
    config->setInt("sip", "sip_dtls_port", 0);
    config->setInt("sip", "use_ipv6", 0);
    config->setString("sip", "bind_address", options.bindAddress.toStdString());
    config->setString("rtp", "bind_address", options.bindAddress.toStdString());
    config->setInt("sip", "ping_with_options", 0);
    // The network is followed by the engine's own watch (NetworkWatch):
    // the core's monitor wants a route to the Internet, which a provider
    // on the local network does not need.
    config->setInt("sip", "auto_net_state_mon", 0);
    // A CR LF to the provider every 15 s keeps a router's mapping of the
    // SIP socket: 30 s is the shortest UDP timeout common in home routers
    // and carrier NATs (and Linux's own for a flow nobody answers, which a
    // keep-alive is), and two keep-alives within it survive one lost.
    config->setInt("sip", "keepalive_period", 15000);
    // RTP goes back to where the far end's comes from, not only to the
    // address in its offer: a far end behind a NAT is heard.
    config->setInt("rtp", "symmetric", 1);
    // No engine database: the phone keeps its call history and phone book
    // in its own files and has no chat ("null" is liblinphone's word for none).
    config->setString("storage", "uri", "null");
    config->setString("storage", "call_logs_db_uri", "null");
    // Our own files only: two engines in one process must not share them.
    config->setString("misc", "zrtp_secrets_file", (dataDir + QStringLiteral("zidcache")).toStdString());
    config->setString("misc", "version_check_url_root", "");
    config->setString("misc", "file_transfer_server_url", "");
    config->setInt("misc", "enable_lime", 0);
    config->setInt("video", "capture", 0);
    config->setInt("video", "display", 0);
    config->setInt("video", "automatically_initiate", 0);
    config->setInt("video", "automatically_accept", 0);
    if (options.echoCancellation >= 0)
        config->setInt("sound", "echocancellation", options.echoCancellation);
    config->setString("net", "stun_server", "");
    config->setInt("net", "firewall_policy", 0);
    config->setInt("net", "enable_ipv6", 0);
    return true;
}

} // namespace

void CoreSetup::Prepare()
{
    startPreparing();
}

std::shared_ptr<linphone::Core> CoreSetup::Make(const LinphoneClientOptions &options, const QString &folder)
{
    startPreparing();
    prepared.wait();

    std::unique_lock factoryTurn(factoryMutex);
    auto factory = linphone::Factory::get();
    // Debian installs the sounds under /usr/share/sounds/linphone while
    // liblinphone looks in /usr/share/linphone/sounds/linphone.
    if (!QFileInfo::exists(QString::fromStdString(factory->getRingResourcesDir()))
        && QFileInfo::exists(QStringLiteral("/usr/share/sounds/linphone/rings"))) {
        factory->setSoundResourcesDir("/usr/share/sounds/linphone");
        factory->setRingResourcesDir("/usr/share/sounds/linphone/rings");
    }
    // The only plugin Debian ships is a video display that maps Qt 5 and
    // OpenGL into the process; the phone is audio only, so no plugin folder
    // is read.
    factory->setMspluginsDir((folder + QStringLiteral("/no-plugins")).toStdString());
    factory->setDataDir((folder + QStringLiteral("/data/")).toStdString());
    factory->setDownloadDir((folder + QStringLiteral("/download/")).toStdString());
    // Made through the C interface, the only one that takes the TLS
    // configuration (TLS 1.2 or newer for SIP over TLS), and then wrapped.
    void *tls = StackTls::NewClientConfig();
    LinphoneConfig *cConfig = linphone_factory_create_config_from_string(linphone_factory_get(), "");
    auto config = linphone::Object::cPtrToSharedPtr<linphone::Config>(cConfig, false);
    LinphoneCore *cCore = tls && makeConfig(config, options, folder)
                              ? linphone_factory_create_core_with_config_3(linphone_factory_get(), cConfig, nullptr)
                              : nullptr;
    if (cCore)
        linphone_core_set_ssl_config(cCore, tls);
    auto core = linphone::Object::cPtrToSharedPtr<linphone::Core>(cCore, false);
    releaseNss();
    factoryTurn.unlock();
    if (!core)
        return nullptr;

    // Peers and providers see who is calling: "Softphone/0.1 (belle-sip/...)".
    core->setUserAgent("Softphone", SOFTPHONE_VERSION);
    core->enableVideoCapture(false);
    core->enableVideoDisplay(false);
    // One call and one more ringing beside it is all the window shows; the
    // engine answers any further offer "486 Busy Here" before it builds a
    // session with media ports for it.
    core->setMaxCalls(2);
    core->enableLimeX3Dh(false);
    core->enableFriendListSubscription(false);
    core->disableChat(linphone::Reason::NotImplemented);
    core->setAudioPort(-1);
    // SIP over TLS: the server's certificate must chain to an authority the
    // system trusts and name the server as the user typed it; the stack
    // refuses it otherwise and sends nothing.
    core->setRootCa(CertificateCheck::TrustedAuthorities().toStdString());
    core->verifyServerCertificates(true);
    core->verifyServerCn(true);
    // Calls over TLS are encrypted with SRTP (Registration turns it on):
    // the 80-bit tag only, AES-128 first as every SRTP phone has it.
    core->setSrtpCryptoSuites("AES_CM_128_HMAC_SHA1_80, AES_256_CM_HMAC_SHA1_80");
    core->setMediaEncryption(linphone::MediaEncryption::None);
    core->setUseRfc2833ForDtmf(true);
    core->setUseInfoForDtmf(false);
    core->setNetworkReachable(true);
    return core;
}

} // namespace rtc::lp
