#include "rtc/linphone/NetworkWatch.h"

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <unistd.h>

namespace rtc::lp {

namespace {
// A longer sleep than this between two looks is a suspend; a busy machine
// only delays a look by a little.
constexpr long kSleepMs = 3000;

long millis(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
} // namespace

NetworkWatch::Change NetworkWatch::Judge::next(const Look &look)
{
    if (!look.local) {
        const bool wasUp = !down_;
        down_ = true;
        return wasUp ? Change::Down : Change::None;
    }
    const bool wasDown = down_;
    const bool other = !local_.empty() && *look.local != local_;
    const bool first = local_.empty();
    down_ = false;
    local_ = *look.local;
    if (other || (!first && look.sleptMs > kSleepMs))
        return Change::Moved;
    return wasDown ? Change::Back : Change::None;
}

NetworkWatch::NetworkWatch(Hooks hooks, int intervalMs) : hooks_(std::move(hooks))
{
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
}

void NetworkWatch::start()
{
    judge_ = Judge();
    suspendedMs_ = SuspendedMs();
    timer_.start();
}

void NetworkWatch::stop()
{
    timer_.stop();
}

void NetworkWatch::look()
{
    sockaddr_storage provider{};
    socklen_t length = 0;
    if (!hooks_.provider(&provider, &length))
        return;
    Look l;
    l.local = LocalAddressTowards(provider, length);
    const long suspended = SuspendedMs();
    l.sleptMs = suspended - suspendedMs_;
    suspendedMs_ = suspended;
    const Change c = judge_.next(l);
    if (c != Change::None)
        hooks_.changed(c);
}

std::optional<std::string> NetworkWatch::LocalAddressTowards(const sockaddr_storage &to, socklen_t length)
{
    const int family = to.ss_family;
    if (family != AF_INET && family != AF_INET6)
        return std::nullopt;
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> out;
    sockaddr_storage local{};
    socklen_t localLength = sizeof local;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), length) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) == 0) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *address = family == AF_INET
                                  ? static_cast<const void *>(&reinterpret_cast<sockaddr_in *>(&local)->sin_addr)
                                  : static_cast<const void *>(&reinterpret_cast<sockaddr_in6 *>(&local)->sin6_addr);
        if (inet_ntop(family, address, text, sizeof text))
            out = text;
    }
    ::close(fd);
    return out;
}

long NetworkWatch::SuspendedMs()
{
    return millis(CLOCK_BOOTTIME) - millis(CLOCK_MONOTONIC);
}

} // namespace rtc::lp
