#pragma once
// Follows the network the phone is on. Once a second it asks the system
// which local address the provider would be reached from (a route lookup:
// nothing is sent), and whether the machine slept since the last look (the
// boot clock, which counts a suspend, ran ahead of the monotonic one). A
// link that goes down, an address that goes, a new address (another Wi-Fi)
// and a resume from suspend are all seen within that second. The engine's
// own monitor is not used: it looks for a route to the Internet, which a
// phone whose provider is on the local network may not have. On the
// engine's thread.
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

#include <sys/socket.h>

namespace rtc::lp {

class NetworkWatch {
public:
    enum class Change { None, Down, Back, Moved };

    // What one look saw: the local address towards the provider (nullopt:
    // no route), and how long the machine slept since the last look.
    struct Look {
        std::optional<std::string> local;
        long sleptMs = 0;
    };
    // The change from what was seen before: the route gone (Down); back on
    // the same address (Back); on another address, or after a sleep (Moved:
    // sockets and mappings from before are stale). Before the first look
    // the network is taken to be up, as the engine takes it.
    class Judge {
    public:
        Change next(const Look &look);
        bool down() const { return down_; }
    private:
        bool down_ = false;
        std::string local_; // empty before the first look with a route
    };

    struct Hooks {
        // Where the provider is; false while it is not known yet.
        std::function<bool(sockaddr_storage *, socklen_t *)> provider;
        std::function<void(Change)> changed;
    };
    explicit NetworkWatch(Hooks hooks, int intervalMs = 1000);

    void start();
    void stop();
    bool down() const { return judge_.down(); }

    // The local address a datagram to the address would leave from; nullopt
    // when there is no route.
    static std::optional<std::string> LocalAddressTowards(const sockaddr_storage &to, socklen_t length);
    // Milliseconds the machine has spent suspended since it booted.
    static long SuspendedMs();

private:
    void look();

    const Hooks hooks_;
    QTimer timer_;
    Judge judge_;
    long suspendedMs_ = 0;
};

} // namespace rtc::lp
