#include "rtc/linphone/StunCheck.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rtc::lp {

namespace {

constexpr unsigned char kCookie[4] = {0x21, 0x12, 0xA4, 0x42};
constexpr std::uint16_t kBindingRequest = 0x0001, kBindingSuccess = 0x0101;
constexpr std::uint16_t kMappedAddress = 0x0001, kXorMappedAddress = 0x0020;
// Sent at 0, 250 and 750 ms; no answer by 1.5 s is no server.
constexpr int kSendAtMs[] = {0, 250, 750};
constexpr int kGiveUpMs = 1500;
constexpr std::size_t kMaxHost = 253;

std::uint16_t be16(const unsigned char *p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::string text(const sockaddr_storage &a)
{
    char out[INET6_ADDRSTRLEN] = {};
    const void *bytes = a.ss_family == AF_INET
                            ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in *>(&a)->sin_addr)
                            : static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 *>(&a)->sin6_addr);
    return inet_ntop(a.ss_family, bytes, out, sizeof out) ? out : "";
}

StunCheck::Result ask(const std::string &host, int port, const std::string &bindAddress)
{
    StunCheck::Result r;
    r.server = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_family = AF_INET; // the engine's sockets are IPv4
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return r;
    sockaddr_storage server{};
    std::memcpy(&server, found->ai_addr, std::min<std::size_t>(found->ai_addrlen, sizeof server));
    const socklen_t serverLength = found->ai_addrlen;
    freeaddrinfo(found);

    const int fd = ::socket(server.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return r;
    bool ok = true;
    if (!bindAddress.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ok = inet_pton(AF_INET, bindAddress.c_str(), &local.sin_addr) == 1
             && ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0;
    }
    sockaddr_storage local{};
    socklen_t localLength = sizeof local;
    ok = ok && ::connect(fd, reinterpret_cast<sockaddr *>(&server), serverLength) == 0
         && ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) == 0;
    if (ok) {
        r.local = text(local);
        r.localPort = ntohs(reinterpret_cast<sockaddr_in *>(&local)->sin_port);
    }

    StunCheck::Transaction transaction;
    for (unsigned char &b : transaction)
        b = static_cast<unsigned char>(QRandomGenerator::global()->bounded(256));
    const QByteArray request = StunCheck::BindingRequest(transaction);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    };
    std::size_t sent = 0;
    unsigned char buffer[1500];
    while (ok && elapsed() < kGiveUpMs) {
        if (sent < std::size(kSendAtMs) && elapsed() >= kSendAtMs[sent]) {
            ::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_DONTWAIT);
            ++sent;
        }
        const int until = sent < std::size(kSendAtMs) ? kSendAtMs[sent] : kGiveUpMs;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, std::max(1, until - elapsed())) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            continue; // an ICMP error (nothing listens) says no more than silence
        if (const auto mapped = StunCheck::Mapped(buffer, static_cast<std::size_t>(n), transaction)) {
            r.answered = true;
            r.mapped = mapped->first;
            r.mappedPort = mapped->second;
            break;
        }
    }
    ::close(fd);
    return r;
}

} // namespace

void StunCheck::start(const std::string &server, const std::string &bindAddress)
{
    auto shared = std::make_shared<Shared>();
    shared_ = shared;
    const auto hostPort = HostAndPort(server, kDefaultPort);
    if (!hostPort) {
        Result r;
        r.server = server;
        shared->result = r;
        return;
    }
    // Detached: a name that takes long to look up must not hold up the
    // engine's end; its answer then goes nowhere.
    std::thread([shared, host = hostPort->first, port = hostPort->second, bindAddress] {
        Result r = ask(host, port, bindAddress);
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(r);
    }).detach();
}

std::optional<StunCheck::Result> StunCheck::take()
{
    if (!shared_)
        return std::nullopt;
    std::lock_guard lock(shared_->mutex);
    auto out = std::exchange(shared_->result, std::nullopt);
    return out;
}

QByteArray StunCheck::BindingRequest(const Transaction &transaction)
{
    QByteArray out(20, '\0');
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    p[0] = kBindingRequest >> 8;
    p[1] = kBindingRequest & 0xFF;
    std::memcpy(p + 4, kCookie, 4);
    std::memcpy(p + 8, transaction.data(), transaction.size());
    return out;
}

std::optional<std::pair<std::string, int>> StunCheck::Mapped(const unsigned char *data, std::size_t size,
                                                              const Transaction &transaction)
{
    if (size < 20 || be16(data) != kBindingSuccess || std::memcmp(data + 4, kCookie, 4) != 0
        || std::memcmp(data + 8, transaction.data(), transaction.size()) != 0)
        return std::nullopt;
    const std::size_t length = be16(data + 2);
    if (length % 4 != 0 || 20 + length > size)
        return std::nullopt;
    std::optional<std::pair<std::string, int>> plain, xored;
    for (std::size_t at = 20; at + 4 <= 20 + length;) {
        const std::uint16_t type = be16(data + at), attrLength = be16(data + at + 2);
        const unsigned char *value = data + at + 4;
        if (at + 4 + attrLength > 20 + length)
            return std::nullopt;
        if ((type == kMappedAddress || type == kXorMappedAddress) && attrLength >= 8) {
            const bool xorred = type == kXorMappedAddress;
            const int family = value[1];
            int port = be16(value + 2);
            if (xorred)
                port ^= 0x2112;
            unsigned char address[16];
            const std::size_t bytes = family == 1 ? 4 : family == 2 ? 16 : 0;
            if (bytes != 0 && attrLength >= 4 + bytes) {
                std::memcpy(address, value + 4, bytes);
                if (xorred) {
                    unsigned char mask[16];
                    std::memcpy(mask, kCookie, 4);
                    std::memcpy(mask + 4, transaction.data(), transaction.size());
                    for (std::size_t i = 0; i < bytes; ++i)
                        address[i] ^= mask[i];
                }
                char out[INET6_ADDRSTRLEN] = {};
                if (port != 0 && inet_ntop(bytes == 4 ? AF_INET : AF_INET6, address, out, sizeof out))
                    (xorred ? xored : plain) = std::make_pair(std::string(out), port);
            }
        }
        at += 4 + ((attrLength + 3u) & ~3u);
    }
    return xored ? xored : plain;
}

std::optional<std::pair<std::string, int>> StunCheck::HostAndPort(const std::string &text, int defaultPort)
{
    std::string host = text, port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() < 2))
            return std::nullopt;
        if (!rest.empty())
            port = rest.substr(1);
        unsigned char bytes[16];
        if (inet_pton(AF_INET6, host.c_str(), bytes) != 1)
            return std::nullopt;
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string::npos) {
            if (text.find(':', colon + 1) != std::string::npos)
                return std::nullopt; // IPv6 without brackets is ambiguous
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
            if (port.empty())
                return std::nullopt;
        }
        if (host.empty() || host.size() > kMaxHost || host.front() == '-' || host.front() == '.'
            || !std::all_of(host.begin(), host.end(), [](char c) {
                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                          || c == '.';
               }))
            return std::nullopt;
    }
    int number = defaultPort;
    if (!port.empty()) {
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        number = std::stoi(port);
        if (number < 1 || number > 65535)
            return std::nullopt;
    }
    return std::make_pair(host, number);
}

} // namespace rtc::lp
