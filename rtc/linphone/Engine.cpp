#include "rtc/linphone/Engine.h"

#include "rtc/linphone/CoreEvents.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/SipDoor.h"
#include "platform/DataFolder.h"
#include "platform/Log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

#include <bctoolbox/logging.h>
#include <linphone/core.h>

#include <cstdarg>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <utility>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace rtc::lp {

namespace {

constexpr int kIterateIntervalMs = 20;
constexpr int kShutdownWaitMs = 1000;
constexpr int kDtmfGapMs = 250; // a tone's 100 ms or so, and a pause
// Turns the SIP socket may ask for between two ticks: a datagram the stack
// leaves unread must not keep the thread busy.
constexpr int kMaxSipTurnsPerTick = 16;

std::string str(const QString &s) { return s.toStdString(); }

// liblinphone does not hand out its SIP socket: the UDP socket of the
// process bound to the port it reports, or -1.
int udpSocketOnPort(int port)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0 && address.sin_family == AF_INET
            && ntohs(address.sin_port) == port && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0
            && type == SOCK_DGRAM)
            return fd;
    }
    return -1;
}

// liblinphone's messages, and those of the libraries under it (the SIP
// stack, the media streams), go to the program's log in place of
// liblinphone's own printer. The media streams speak from threads of their
// own, so the line is taken straight from the logging library under them:
// liblinphone's LoggingService listener hands each message through
// reference-counted wrapper objects that are not safe to share between
// threads (a call with its media running crashed in the logger now and then).
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

// The libraries under the media streams, set up once for the process, on
// a thread of their own when the program asks early (PrepareProcess), or
// else by the first core made, which waits for it either way.
// - The SRTP library starts NSS for each cipher it allocates and shuts it
//   down with the last one. Making a core tests a dozen ciphers, so NSS was
//   loaded, started and unloaded thirteen times: 20 of the 55 ms a core took
//   to make. One context held until the first core is made keeps it up, and
//   the ciphers' own starts only count; then NSS goes with the SRTP
//   library's last context, as before (0.8 MiB). Nothing to do when the
//   SRTP library was built without NSS.
// - The media streams start the SRTP library, self-testing every cipher,
//   with each core and stop it with the last one. One start held for the
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

} // namespace

void Engine::Prepare()
{
    startPreparing();
}

Engine::Engine(LinphoneClientOptions options, EngineThread *thread, Post post)
    : options_(std::move(options)), thread_(thread), post_(std::move(post))
{
    Q_ASSERT(onThread());
    iterateTimer_.setInterval(kIterateIntervalMs);
    QObject::connect(&iterateTimer_, &QTimer::timeout, [this] {
        sipTurns_ = 0;
        if (sipReadable_)
            sipReadable_->setEnabled(true);
        iterateOnce();
    });
    dtmfTimer_.setSingleShot(true);
    dtmfTimer_.setInterval(kDtmfGapMs);
    QObject::connect(&dtmfTimer_, &QTimer::timeout, [this] { sendQueuedDtmf(); });
    ringEnd_.setSingleShot(true);
    QObject::connect(&ringEnd_, &QTimer::timeout, [this] { onRingEnded(); });
    retryTimer_.setSingleShot(true);
    QObject::connect(&retryTimer_, &QTimer::timeout, [this] { retryRegistration(); });
}

Engine::~Engine()
{
    Q_ASSERT(onThread());
    shutdown();
}

