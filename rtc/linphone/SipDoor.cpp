#include "rtc/linphone/SipDoor.h"

#include <algorithm>
#include <array>
#include <functional>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <belle-sip/belle-sip.h>
#include <dlfcn.h>
#include <netinet/in.h>

namespace rtc::lp {

namespace {

using std::string_view;

bool isTokenChar(char c)
{
    // RFC 3261 token: alphanumerics and -.!%*_+`'~
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::strchr("-.!%*_+`'~", c) != nullptr;
}

bool isToken(string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), isTokenChar);
}

bool isDigits(string_view s, std::size_t maxDigits)
{
    return !s.empty() && s.size() <= maxDigits && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

string_view trim(string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(string_view a, string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

bool startsNoCase(string_view s, string_view prefix)
{
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

// The headers the door counts, by their long and compact names.
enum Header { Via, From, To, CallId, CSeq, ContentLength, Other, HeaderCount = Other };

Header headerOf(string_view name)
{
    static const std::pair<string_view, Header> names[] = {
        {"via", Via}, {"v", Via}, {"from", From}, {"f", From}, {"to", To}, {"t", To}, {"call-id", CallId},
        {"i", CallId}, {"cseq", CSeq}, {"content-length", ContentLength}, {"l", ContentLength},
    };
    for (const auto &[n, h] : names)
        if (equalsNoCase(name, n))
            return h;
    return Other;
}

bool hasSipUri(string_view v)
{
    for (std::size_t i = 0; i + 4 <= v.size(); ++i)
        if (startsNoCase(v.substr(i), "sip:") || startsNoCase(v.substr(i), "sips:") || startsNoCase(v.substr(i), "tel:"))
            return true;
    return false;
}

// The parsed outline of a datagram that passed the door.
struct Outline {
    bool request = false;
    string_view method;
    std::array<std::vector<string_view>, HeaderCount> values;
};

SipDoor::Verdict outline(const char *data, std::size_t size, Outline *out)
{
    using V = SipDoor::Verdict;
    if (size > SipDoor::kMaxDatagram)
        return V::TooLarge;
    const string_view all(data, size);
    if (size <= 4 && all.find_first_not_of("\r\n") == string_view::npos)
        return V::Keepalive;
    const std::size_t headEnd = all.find("\r\n\r\n");
    if (headEnd == string_view::npos)
        return V::Malformed;
    const string_view head = all.substr(0, headEnd);
    const std::size_t bodySize = size - headEnd - 4;
    // Header lines are text: no NUL, no bare CR or LF, no other controls
    // than tab.
    for (std::size_t i = 0; i < head.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(head[i]);
        if (c == '\r' && i + 1 < head.size() && head[i + 1] == '\n') {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return V::Malformed;
    }

    std::size_t lineEnd = head.find("\r\n");
    const string_view start = head.substr(0, lineEnd);
    const std::size_t sp1 = start.find(' ');
    const std::size_t sp2 = sp1 == string_view::npos ? sp1 : start.find(' ', sp1 + 1);
    if (sp2 == string_view::npos)
        return V::Malformed;
    const string_view first = start.substr(0, sp1), second = start.substr(sp1 + 1, sp2 - sp1 - 1),
                      third = start.substr(sp2 + 1);
    if (first == "SIP/2.0") {
        // Status line: SIP/2.0 SP 3DIGIT SP reason
        if (!isDigits(second, 3) || second.size() != 3 || second[0] < '1' || second[0] > '6')
            return V::Malformed;
        out->request = false;
    } else {
        // Request line: Method SP Request-URI SP SIP/2.0
        const std::size_t colon = second.find(':');
        if (!isToken(first) || third != "SIP/2.0" || colon == string_view::npos || colon == 0
            || !isToken(second.substr(0, colon)) || second.find(' ') != string_view::npos)
            return V::Malformed;
        out->request = true;
        out->method = first;
    }

    // Header fields; a line starting with a blank continues the one before.
    string_view name, value;
    auto take = [&]() {
        if (name.empty())
            return true;
        const Header h = headerOf(name);
        if (h != Other)
            out->values[h].push_back(trim(value));
        return true;
    };
    std::size_t pos = lineEnd == string_view::npos ? head.size() : lineEnd + 2;
    const char *valueStart = nullptr;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == string_view::npos)
            end = head.size();
        const string_view line = head.substr(pos, end - pos);
        if (line.empty())
            return V::Malformed;
        if (line.front() == ' ' || line.front() == '\t') {
            if (name.empty())
                return V::Malformed;
            value = string_view(valueStart, line.data() + line.size() - valueStart);
        } else {
            take();
            const std::size_t colon = line.find(':');
            if (colon == string_view::npos || !isToken(trim(line.substr(0, colon))))
                return V::Malformed;
            name = trim(line.substr(0, colon));
            value = line.substr(colon + 1);
            valueStart = value.data();
        }
        pos = end + 2;
    }
    take();

    const auto &v = out->values;
    if (v[Via].empty() || v[From].size() != 1 || v[To].size() != 1 || v[CallId].size() != 1 || v[CSeq].size() != 1
        || v[ContentLength].size() > 1)
        return V::MissingHeader;
    if (v[CallId][0].empty() || v[CallId][0].find_first_of(" \t") != string_view::npos || !hasSipUri(v[From][0])
        || !hasSipUri(v[To][0]))
        return V::Malformed;
    for (string_view via : v[Via])
        if (!startsNoCase(via, "SIP/2.0/"))
            return V::Malformed;
    // CSeq: a number below 2^31 and a method, the request's own.
    const string_view cseq = v[CSeq][0];
    const std::size_t gap = cseq.find_first_of(" \t");
    if (gap == string_view::npos || !isDigits(cseq.substr(0, gap), 10) || std::stoull(std::string(cseq.substr(0, gap))) > 0x7FFFFFFFull)
        return V::Malformed;
    const string_view cseqMethod = trim(cseq.substr(gap));
    if (!isToken(cseqMethod) || (out->request && cseqMethod != out->method))
        return V::Malformed;
    // On UDP the datagram is the whole message: a length that says more (or
    // less) than it carries is a forgery or a fragment.
    if (!v[ContentLength].empty()) {
        const string_view length = v[ContentLength][0];
        if (!isDigits(length, 5) || std::stoul(std::string(length)) != bodySize)
            return V::BadLength;
    } else if (bodySize > 0) {
        // Allowed on UDP, but the stack takes a body by its length only: the
        // rest stays in the source's buffer, in front of its next message.
        return V::BadLength;
    }
    return out->request ? V::Request : V::Response;
}

// The SIP stack's own parser has the last word: a header it cannot parse it
// drops, and a request left without a mandatory header it answers "400"
// through a channel it may not find (a crash); a request without Call-ID it
// passes on to code that reads it unchecked (a crash). So a message goes in
// only when the stack itself reads every mandatory header, a Via with a host,
// and URIs it accepts.
bool stackReads(const char *data, std::size_t size, bool request)
{
    // The stack reads the head alone (up to the blank line) and must use up
    // all of it: what it leaves stays in the source's buffer, in front of
    // its next message, and a message it returns half-read it never owns
    // (freed with the loop's pool, then unreferenced again: a crash).
    const std::size_t headSize = string_view(data, size).find("\r\n\r\n") + 4;
    if (headSize < 4 || headSize > size)
        return false;
    // The parser's temporary objects go with this pool, whatever thread reads.
    belle_sip_object_pool_t *pool = belle_sip_object_pool_push();
    std::size_t headLength = 0;
    belle_sip_message_t *msg = belle_sip_message_parse_raw(data, headSize, &headLength);
    if (msg && headLength != headSize) {
        belle_sip_object_unref(msg);
        msg = nullptr;
    }
    if (!msg) {
        belle_sip_object_unref(pool);
        return false;
    }
    bool ok = belle_sip_message_check_headers(msg) && belle_sip_message_is_request(msg) == (request ? 1 : 0);
    if (ok) {
        auto *callId = belle_sip_message_get_header_by_type(msg, belle_sip_header_call_id_t);
        auto *via = belle_sip_message_get_header_by_type(msg, belle_sip_header_via_t);
        auto *from = belle_sip_message_get_header_by_type(msg, belle_sip_header_from_t);
        auto *to = belle_sip_message_get_header_by_type(msg, belle_sip_header_to_t);
        auto *cseq = belle_sip_message_get_header_by_type(msg, belle_sip_header_cseq_t);
        const char *id = callId ? belle_sip_header_call_id_get_call_id(callId) : nullptr;
        ok = id && *id && via && belle_sip_header_via_get_host(via) && from
             && to && cseq && belle_sip_header_cseq_get_method(cseq)
             && (belle_sip_header_address_get_uri(BELLE_SIP_HEADER_ADDRESS(from))
                 || belle_sip_header_address_get_absolute_uri(BELLE_SIP_HEADER_ADDRESS(from)))
             && (belle_sip_header_address_get_uri(BELLE_SIP_HEADER_ADDRESS(to))
                 || belle_sip_header_address_get_absolute_uri(BELLE_SIP_HEADER_ADDRESS(to)));
        // Without RFC 3261's branch the stack matches transactions by the
        // From and To URIs, which it then reads as SIP URIs unchecked.
        const char *branch = ok ? belle_sip_header_via_get_branch(via) : nullptr;
        if (ok && !(branch && std::strncmp(branch, "z9hG4bK", 7) == 0))
            ok = belle_sip_header_address_get_uri(BELLE_SIP_HEADER_ADDRESS(from))
                 && belle_sip_header_address_get_uri(BELLE_SIP_HEADER_ADDRESS(to));
        // Requests to a phone are addressed to a sip: or sips: URI.
        if (ok && request)
            ok = belle_sip_request_get_uri(BELLE_SIP_REQUEST(msg)) != nullptr;
    }
    belle_sip_object_unref(msg);
    belle_sip_object_unref(pool);
    return ok;
}

// Both stages: ours (cheap, and what the stack takes on trust), then the
// stack's parser.
SipDoor::Verdict judge(const char *data, std::size_t size, Outline *out)
{
    const SipDoor::Verdict v = outline(data, size, out);
    if ((v == SipDoor::Verdict::Request || v == SipDoor::Verdict::Response)
        && !stackReads(data, size, v == SipDoor::Verdict::Request))
        return SipDoor::Verdict::Unreadable;
    return v;
}

// ---- the guarded sockets -------------------------------------------------

using RecvFrom = ssize_t (*)(int, void *, size_t, int, sockaddr *, socklen_t *);
using SendTo = ssize_t (*)(int, const void *, size_t, int, const sockaddr *, socklen_t);

RecvFrom realRecvFrom()
{
    static const auto real = reinterpret_cast<RecvFrom>(dlsym(RTLD_NEXT, "recvfrom"));
    return real;
}

SendTo realSendTo()
{
    static const auto real = reinterpret_cast<SendTo>(dlsym(RTLD_NEXT, "sendto"));
    return real;
}

struct Peer {
    sockaddr_storage address{};
    socklen_t length = 0;
};

bool samePeer(const sockaddr *a, socklen_t alen, const Peer &p)
{
    return alen == p.length && std::memcmp(a, &p.address, alen) == 0;
}

// The ports of a sockaddr_in / sockaddr_in6, with the address, compared as
// bytes: sockaddr_storage holds zero padding after them.
Peer peerOf(const sockaddr *a, socklen_t len)
{
    Peer p;
    if (!a)
        return p;
    if (a->sa_family == AF_INET && len >= sizeof(sockaddr_in)) {
        auto *in = reinterpret_cast<sockaddr_in *>(&p.address);
        *in = {};
        in->sin_family = AF_INET;
        in->sin_port = reinterpret_cast<const sockaddr_in *>(a)->sin_port;
        in->sin_addr = reinterpret_cast<const sockaddr_in *>(a)->sin_addr;
        p.length = sizeof(sockaddr_in);
    } else if (a->sa_family == AF_INET6 && len >= sizeof(sockaddr_in6)) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&p.address);
        *in6 = {};
        in6->sin6_family = AF_INET6;
        in6->sin6_port = reinterpret_cast<const sockaddr_in6 *>(a)->sin6_port;
        in6->sin6_addr = reinterpret_cast<const sockaddr_in6 *>(a)->sin6_addr;
        p.length = sizeof(sockaddr_in6);
    }
    return p;
}

// A call offered to the engine: the INVITE that began it, known by its
// Call-ID and the top Via of its transaction.
struct Offer {
    std::string callId;
    std::string via;
    bool refused = false; // the engine answered it with a failure: its caller may try again
};

struct Guarded {
    int port = 0;
    bool anyone = false;
    std::vector<Peer> peers;       // the addresses the engine sent to, newest last
    std::vector<std::string> calls; // the Call-IDs it sent, newest last
    std::vector<std::string> invited; // the Call-IDs of the INVITEs it sent
    bool keepaliveNext = false;     // the read after an empty peek gets one
    std::string lastLetIn;          // the datagram last let in: the stack
                                    // peeks, then reads the same one
    std::vector<Offer> offered;                                  // the calls let in, newest last
    std::vector<std::chrono::steady_clock::time_point> offers;   // when, within the last window
};

constexpr std::size_t kMaxPeers = 16;
constexpr std::size_t kMaxCalls = 64;

template <typename T, typename Same>
void remember(std::vector<T> &list, T item, std::size_t max, Same same)
{
    auto it = std::find_if(list.begin(), list.end(), [&](const T &x) { return same(x, item); });
    if (it != list.end())
        list.erase(it);
    else if (list.size() >= max)
        list.erase(list.begin());
    list.push_back(std::move(item));
}
constexpr int kForbiddenPerSecond = 10;
// Refused in one read at most before the stack gets its loop back (with a
// keep-alive, as when everything was taken): a flood is taken in turns with
// the engine's timers and the calls carried to its thread.
constexpr int kRefusalsPerRead = 32;

std::mutex g_mutex;
std::vector<Guarded> g_guarded;
std::atomic<int> g_count{0};
std::atomic<long> g_refused{0};

int localPort(int fd)
{
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &len) != 0)
        return 0;
    if (local.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in *>(&local)->sin_port);
    if (local.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6 *>(&local)->sin6_port);
    return 0;
}

