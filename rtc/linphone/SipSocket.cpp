#include "rtc/linphone/SipSocket.h"

#include "rtc/linphone/SipFilter.h"
#include "platform/Log.h"

#include <algorithm>


namespace rtc::lp {

namespace {

// Runs a datagram may ask for between two ticks: one the stack leaves
// unread must not keep the thread busy.
constexpr int kMaxRunsPerTick = 16;

void logError(const QString &text)
{
    platform::Log::Write(platform::Log::Error, QStringLiteral("sip-filter"), text);
}

} // namespace

SipSocket::SipSocket(std::function<void()> iterate, bool anyone) : iterate_(std::move(iterate)), anyone_(anyone)
{
}

SipSocket::~SipSocket()
{
    detach();
}

void SipSocket::attach(const std::shared_ptr<linphone::Core> &core)
{
    core_ = core;
    port_ = core_->getTransportsUsed()->getUdpPort();
    if (port_ <= 0)
        return;
    SipFilter::Guard(port_, anyone_);
    watch(SipFilter::StackSocket(port_));
    if (fd_ < 0)
        logError(QStringLiteral("the SIP stack's UDP socket on port %1 was not seen being bound; it is found "
                                "by its port on every read instead")
                     .arg(port_));
    if (!SipFilter::InEffect())
        logError(QStringLiteral("the SIP filter is not in effect: the SIP stack's recvfrom and sendto are not "
                                "this program's, so every datagram reaches the SIP stack unchecked"));
}

void SipSocket::detach()
{
    notifier_.reset();
    for (auto &[fd, notifier] : streams_) {
        notifier->setEnabled(false);
        notifier.release()->deleteLater();
    }
    streams_.clear();
    fd_ = -1;
    if (port_ > 0)
        SipFilter::Release(port_);
    port_ = 0;
    core_.reset();
}

void SipSocket::follow()
{
    if (!core_)
        return;
    const int now = core_->getTransportsUsed()->getUdpPort();
    if (now > 0 && now != port_) {
        if (port_ > 0)
            SipFilter::Move(port_, now);
        else
            SipFilter::Guard(now, anyone_);
        port_ = now;
    }
    tick();
}

void SipSocket::tick()
{
    runsThisTick_ = 0;
    if (port_ > 0) {
        const int fd = SipFilter::StackSocket(port_);
        if (fd != fd_)
            watch(fd);
    }
    if (notifier_)
        notifier_->setEnabled(true);
    followStreams();
    for (auto &[fd, notifier] : streams_)
        notifier->setEnabled(true);
}

void SipSocket::followStreams()
{
    if (!core_)
        return;
    const std::vector<int> now = SipFilter::StackStreams();
    for (auto it = streams_.begin(); it != streams_.end();) {
        if (std::find(now.begin(), now.end(), it->first) != now.end()) {
            ++it;
            continue;
        }
        // Closed by the stack during its run: off the event loop before the
        // loop polls again, deleted once out of any signal of its own.
        it->second->setEnabled(false);
        it->second.release()->deleteLater();
        it = streams_.erase(it);
    }
    for (const int fd : now) {
        if (streams_.count(fd))
            continue;
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated,
                         [this, n = notifier.get()] { streamReadable(n); });
        streams_.emplace(fd, std::move(notifier));
    }
}

void SipSocket::streamReadable(QSocketNotifier *notifier)
{
    // As for the UDP socket: inside the loop already, or past the runs
    // allowed, the next tick reads it.
    if (iterating_ || ++runsThisTick_ > kMaxRunsPerTick) {
        notifier->setEnabled(false);
        return;
    }
    iterate_();
}

void SipSocket::watch(int fd)
{
    fd_ = fd;
    notifier_.reset();
    if (fd < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readable(); });
}

void SipSocket::readable()
{
    // Inside the loop already, or past the runs allowed: the next tick reads it.
    if (iterating_ || ++runsThisTick_ > kMaxRunsPerTick) {
        notifier_->setEnabled(false);
        return;
    }
    iterate_();
}

void SipSocket::confirmReads()
{
    if (confirmed_ || port_ <= 0)
        return;
    confirmed_ = true;
    if (SipFilter::ReadsSeen(port_) == 0)
        logError(QStringLiteral("the SIP filter is not in effect: the SIP stack read the provider's answer on "
                                "port %1 without it")
                     .arg(port_));
}

void SipSocket::trustProvider(const QStringList &servers)
{
    if (port_ > 0)
        SipFilter::TrustProvider(port_, servers);
}

void SipSocket::setCalls(const std::vector<std::string> &callIds)
{
    if (port_ > 0)
        SipFilter::SetCalls(port_, callIds);
}

} // namespace rtc::lp