std::shared_ptr<linphone::Config> Engine::makeConfig(const QString &folder)
{
    const QString dataDir = folder + QStringLiteral("/data/");
    // liblinphone writes every account it registers, with the hash of its
    // password (as good as the password to a registrar), into its config
    // file, while running and at exit, whether or not the user saved the
    // password. The config lives in memory only, and a file left by an
    // earlier version goes.
    QFile::remove(folder + QStringLiteral("/linphonerc"));
    auto config = linphone::Factory::get()->createConfigFromString("");
    if (!config)
        return nullptr;
    // Random UDP port, nothing else listening.
    config->setInt("sip", "sip_port", -1);
    config->setInt("sip", "sip_tcp_port", 0);
    config->setInt("sip", "sip_tls_port", 0);
    config->setInt("sip", "sip_dtls_port", 0);
    config->setInt("sip", "use_ipv6", 0);
    config->setString("sip", "bind_address", str(options_.bindAddress));
    config->setString("rtp", "bind_address", str(options_.bindAddress));
    config->setInt("sip", "ping_with_options", 0);
    config->setInt("sip", "auto_net_state_mon", 0);
    // No engine database: the phone keeps its call history and phone book
    // in its own files and has no chat, and creating the database costs
    // 30 ms of every first start ("null" is liblinphone's word for none).
    config->setString("storage", "uri", "null");
    config->setString("storage", "call_logs_db_uri", "null");
    // Our own files only: two engines in one process must not share them.
    config->setString("misc", "zrtp_secrets_file", str(dataDir + QStringLiteral("zidcache")));
    config->setString("misc", "version_check_url_root", "");
    config->setString("misc", "file_transfer_server_url", "");
    config->setInt("misc", "enable_lime", 0);
    config->setInt("video", "capture", 0);
    config->setInt("video", "display", 0);
    config->setInt("video", "automatically_initiate", 0);
    config->setInt("video", "automatically_accept", 0);
    if (options_.echoCancellation >= 0)
        config->setInt("sound", "echocancellation", options_.echoCancellation);
    config->setString("net", "stun_server", "");
    config->setInt("net", "firewall_policy", 0);
    config->setInt("net", "enable_ipv6", 0);
    return config;
}

HRESULT Engine::initialize()
{
    Q_ASSERT(onThread());
    if (core_)
        return RTC_E_CLIENT_ALREADY_INITIALIZED;
    if (shutDown_)
        return E_UNEXPECTED;
    if (options_.folder.isEmpty())
        return E_INVALIDARG;
    startPreparing();
    prepared.wait();

    const QString folder = QDir(options_.folder).absolutePath();
    // start() silently never registers when the data folder is missing.
    if (!platform::MakePrivateFolder(folder + QStringLiteral("/data"))
        || !platform::MakePrivateFolder(folder + QStringLiteral("/download")))
        return E_FAIL;

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
    // OpenGL into the process (6 MiB resident, 60 ms at start); the phone
    // is audio only, so no plugin folder is read.
    factory->setMspluginsDir(str(folder + QStringLiteral("/no-plugins")));
    factory->setDataDir(str(folder + QStringLiteral("/data/")));
    factory->setDownloadDir(str(folder + QStringLiteral("/download/")));
    auto config = makeConfig(folder);
    if (!config)
        return E_FAIL;
    auto core = factory->createCoreWithConfig(config, nullptr);
    releaseNss();
    factoryTurn.unlock();
    if (!core)
        return E_FAIL;

    // Peers and providers see who is calling: "Softphone/0.1 (belle-sip/...)".
    core->setUserAgent("Softphone", SOFTPHONE_VERSION);
    core->enableVideoCapture(false);
    core->enableVideoDisplay(false);
    // One call and one more ringing beside it is all the window shows; the
    // engine answers any further offer "486 Busy Here" before it builds a
    // session with media ports for it, so a flood of INVITEs costs nothing.
    core->setMaxCalls(2);
    core->enableLimeX3Dh(false);
    core->enableFriendListSubscription(false);
    core->disableChat(linphone::Reason::NotImplemented);
    core->setAudioPort(-1);
    core->setUseRfc2833ForDtmf(true);
    core->setUseInfoForDtmf(false);
    core->setNetworkReachable(true);

    // The application rings through PlayRing; the Core must not ring by itself.
    // One ring of an old telephone (1.8 s) rather than the Core's 30-second
    // melody: the phone rings once every two seconds.
    const QString oldPhone = QDir(QString::fromStdString(factory->getRingResourcesDir()))
                                 .filePath(QStringLiteral("oldphone-mono.wav"));
    ringFile_ = QFileInfo::exists(oldPhone) ? oldPhone : QString::fromStdString(core->getRing());
    ringbackFile_ = QString::fromStdString(core->getRingback());
    messageFile_ = QFileInfo(ringbackFile_).dir().filePath(QStringLiteral("incoming_chat.wav"));
    core->setRing("");
    core->setRingback("");

    listener_ = std::make_shared<CoreEvents>(this);
    core->addListener(listener_);
    if (core->start() != 0) {
        core->removeListener(listener_);
        listener_->detach();
        return E_FAIL;
    }
    core_ = core;
    running_ = true;
    sipPort_ = core_->getTransportsUsed()->getUdpPort();
    if (sipPort_ > 0)
        SipDoor::Guard(sipPort_, options_.directCalls);
    // The SIP stack reads one datagram per iterate(): between ticks an
    // answer waited up to 20 ms, and a 100, 180 and 200 arriving together
    // took three ticks before the ACK went out. A datagram now turns the
    // engine at once.
    if (const int fd = sipPort_ > 0 ? udpSocketOnPort(sipPort_) : -1; fd >= 0) {
        sipReadable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(sipReadable_.get(), &QSocketNotifier::activated, [this] { onSipReadable(); });
    }
    chooseAudioDevices();
    for (RTC_AUDIO_DEVICE device : {RTCAD_SPEAKER, RTCAD_MICROPHONE}) {
        applyVolume(device);
        applyMuted(device);
    }
    iterateTimer_.start();
    return S_OK;
}