bool isDatagramSocket(int fd)
{
    int type = 0;
    socklen_t len = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && type == SOCK_DGRAM;
}

// The guard for this socket; null for every other descriptor.
Guarded *guardOf(int fd)
{
    if (g_count.load(std::memory_order_relaxed) == 0)
        return nullptr;
    const int port = localPort(fd);
    if (port == 0)
        return nullptr;
    for (Guarded &g : g_guarded)
        if (g.port == port)
            return isDatagramSocket(fd) ? &g : nullptr;
    return nullptr;
}

bool mayForbid()
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point second;
    static int sent = 0;
    const auto now = Clock::now();
    if (now - second >= std::chrono::seconds(1)) {
        second = now;
        sent = 0;
    }
    return sent++ < kForbiddenPerSecond;
}

// The stack peeks at its socket when it is readable to learn the source,
// and takes a failed peek for a broken socket: it closes it, opens another
// and drops every channel, with the transactions still on them (a crash a
// moment later); a failed read after a good peek it takes for a broken
// channel. So when the door has taken everything there was, the peek and
// the read that follows both get a CR LF (a keep-alive's answer, which the
// stack ignores) from the first peer the engine spoke to (the provider,
// whose channel exists).
ssize_t keepalive(const Guarded &g, void *buf, size_t len, sockaddr *from, socklen_t *fromLen)
{
    const Peer &peer = g.peers.front();
    if (from && fromLen) {
        std::memcpy(from, &peer.address, std::min<std::size_t>(*fromLen, peer.length));
        *fromLen = peer.length;
    }
    static const char kKeepalive[] = "\r\n";
    std::memcpy(buf, kKeepalive, std::min<std::size_t>(len, 2));
    return static_cast<ssize_t>(std::min<std::size_t>(len, 2));
}

