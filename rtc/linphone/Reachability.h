#pragma once
// Whether the provider and the far ends can reach the phone, wherever it
// sits: behind a router that translates addresses, on a network that comes
// and goes. It keeps the provider's path open and checked (ProviderPath),
// follows the network (NetworkWatch), and asks a STUN server where the
// phone is seen from outside (StunCheck): the SIP server's host on port
// 3478 unless the settings name another server, or none. Calls get STUN
// and ICE (host and server-reflexive candidates) once that server has
// answered from behind a NAT, and send RTP back to where it comes from
// (symmetric RTP) always. On the engine's thread.
#include "rtc/linphone/NetworkWatch.h"
#include "rtc/linphone/ProviderPath.h"
#include "rtc/linphone/StunCheck.h"

#include <linphone++/linphone.hh>

#include <QString>
#include <functional>
#include <memory>

namespace rtc::lp {

class Registration;

class Reachability {
public:
    struct Hooks {
        std::function<int()> sipPort;          // the SIP socket's local port
        std::function<void()> socketsChanged;  // the stack made its sockets again
    };
    // stunServer: host[:port], "off" for none, empty for the SIP server's host.
    Reachability(Registration &registration, QString stunServer, QString bindAddress, Hooks hooks);

    void attach(const std::shared_ptr<linphone::Core> &core);
    void detach();
    // A new account: its STUN server is asked.
    void accountChanged();
    // After each registration state the account went through.
    void registrationChanged();
    // After each run of the engine's loop.
    void poll();

private:
    void networkChanged(NetworkWatch::Change change);
    void askStun();
    void useStun(const StunCheck::Result &result);

    Registration &registration_;
    const QString stunServer_;
    const std::string bindAddress_;
    const Hooks hooks_;
    std::shared_ptr<linphone::Core> core_;
    ProviderPath path_;
    NetworkWatch network_;
    StunCheck stun_;
    bool stunAsked_ = false;
    // Where the provider saw the phone last when that was not the contact:
    // the stack learns it from the answer to the next REGISTER and puts it
    // in the one after.
    std::optional<SeenAt> movedTo_;
    int contactAsks_ = 0;
};

} // namespace rtc::lp
