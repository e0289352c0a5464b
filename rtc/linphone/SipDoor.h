#pragma once
#include "rtc/linphone/SipOutline.h"

#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace rtc::lp {

// The door in front of the engine's SIP port. Every datagram arriving at the
// phone's SIP socket is read here first (the process's own recvfrom), and
// reaches the SIP stack only when
// - it is complete, well formed, within SipBounds, and the stack's own
//   parser reads it (see SipOutline);
// - it comes from the provider: an address the provider's name resolves to,
//   or one the engine sends its REGISTER to; or belongs, in a dialog, to one
//   of the engine's live calls (at most two sources a call); or the door was
//   told to let anyone's requests in. Nothing else makes an address trusted:
//   not a Call-ID, not the engine answering it;
// - as a request, it is one the phone has a use for (SipPolicy), and, as a
//   new call, within the rate of new calls.
// What it refuses it answers at once and statelessly where it can: a
// stranger's request "403 Forbidden" (a few a second), a request the phone
// has no use for or over the bounds its 4xx, a call over the rate "503" with
// Retry-After, a call offered again in another transaction while the first
// is being set up "482 Loop Detected". The rest is dropped unseen.
class SipDoor {
public:
    static constexpr std::size_t kMaxDatagram = SipBounds::kMaxDatagram;
    using Verdict = SipVerdict;

    static Verdict Judge(const char *data, std::size_t size);

    // A stateless "403 Forbidden" answering a well-formed request; empty
    // for ACK, which is never answered.
    static QByteArray Forbidden(const char *request, std::size_t size);

    // Guards the UDP socket bound to this local port from now on. With
    // anyone, requests from every source are let in (within the rules).
    static void Guard(int localPort, bool anyone);
    static void Release(int localPort);

    // The provider of the account now in use: its registrar and proxy as
    // host[:port]. Trust in the addresses of any earlier one ends here.
    // Names are resolved on a thread of their own.
    static void TrustProvider(int localPort, const QStringList &hostPorts);
    // The Call-IDs of the engine's calls, whenever they change.
    static void SetCalls(int localPort, const std::vector<std::string> &callIds);

    // What the door has turned away since the process started.
    static long Refused();
};

} // namespace rtc::lp