// Every call offered costs the engine a session with its media ports, even
// one it ends at once: new calls come in at most kOffersPerWindow in
// kOfferWindow, far more than a person takes. A retransmission or a request
// in a dialog is no new call; an INVITE held back now is let in when its
// caller sends it again.
//
// A second INVITE outside a dialog with the Call-ID of a call still being
// set up, in another transaction, is a request that reached us twice by
// different routes, or a forgery: it gets "482 Loop Detected". The engine
// would start a second call with the same Call-ID, which it confuses with
// the first (at exit it ends one of them twice, and crashes). After the
// engine refused the first, its caller may try again (a new transaction).
constexpr std::size_t kOffersPerWindow = 10;
constexpr std::chrono::seconds kOfferWindow{10};

enum class Offering { Let, HoldBack, Loop };

// A stateless answer to a well-formed request; empty for ACK.
QByteArray statelessAnswer(const char *request, std::size_t size, const char *status);

Offering mayOfferCall(Guarded &g, const Outline &o)
{
    if (!o.request || o.method != "INVITE" || o.values[To][0].find(";tag=") != string_view::npos)
        return Offering::Let;
    const string_view callId = o.values[CallId][0], via = o.values[Via][0];
    auto offer = std::find_if(g.offered.begin(), g.offered.end(), [&](const Offer &x) { return x.callId == callId; });
    if (offer != g.offered.end()) {
        if (offer->via == via)
            return Offering::Let; // a retransmission: the stack answers it again
        if (!offer->refused)
            return Offering::Loop;
        g.offered.erase(offer); // offered again after a refusal: a new call
    } else if (std::find(g.invited.begin(), g.invited.end(), callId) != g.invited.end()) {
        return Offering::Let; // one of the engine's own calls, routed back to it
    }
    const auto now = std::chrono::steady_clock::now();
    g.offers.erase(std::remove_if(g.offers.begin(), g.offers.end(), [&](auto t) { return now - t >= kOfferWindow; }),
                   g.offers.end());
    if (g.offers.size() >= kOffersPerWindow)
        return Offering::HoldBack;
    g.offers.push_back(now);
    // The calls the engine refused are forgotten first: one that may still
    // be ringing or talking must stay known.
    if (g.offered.size() >= kMaxCalls) {
        auto old = std::find_if(g.offered.begin(), g.offered.end(), [](const Offer &x) { return x.refused; });
        g.offered.erase(old != g.offered.end() ? old : g.offered.begin());
    }
    g.offered.push_back(Offer{std::string(callId), std::string(via)});
    return Offering::Let;
}

