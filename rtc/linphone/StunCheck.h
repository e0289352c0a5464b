#pragma once
// Whether a STUN server (RFC 5389) answers, and at which address and port
// it sees the phone. Asked at sign-in and after the network changed, on a
// thread of its own: the name is looked up there, and the server has 1.5 s
// to answer. So a server that is not there never delays a call; calls get
// STUN and ICE only once one has answered. On the engine's thread, but
// for the asking.
#include <QByteArray>

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace rtc::lp {

class StunCheck {
public:
    static constexpr int kDefaultPort = 3478;
    using Transaction = std::array<unsigned char, 12>;

    struct Result {
        std::string server;   // as asked: host:port
        bool answered = false;
        std::string mapped;   // where the server sees the phone (address)
        std::string local;    // the local address the question left from
        int mappedPort = 0, localPort = 0;
        bool behindNat() const { return answered && mapped != local; }
        // The router gave the question's mapping the port it came from.
        bool keepsPorts() const { return behindNat() && mappedPort == localPort; }
    };

    // Asks server (host[:port]) from bindAddress (empty: any); the answer
    // to an earlier question is dropped.
    void start(const std::string &server, const std::string &bindAddress);
    // The result, once, when it has come.
    std::optional<Result> take();

    static QByteArray BindingRequest(const Transaction &transaction);
    // The (XOR-)MAPPED-ADDRESS of a Binding success response to this
    // transaction: address and port; nullopt for anything else.
    static std::optional<std::pair<std::string, int>> Mapped(const unsigned char *data, std::size_t size,
                                                             const Transaction &transaction);
    // host and port of "host", "host:port", "[v6]" or "[v6]:port"; nullopt
    // when it is not a host name or address, or the port is not a number.
    static std::optional<std::pair<std::string, int>> HostAndPort(const std::string &text, int defaultPort);

private:
    struct Shared {
        std::mutex mutex;
        std::optional<Result> result;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace rtc::lp
