#pragma once
#include <QByteArray>
#include <cstddef>

#include <sys/socket.h>

namespace rtc::lp {

// The door in front of the engine's SIP port. liblinphone's SIP stack
// crashes on a request without Call-ID, glues every later datagram from a
// source onto one whose Content-Length promises more than it carries, and
// keeps a channel for every new source address. So every datagram arriving
// at the phone's SIP socket is read here first: it reaches the engine only
// when it is complete, well formed, at most kMaxDatagram bytes, carries every
// mandatory header once, and comes from an address the engine itself has
// sent to (the provider) or belongs to a call the engine itself is in,
// unless the door was told to let anyone's requests in.
// Well-formed requests from anyone else are answered "403 Forbidden" (a few
// a second at most); a call offered again in another transaction while the
// first is still being set up, "482 Loop Detected"; everything else that is
// refused is dropped unseen.
class SipDoor {
public:
    static constexpr std::size_t kMaxDatagram = 16 * 1024;

    enum class Verdict {
        Request,      // a well-formed request
        Response,     // a well-formed response
        Keepalive,    // CR LF keep-alives
        TooLarge,     // over kMaxDatagram
        Malformed,    // no SIP start line, broken header lines, control bytes
        MissingHeader, // Via, From, To, Call-ID or CSeq absent, or a single one repeated
        BadLength,    // Content-Length that is not the body's length
        Unreadable,   // a mandatory header, URI or Via the SIP stack cannot parse
    };
    static Verdict Judge(const char *data, std::size_t size);
    static bool Admits(Verdict v) { return v == Verdict::Request || v == Verdict::Response || v == Verdict::Keepalive; }

    // A stateless "403 Forbidden" answering a well-formed request; empty
    // for ACK, which is never answered.
    static QByteArray Forbidden(const char *request, std::size_t size);

    // Guards the UDP socket bound to this local port from now on. With
    // anyone, requests from every source are let in (well formed still).
    static void Guard(int localPort, bool anyone);
    static void Release(int localPort);

    // What the door has turned away since the process started.
    static long Refused();
};

} // namespace rtc::lp