// Reads past every datagram the engine must not see; then the caller's own
// read finds a good one, or nothing (EAGAIN) on the non-blocking socket.
ssize_t receiveGuarded(Guarded &g, int fd, void *buf, size_t len, int flags, sockaddr *from, socklen_t *fromLen)
{
    static thread_local std::vector<char> scratch(SipDoor::kMaxDatagram + 1);
    if (g.keepaliveNext && !(flags & MSG_PEEK) && !g.peers.empty()) {
        g.keepaliveNext = false;
        return keepalive(g, buf, len, from, fromLen);
    }
    for (int refusals = 0;; ++refusals) {
        if (refusals == kRefusalsPerRead && (flags & MSG_PEEK) && !g.peers.empty()) {
            g.keepaliveNext = true;
            return keepalive(g, buf, len, from, fromLen);
        }
        sockaddr_storage source{};
        socklen_t sourceLen = sizeof source;
        const ssize_t n = realRecvFrom()(fd, scratch.data(), scratch.size(), MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr *>(&source), &sourceLen);
        if (n < 0 && (flags & MSG_PEEK) && (errno == EAGAIN || errno == EWOULDBLOCK) && !g.peers.empty()) {
            g.keepaliveNext = true;
            return keepalive(g, buf, len, from, fromLen);
        }
        if (n < 0)
            return n;
        const auto *src = reinterpret_cast<const sockaddr *>(&source);
        const Peer peer = peerOf(src, sourceLen);
        const bool known = std::any_of(g.peers.begin(), g.peers.end(),
                                       [&](const Peer &p) { return samePeer(reinterpret_cast<const sockaddr *>(&peer.address), peer.length, p); });
        const std::size_t size = static_cast<std::size_t>(n);
        Outline o;
        const SipDoor::Verdict verdict =
            size > SipDoor::kMaxDatagram ? SipDoor::Verdict::TooLarge : outline(scratch.data(), size, &o);
        const bool wellFormed = SipDoor::Admits(verdict);
        // A far end that sends its in-dialog requests straight to us (a
        // provider that does not stay in the path) is known by the call.
        const bool ourCall = wellFormed && verdict != SipDoor::Verdict::Keepalive
                             && std::find(g.calls.begin(), g.calls.end(), o.values[CallId][0]) != g.calls.end();
        const bool welcome = known || ourCall || (g.anyone && verdict == SipDoor::Verdict::Request);
        // The stack's parser, the costly part, only for what would go in,
        // and once.
        const string_view datagram(scratch.data(), size);
        const bool readable = wellFormed && welcome
                              && (verdict == SipDoor::Verdict::Keepalive || datagram == g.lastLetIn
                                  || stackReads(scratch.data(), size, verdict == SipDoor::Verdict::Request));
        const Offering offering = readable ? mayOfferCall(g, o) : Offering::HoldBack;
        if (readable && offering == Offering::Let) {
            g.lastLetIn.assign(datagram);
            return realRecvFrom()(fd, buf, len, flags, from, fromLen);
        }
        if (wellFormed && welcome) { // unreadable to the stack, a call held back, or a loop
            if (offering == Offering::Loop && mayForbid()) {
                const QByteArray answer = statelessAnswer(scratch.data(), size, "482 Loop Detected");
                realSendTo()(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_DONTWAIT, src, sourceLen);
            }
            g_refused.fetch_add(1, std::memory_order_relaxed);
            char discard;
            realRecvFrom()(fd, &discard, 1, MSG_DONTWAIT, nullptr, nullptr);
            continue;
        }
        if (verdict == SipDoor::Verdict::Request && mayForbid()) {
            const QByteArray answer = SipDoor::Forbidden(scratch.data(), size);
            if (!answer.isEmpty())
                realSendTo()(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_DONTWAIT, src, sourceLen);
        }
        g_refused.fetch_add(1, std::memory_order_relaxed);
        char discard;
        realRecvFrom()(fd, &discard, 1, MSG_DONTWAIT, nullptr, nullptr);
    }
}

