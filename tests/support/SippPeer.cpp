#include "tests/support/SippPeer.h"

#include "tests/support/LocalProvider.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

namespace {

bool bindable(int fd, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<quint16>(port));
    return ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
}

// A UDP port on 127.0.0.1 free right now (sipp binds it a moment later).
int freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return 0;
    int port = 0;
    if (bindable(fd, 0)) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

// An even port whose neighbour is free too: RTP and RTCP.
int freeMediaPort()
{
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> pick(20000, 29999);
    for (int i = 0; i < 200; ++i) {
        const int p = pick(rng) * 2;
        const int a = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int b = ::socket(AF_INET, SOCK_DGRAM, 0);
        const bool ok = a >= 0 && b >= 0 && bindable(a, p) && bindable(b, p + 1);
        if (a >= 0)
            ::close(a);
        if (b >= 0)
            ::close(b);
        if (ok)
            return p;
    }
    return 0;
}

// Whether some process has 127.0.0.1:port bound (UDP).
bool udpBound(int port)
{
    QFile f(QStringLiteral("/proc/net/udp"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray needle = QStringLiteral("0100007F:%1 ").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    return f.readAll().contains(needle);
}

// SIP, media and SIPp's own control socket, all on loopback.
const QStringList kLoopback = {QStringLiteral("-i"),  QStringLiteral("127.0.0.1"), QStringLiteral("-mi"),
                               QStringLiteral("127.0.0.1"), QStringLiteral("-ci"), QStringLiteral("127.0.0.1")};

} // namespace

SippPeer::SippPeer(const LocalProvider &provider, const QString &scenario)
    : provider_(provider), scenario_(scenarioPath(scenario)), dir_(QStringLiteral("/tmp/sp-sipp-XXXXXX"))
{
}

SippPeer::~SippPeer() { kill(); }

QString SippPeer::scenarioPath(const QString &name) const
{
    if (name.contains(QLatin1Char('/')))
        return name;
    return LocalProvider::sourceDir() + QStringLiteral("/tests/fixtures/sipp/") + name;
}

bool SippPeer::runRegister(const QString &user, const QString &password)
{
    QProcess reg;
    reg.setStandardOutputFile(dir_.filePath(QStringLiteral("register.out")));
    reg.setStandardErrorFile(dir_.filePath(QStringLiteral("register.out")), QIODevice::Append);
    reg.start(QStringLiteral("sipp"),
              QStringList{provider_.hostPort(), QStringLiteral("-sf"), scenarioPath(QStringLiteral("register_auth.xml")),
                          QStringLiteral("-s"), user, QStringLiteral("-au"), user, QStringLiteral("-ap"), password,
                          QStringLiteral("-key"), QStringLiteral("expires"), QStringLiteral("300"),
                          QStringLiteral("-p"), QString::number(localPort_), QStringLiteral("-m"), QStringLiteral("1"),
                          QStringLiteral("-nostdin"), QStringLiteral("-trace_msg"), QStringLiteral("-message_file"),
                          dir_.filePath(QStringLiteral("register.msg"))}
                  + kLoopback);
    if (!reg.waitForFinished(10000)) {
        reg.kill();
        reg.waitForFinished(2000);
        error_ = QStringLiteral("registering %1 did not finish (see %2)").arg(user, dir_.path());
        return false;
    }
    if (reg.exitStatus() != QProcess::NormalExit || reg.exitCode() != 0) {
        error_ = QStringLiteral("registering %1 failed, sipp exit %2 (see %3)")
                     .arg(user)
                     .arg(reg.exitCode())
                     .arg(dir_.path());
        return false;
    }
    const QString mine = QStringLiteral("127.0.0.1:%1").arg(localPort_);
    for (const QString &c : provider_.contacts(user))
        if (c.contains(mine))
            return true;
    error_ = QStringLiteral("provider holds no contact %1 for %2").arg(mine, user);
    return false;
}

bool SippPeer::launch(const QString &remote, QStringList args)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    if (isRunning()) {
        error_ = QStringLiteral("already started");
        return false;
    }
    if (!QFileInfo::exists(scenario_)) {
        error_ = QStringLiteral("no scenario %1").arg(scenario_);
        return false;
    }
    if (!remote.isEmpty())
        args.prepend(remote);
    args << QStringLiteral("-sf") << scenario_ << QStringLiteral("-p") << QString::number(localPort_)
         << QStringLiteral("-m") << QStringLiteral("1") << QStringLiteral("-nostdin") << QStringLiteral("-trace_msg")
         << QStringLiteral("-message_file") << dir_.filePath(QStringLiteral("messages.log"))
         << QStringLiteral("-trace_err") << QStringLiteral("-error_file") << dir_.filePath(QStringLiteral("errors.log"));
    args += kLoopback;
    if (mediaPort_ > 0)
        args << QStringLiteral("-mp") << QString::number(mediaPort_);
    if (rtpEcho_)
        args << QStringLiteral("-rtp_echo");
    if (pauseMs_ >= 0)
        args << QStringLiteral("-d") << QString::number(pauseMs_);
    args += extra_;
    proc_.setStandardOutputFile(dir_.filePath(QStringLiteral("sipp.out")));
    proc_.setStandardErrorFile(dir_.filePath(QStringLiteral("sipp.out")), QIODevice::Append);
    proc_.start(QStringLiteral("sipp"), args);
    if (!proc_.waitForStarted(5000)) {
        error_ = QStringLiteral("sipp did not start: %1").arg(proc_.errorString());
        return false;
    }
    started_ = true;
    // Ready once its SIP port is bound (a callee must be listening before the call).
    // Generous: under a sanitizer build beside other tests sipp can take seconds.
    const QDeadlineTimer deadline(15000);
    while (!udpBound(localPort_)) {
        if (!isRunning() || deadline.hasExpired()) {
            error_ = QStringLiteral("sipp did not come up (see %1/sipp.out)").arg(dir_.path());
            kill();
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

bool SippPeer::startCallee(const QString &user, const QString &password)
{
    localPort_ = freeUdpPort();
    mediaPort_ = freeMediaPort();
    if (localPort_ <= 0 || mediaPort_ <= 0) {
        error_ = QStringLiteral("no free port");
        return false;
    }
    return runRegister(user, password) && launch(QString(), {});
}

bool SippPeer::startCaller(const QString &callee, const QString &user, const QString &password)
{
    localPort_ = freeUdpPort();
    mediaPort_ = freeMediaPort();
    if (localPort_ <= 0 || mediaPort_ <= 0) {
        error_ = QStringLiteral("no free port");
        return false;
    }
    return launch(provider_.hostPort(),
                  {QStringLiteral("-s"), callee, QStringLiteral("-au"), user, QStringLiteral("-ap"), password,
                   QStringLiteral("-key"), QStringLiteral("caller"), user});
}

bool SippPeer::startDirect(const QString &callee, const QString &hostPort)
{
    localPort_ = freeUdpPort();
    if (localPort_ <= 0) {
        error_ = QStringLiteral("no free port");
        return false;
    }
    return launch(hostPort, {QStringLiteral("-s"), callee});
}

bool SippPeer::waitFinished(int ms)
{
    if (!isRunning())
        return true;
    return proc_.waitForFinished(ms);
}

int SippPeer::exitCode() const
{
    if (!started_ || isRunning() || proc_.exitStatus() != QProcess::NormalExit)
        return -1;
    return proc_.exitCode();
}

void SippPeer::kill()
{
    if (!isRunning())
        return;
    proc_.kill(); // SIGKILL to this sipp's PID only
    proc_.waitForFinished(3000);
}

QString SippPeer::messages() const
{
    QFile f(dir_.filePath(QStringLiteral("messages.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
