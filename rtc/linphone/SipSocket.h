#pragma once
// The engine's side of the SIP filter: which socket of the stack's is the
// SIP socket, its guard (moved when the stack's UDP port changes), what the
// filter must know of the account and the calls, and a check at start that
// the filter is in the path at all. It also runs the engine's loop as soon
// as a datagram arrives, rather than at the next tick. On the engine's thread.
#include <linphone++/linphone.hh>

#include <QSocketNotifier>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rtc::lp {

class SipSocket {
public:
    // iterate: runs the engine's loop once; anyone: requests from every
    // source are let in (within the rules).
    SipSocket(std::function<void()> iterate, bool anyone);
    ~SipSocket();

    // Guards the UDP socket of a started core and checks the filter is in effect.
    void attach(const std::shared_ptr<linphone::Core> &core);
    void detach();
    // After the stack's transports were set again: a new port gets the guard.
    void follow();
    // At each tick of the engine's loop: readable datagrams may run it again,
    // and a socket the stack re-created is watched instead.
    void tick();
    // Whether the engine's loop is on the stack right now (no nested run).
    void setIterating(bool iterating) { iterating_ = iterating; }
    // Watches the stream sockets (TCP, TLS) the stack holds now, and no
    // others: after each run of the stack, which may have opened or closed one.
    void followStreams();

    // The stack has read an answer from the provider: the filter must have
    // seen that read. Checked once.
    void confirmReads();

    void trustProvider(const QStringList &servers);
    void setCalls(const std::vector<std::string> &callIds);
    int port() const { return port_; }

private:
    void watch(int fd);
    void readable();
    void streamReadable(QSocketNotifier *notifier);

    const std::function<void()> iterate_;
    const bool anyone_;
    std::shared_ptr<linphone::Core> core_;
    int port_ = 0;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    // The stack's TCP and TLS connections (to the provider), by descriptor.
    std::map<int, std::unique_ptr<QSocketNotifier>> streams_;
    int runsThisTick_ = 0;
    bool iterating_ = false;
    bool confirmed_ = false;
};

} // namespace rtc::lp