// What the engine sends tells the door whom it talks to and in which calls.
void learn(Guarded &g, const void *buf, size_t len, const sockaddr *to, socklen_t toLen)
{
    const Peer peer = peerOf(to, toLen);
    if (peer.length != 0)
        remember(g.peers, peer, kMaxPeers, [](const Peer &a, const Peer &b) {
            return samePeer(reinterpret_cast<const sockaddr *>(&a.address), a.length, b);
        });
    Outline o;
    const auto verdict = outline(static_cast<const char *>(buf), len, &o);
    if (verdict != SipDoor::Verdict::Request && verdict != SipDoor::Verdict::Response)
        return;
    const string_view callId = o.values[CallId][0], cseq = o.values[CSeq][0];
    remember(g.calls, std::string(callId), kMaxCalls, std::equal_to<>());
    if (o.request && o.method == "INVITE")
        remember(g.invited, std::string(callId), kMaxCalls, std::equal_to<>());
    // A failure answering an offered call's INVITE: its caller may try again.
    const string_view start(static_cast<const char *>(buf), std::min<std::size_t>(len, 12));
    if (!o.request && start.size() == 12 && start[8] >= '3' && cseq.size() > 7
        && equalsNoCase(trim(cseq.substr(cseq.size() - 7)), "INVITE"))
        for (Offer &offer : g.offered)
            if (offer.callId == callId)
                offer.refused = true;
}

} // namespace

