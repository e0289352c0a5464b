#pragma once
#include "rtc/linphone/SipOutline.h"

#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace rtc::lp {

// The filter in front of the engine's SIP socket. Every datagram arriving
// there is read here first, and reaches the SIP stack only when
// - it is complete, well formed, within SipBounds, and the stack's own
//   parser reads it (see SipOutline);
// - it comes from the provider: an address the provider's name resolves to,
//   or one the engine sends its REGISTER to; or belongs, in a dialog, to one
//   of the engine's live calls (at most two sources a call); or the filter
//   was told to let anyone's requests in. Nothing else makes an address
//   trusted: not a Call-ID, not the engine answering it;
// - as a request, it is one the phone has a use for (SipPolicy), and, as a
//   new call, within the rate of new calls.
// What it refuses it answers at once and statelessly where it can: a
// stranger's request "403 Forbidden" (a few a second), a request the phone
// has no use for or over the bounds its 4xx, a call over the rate "503" with
// Retry-After, a call offered again in another transaction while the first
// is being set up "482 Loop Detected". The rest is dropped unseen.
//
// How it sits in the path, and what it cannot see:
// - The program defines recvfrom and sendto and exports them (the link
//   option beside the engine's library), so the SIP stack's calls into the
//   C library bind to these at load time; every descriptor but the guarded
//   socket passes straight through to the C library. Patching or forking
//   the SIP stack was the other way: it would tie the phone to one build of
//   a library Debian updates on its own.
// - The guarded socket is the one the stack binds for UDP: its bind goes
//   through the socket hooks of the stack's portability library, which tell
//   the filter each datagram socket bound and its port; a socket the stack
//   re-creates on the same port is guarded from its bind on, and the engine
//   moves the guard when its port changes.
// - It sees recvfrom and sendto only. A stack that read its SIP socket with
//   recv, recvmsg or read, or that were linked so that its calls do not go
//   through the process's symbols (statically, or with direct binding),
//   would pass it by: InEffect() and the engine's start-up probe say so in
//   the log.
// - Stream transports (TCP, TLS) are read with recv on connections of their
//   own and are not seen. The phone therefore never listens on them: a
//   provider over TLS is reached by the one connection the phone opens, to
//   the server whose certificate passed, and nobody else can open one to
//   it. TLS covers that connection in the filter's place. With an account
//   over TLS the UDP socket trusts no provider at all (a datagram from its
//   address proves nothing), so every request there is a stranger's.
// - RTP is read by the media library with recvmsg on sockets of its own,
//   and is not the filter's business.
class SipFilter {
public:
    static constexpr std::size_t kMaxDatagram = SipBounds::kMaxDatagram;
    using Kind = SipKind;

    static Kind Classify(const char *data, std::size_t size);

    // A stateless "403 Forbidden" answering a well-formed request; empty
    // for ACK, which is never answered.
    static QByteArray Forbidden(const char *request, std::size_t size);

    // From now on, learns the datagram sockets the SIP stack binds. Once per
    // process, before the first core is made; from any thread.
    static void WatchStackSockets();
    // The socket the stack bound to this local UDP port; -1 when it did not
    // bind one through its hooks.
    static int StackSocket(int localPort);
    // The stream (TCP, TLS) sockets the stack connected from the calling
    // thread and has not closed: the engine wakes at their data instead of
    // at its next tick. The filter does not read them.
    static std::vector<int> StackStreams();
    // Whether the SIP stack's recvfrom and sendto are the filter's.
    static bool InEffect();

    // Guards the stack's UDP socket on this local port from now on. With
    // anyone, requests from every source are let in (within the rules).
    static void Guard(int localPort, bool anyone);
    // The guard of one port moves to another, with what it trusts.
    static void Move(int fromPort, int toPort);
    static void Release(int localPort);

    // The provider of the account now in use: its registrar and proxy as
    // host[:port]. Trust in the addresses of any earlier one ends here.
    // Names are resolved on a thread of their own.
    static void TrustProvider(int localPort, const QStringList &hostPorts);
    // The Call-IDs of the engine's calls, whenever they change.
    static void SetCalls(int localPort, const std::vector<std::string> &callIds);

    // The engine's own requests on the guarded socket (the path check's
    // OPTIONS), sent where the engine sends its REGISTERs. The provider's
    // answer with this Call-ID is kept for TakeOwnAnswer and never reaches
    // the stack. False while the engine has registered nowhere.
    static bool SendOwn(int localPort, const QByteArray &request, const std::string &callId);
    // The top Via of that answer, once; empty while none came.
    static std::string TakeOwnAnswer(int localPort);
    // Where the provider is: where the engine sends its REGISTERs, else an
    // address its name resolves to. False while neither is known.
    static bool ProviderAddress(int localPort, sockaddr_storage *address, socklen_t *length);

    // Behind a router that keeps ports and shows the phone as publicAddress:
    // session descriptions without ICE the engine sends name that address
    // for their audio instead of the local one (SipPolicy::WithPublicMedia).
    // Empty addresses: they go as the engine wrote them.
    static void SetPublicMedia(int localPort, const std::string &local, const std::string &publicAddress);

    // What the filter has turned away since the process started.
    static long Refused();
    // Reads of the socket on this port the filter has seen.
    static long ReadsSeen(int localPort);
};

} // namespace rtc::lp