void Engine::iterateOnce()
{
    Q_ASSERT(onThread());
    if (!core_)
        return;
    // A sink may drop the last reference to the client from inside an event.
    auto keepAlive = shared_from_this();
    inIterate_ = true;
    core_->iterate();
    inIterate_ = false;
    // A sink that called Shutdown from inside an event: finish it now that
    // liblinphone is no longer on the stack.
    if (releasePending_)
        releaseCore();
}

void Engine::onSipReadable()
{
    // Inside iterate() or past the turns allowed: the next tick reads it.
    if (inIterate_ || ++sipTurns_ > kMaxSipTurnsPerTick) {
        sipReadable_->setEnabled(false);
        return;
    }
    iterateOnce();
}

void Engine::deliver(RTC_EVENT event, std::shared_ptr<IRTCEvent> payload)
{
    Q_ASSERT(onThread());
    if (post_ && !shutDown_)
        post_(event, std::move(payload));
}

bool Engine::registrationsSettled() const
{
    auto busy = [](const std::shared_ptr<linphone::Account> &a) {
        const auto s = a->getState();
        return s == linphone::RegistrationState::Progress || s == linphone::RegistrationState::Ok;
    };
    if (account_ && busy(account_))
        return false;
    for (const auto &a : retired_)
        if (busy(a))
            return false;
    return true;
}

HRESULT Engine::prepareForShutdown()
{
    Q_ASSERT(onThread());
    if (!core_ || releasePending_)
        return RTC_E_CLIENT_NOT_INITIALIZED;
    playRing(RTCRT_PHONE, false);
    retryTimer_.stop();
    core_->terminateAllCalls();
    if (account_ && account_->getParams()->registerEnabled()) {
        auto params = account_->getParams()->clone();
        params->enableRegister(false);
        account_->setParams(params);
    }
    if (inIterate_)
        return S_OK; // cannot wait from inside liblinphone; the timer goes on
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kShutdownWaitMs) {
        iterateOnce();
        if (!core_ || (core_->getCallsNb() == 0 && registrationsSettled()))
            break;
        QThread::msleep(10);
    }
    return S_OK;
}

HRESULT Engine::shutdown()
{
    Q_ASSERT(onThread());
    shutDown_ = true;
    // Nothing goes to the client any more, not even the rest of an iterate()
    // that is still on the stack: its owner may be going away.
    if (!core_)
        return S_OK;
    if (inIterate_) {
        iterateTimer_.stop();
        releasePending_ = true;
        return S_OK;
    }
    releaseCore();
    return S_OK;
}

void Engine::releaseCore()
{
    releasePending_ = false;
    iterateTimer_.stop();
    retryTimer_.stop();
    dtmfTimer_.stop();
    ringEnd_.stop();
    dtmfQueue_.clear();
    sipReadable_.reset();
    if (!core_)
        return;
    if (sipPort_ > 0)
        SipDoor::Release(sipPort_);
    sipPort_ = 0;
    if (ringPlayer_) {
        ringPlayer_->close();
        ringPlayer_.reset();
    }
    if (ringListener_)
        static_cast<RingEvents *>(ringListener_.get())->detach();
    listener_->detach();
    core_->removeListener(listener_);
    legs_.clear();
    // PrepareForShutdown was the time to unregister; offline, stop() does
    // not wait for a registrar that may not answer.
    core_->setNetworkReachable(false);
    core_->stop();
    account_.reset();
    profile_.reset();
    retired_.clear();
    running_ = false;
    talking_ = false;
    core_.reset();
}

} // namespace rtc::lp