SipDoor::Verdict SipDoor::Judge(const char *data, std::size_t size)
{
    Outline o;
    return judge(data, size, &o);
}

QByteArray SipDoor::Forbidden(const char *request, std::size_t size)
{
    return statelessAnswer(request, size, "403 Forbidden");
}

namespace {
QByteArray statelessAnswer(const char *request, std::size_t size, const char *status)
{
    Outline o;
    if (outline(request, size, &o) != SipDoor::Verdict::Request || o.method == "ACK")
        return {};
    auto bytes = [](string_view s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); };
    QByteArray out = QByteArray("SIP/2.0 ") + status + "\r\n";
    for (string_view via : o.values[Via])
        out += "Via: " + bytes(via) + "\r\n";
    out += "From: " + bytes(o.values[From][0]) + "\r\n";
    QByteArray to = bytes(o.values[To][0]);
    if (!to.contains(";tag=") && !to.contains(";TAG="))
        to += ";tag=door";
    out += "To: " + to + "\r\n";
    out += "Call-ID: " + bytes(o.values[CallId][0]) + "\r\n";
    out += "CSeq: " + bytes(o.values[CSeq][0]) + "\r\n";
    out += "Content-Length: 0\r\n\r\n";
    return out;
}
} // namespace

void SipDoor::Guard(int localPort, bool anyone)
{
    std::lock_guard lock(g_mutex);
    for (Guarded &g : g_guarded)
        if (g.port == localPort) {
            g.anyone = anyone;
            return;
        }
    Guarded g;
    g.port = localPort;
    g.anyone = anyone;
    g_guarded.push_back(std::move(g));
    g_count.store(static_cast<int>(g_guarded.size()));
}

void SipDoor::Release(int localPort)
{
    std::lock_guard lock(g_mutex);
    g_guarded.erase(std::remove_if(g_guarded.begin(), g_guarded.end(), [&](const Guarded &g) { return g.port == localPort; }),
                    g_guarded.end());
    g_count.store(static_cast<int>(g_guarded.size()));
}

long SipDoor::Refused()
{
    return g_refused.load();
}

} // namespace rtc::lp

// The process's own recvfrom and sendto: the SIP stack reaches the C
// library through these, so its socket can be guarded without a change to
// the stack. Every other descriptor passes straight through.
extern "C" ssize_t recvfrom(int fd, void *buf, size_t len, int flags, sockaddr *from, socklen_t *fromLen)
{
    using namespace rtc::lp;
    if (g_count.load(std::memory_order_relaxed) != 0) {
        std::unique_lock lock(g_mutex);
        if (Guarded *g = guardOf(fd))
            return receiveGuarded(*g, fd, buf, len, flags, from, fromLen);
    }
    return realRecvFrom()(fd, buf, len, flags, from, fromLen);
}

extern "C" ssize_t sendto(int fd, const void *buf, size_t len, int flags, const sockaddr *to, socklen_t toLen)
{
    using namespace rtc::lp;
    if (g_count.load(std::memory_order_relaxed) != 0 && to) {
        std::lock_guard lock(g_mutex);
        if (Guarded *g = guardOf(fd))
            learn(*g, buf, len, to, toLen);
    }
    return realSendTo()(fd, buf, len, flags, to, toLen);
}
