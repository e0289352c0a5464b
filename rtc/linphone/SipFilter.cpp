#include "rtc/linphone/SipFilter.h"

#include "rtc/linphone/SipPolicy.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <bctoolbox/vconnect.h>

#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>

namespace rtc::lp {

namespace {

using std::string_view;
using Clock = std::chrono::steady_clock;

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

    const sockaddr *sa() const { return reinterpret_cast<const sockaddr *>(&address); }
    bool operator==(const Peer &o) const { return length == o.length && std::memcmp(&address, &o.address, length) == 0; }
};

// The port of a sockaddr_in / sockaddr_in6 with its address, zero padded,
// so that two peers compare as bytes.
Peer peerOf(const sockaddr *a, socklen_t len)
{
    Peer p;
    if (!a)
        return p;
    if (a->sa_family == AF_INET && len >= sizeof(sockaddr_in)) {
        auto *in = reinterpret_cast<sockaddr_in *>(&p.address);
        in->sin_family = AF_INET;
        in->sin_port = reinterpret_cast<const sockaddr_in *>(a)->sin_port;
        in->sin_addr = reinterpret_cast<const sockaddr_in *>(a)->sin_addr;
        p.length = sizeof(sockaddr_in);
    } else if (a->sa_family == AF_INET6 && len >= sizeof(sockaddr_in6)) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&p.address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = reinterpret_cast<const sockaddr_in6 *>(a)->sin6_port;
        in6->sin6_addr = reinterpret_cast<const sockaddr_in6 *>(a)->sin6_addr;
        p.length = sizeof(sockaddr_in6);
    }
    return p;
}

// Keeps the newest max items, item last.
template <typename T>
void remember(std::vector<T> &list, T item, std::size_t max)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
    else if (list.size() >= max)
        list.erase(list.begin());
    list.push_back(std::move(item));
}

// So many a second, then no more until the next second.
struct Budget {
    int perSecond;
    Clock::time_point second{};
    int used = 0;
    bool take()
    {
        const auto now = Clock::now();
        if (now - second >= std::chrono::seconds(1)) {
            second = now;
            used = 0;
        }
        return used++ < perSecond;
    }
};

// A live call of the engine's, and where its far end speaks from when it
// does not go through the provider.
struct Dialog {
    std::string callId;
    std::vector<Peer> sources;
};

// A call offered to the engine: the INVITE that began it, known by its
// Call-ID and the top Via of its transaction.
struct Offer {
    std::string callId;
    std::string via;
    bool refused = false; // the engine answered it with a failure: its caller may try again
};

// The provider's host[:port], as the account names its registrar or proxy.
struct HostPort {
    std::string host, port; // lower case; port empty when not given
};

HostPort splitHostPort(const std::string &hostPort)
{
    HostPort out;
    if (!hostPort.empty() && hostPort.front() == '[') { // [IPv6]:port
        const std::size_t close = hostPort.find(']');
        out.host = hostPort.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < hostPort.size() && hostPort[close + 1] == ':')
            out.port = hostPort.substr(close + 2);
        return out;
    }
    const std::size_t colon = hostPort.rfind(':');
    if (colon != std::string::npos && hostPort.find(':') == colon) {
        out.host = hostPort.substr(0, colon);
        out.port = hostPort.substr(colon + 1);
    } else {
        out.host = hostPort;
    }
    return out;
}

bool sameServer(const HostPort &a, const HostPort &b)
{
    auto port = [](const std::string &p) { return p.empty() ? std::string("5060") : p; };
    return a.host == b.host && port(a.port) == port(b.port);
}

constexpr std::size_t kMaxProviderAddresses = 8; // of each kind: resolved, sent REGISTERs to
constexpr std::size_t kMaxSourcesPerCall = 2;
constexpr std::size_t kMaxCalls = 64;            // offered and placed calls remembered
constexpr std::size_t kMaxAnswered = 32;         // INVITEs the filter answered, for their ACKs
constexpr int kForbiddenPerSecond = 10;          // 403s to strangers
constexpr int kAnswersPerSecond = 200;           // answers to the provider and calls
// Refused in one read at most before the stack gets its loop back (with a
// keep-alive, as when everything was taken): a flood is taken in turns with
// the engine's timers and the calls carried to its thread.
constexpr int kRefusalsPerRead = 32;
// Every call offered costs the engine a session with its media ports, even
// one it ends at once: new calls come in at most kOffersPerWindow in
// kOfferWindow, far more than a person takes. A retransmission or a request
// in a dialog is no new call.
constexpr std::size_t kOffersPerWindow = 10;
constexpr std::chrono::seconds kOfferWindow{10};

struct Guarded {
    int port = 0;
    int fd = -1;                            // the stack's socket on it, once learned
    long reads = 0;                         // reads of it the filter saw
    bool anyone = false;
    unsigned generation = 0;                // the account's: a late name resolution is for it only
    std::vector<HostPort> providerServers;  // as the account names them
    std::vector<Peer> resolved;             // the addresses their names resolve to
    std::vector<Peer> registrars;           // where the engine sent its REGISTERs for them
    Peer lastDestination;                   // where the engine sent last
    std::vector<Dialog> calls;              // the engine's live calls
    std::vector<std::string> placed;        // Call-IDs of the engine's own INVITEs
    std::vector<Offer> offered;             // calls let in, newest last
    std::vector<Clock::time_point> offers;  // when, within the last window
    std::vector<std::string> answered;      // Call-ID and branch of INVITEs the filter answered
    Budget forbidden{kForbiddenPerSecond};
    Budget answers{kAnswersPerSecond};
    bool keepaliveNext = false;             // the read after an empty peek gets one
    std::string lastLetIn;                  // the stack peeks, then reads the same datagram
    std::string ownCallId;                  // of the engine's own request now out
    std::string ownAnswer;                  // the top Via of the provider's answer to it
    std::string mediaLocal, mediaPublic;    // the audio's address as written, and as told
};

std::mutex g_mutex;
std::vector<Guarded> g_guarded;
std::atomic<int> g_count{0};
std::atomic<long> g_refused{0};

Guarded *guardByPort(int port)
{
    for (Guarded &g : g_guarded)
        if (g.port == port)
            return &g;
    return nullptr;
}

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
// A datagram socket the stack bound, by its portability library's hook.
struct Bound {
    int fd;
    int port;
};
constexpr std::size_t kMaxBound = 32;
std::vector<Bound> g_bound;

int boundSocketOn(int port)
{
    for (auto it = g_bound.rbegin(); it != g_bound.rend(); ++it)
        if (it->port == port)
            return it->fd;
    return -1;
}

// The guard for this socket; null for every other descriptor. A socket
// learned from the stack is known by its descriptor, and checked to be
// still bound to the guarded port (the stack may have closed it, and the
// number gone to another socket); one not learned is found by its port.
Guarded *guardOf(int fd)
{
    if (g_count.load(std::memory_order_relaxed) == 0)
        return nullptr;
    bool unlearned = false;
    for (Guarded &g : g_guarded) {
        if (g.fd == fd)
            return localPort(fd) == g.port ? &g : nullptr;
        unlearned = unlearned || g.fd < 0;
    }
    if (!unlearned)
        return nullptr;
    const int port = localPort(fd);
    if (port == 0)
        return nullptr;
    Guarded *g = guardByPort(port);
    return g && g->fd < 0 && isDatagramSocket(fd) ? g : nullptr;
}

bool isProvider(const Guarded &g, const Peer &p)
{
    return std::find(g.registrars.begin(), g.registrars.end(), p) != g.registrars.end()
           || std::find(g.resolved.begin(), g.resolved.end(), p) != g.resolved.end();
}

// The addresses of host:port, each as a peer; numeric hosts only unless
// the name may be looked up.
std::vector<Peer> addressesOf(const HostPort &server, bool lookUp)
{
    std::vector<Peer> out;
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = lookUp ? 0 : AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const std::string port = server.port.empty() ? std::string("5060") : server.port;
    if (getaddrinfo(server.host.c_str(), port.c_str(), &hints, &found) != 0)
        return out;
    for (addrinfo *a = found; a && out.size() < kMaxProviderAddresses; a = a->ai_next)
        if (Peer p = peerOf(a->ai_addr, a->ai_addrlen); p.length != 0)
            out.push_back(p);
    freeaddrinfo(found);
    return out;
}

void addResolved(Guarded &g, const std::vector<Peer> &peers)
{
    for (const Peer &p : peers)
        if (std::find(g.resolved.begin(), g.resolved.end(), p) == g.resolved.end() && g.resolved.size() < kMaxProviderAddresses)
            g.resolved.push_back(p);
}

// Where a datagram comes from, as far as the filter is concerned.
enum class Standing { Provider, InCall, Anyone, Stranger };

Standing standingOf(Guarded &g, const Peer &source, const SipOutline &o)
{
    if (isProvider(g, source))
        return Standing::Provider;
    // A far end that sends inside its dialog straight to us (a provider
    // that does not stay in the path) is known by the call, from at most
    // two addresses.
    if (!o.request || o.hasToTag()) {
        const string_view callId = o.callId();
        auto call = std::find_if(g.calls.begin(), g.calls.end(), [&](const Dialog &d) { return d.callId == callId; });
        if (call != g.calls.end()) {
            if (std::find(call->sources.begin(), call->sources.end(), source) != call->sources.end())
                return Standing::InCall;
            if (call->sources.size() < kMaxSourcesPerCall) {
                call->sources.push_back(source);
                return Standing::InCall;
            }
        }
    }
    if (g.anyone && o.request)
        return Standing::Anyone;
    return Standing::Stranger;
}

// The stack peeks at its socket when it is readable to learn the source,
// and takes a failed peek for a broken socket: it closes it, opens another
// and drops every channel, with the transactions still on them (a crash a
// moment later); a failed read after a good peek it takes for a broken
// channel. So when the filter has taken everything there was, the peek and
// the read that follows both get a CR LF (a keep-alive's answer, which the
// stack ignores) from the provider, whose channel exists.
const Peer *keepaliveSource(const Guarded &g)
{
    if (!g.registrars.empty())
        return &g.registrars.front();
    return g.lastDestination.length != 0 ? &g.lastDestination : nullptr;
}

ssize_t keepalive(const Peer &peer, void *buf, size_t len, sockaddr *from, socklen_t *fromLen)
{
    if (from && fromLen) {
        std::memcpy(from, &peer.address, std::min<std::size_t>(*fromLen, peer.length));
        *fromLen = peer.length;
    }
    static const char kKeepalive[] = "\r\n";
    std::memcpy(buf, kKeepalive, std::min<std::size_t>(len, 2));
    return static_cast<ssize_t>(std::min<std::size_t>(len, 2));
}

// A second INVITE outside a dialog with the Call-ID of a call still being
// set up, in another transaction, is a request that reached us twice by
// different routes, or a forgery: it gets "482 Loop Detected". The engine
// would start a second call with the same Call-ID, which it confuses with
// the first (at exit it ends one of them twice, and crashes). After the
// engine refused the first, its caller may try again (a new transaction).
enum class Offering { Let, OverRate, Loop };

Offering mayOfferCall(Guarded &g, const SipOutline &o, int *retryAfter)
{
    if (o.method != "INVITE" || o.hasToTag())
        return Offering::Let;
    const string_view callId = o.callId(), via = o.values[Via][0];
    auto offer = std::find_if(g.offered.begin(), g.offered.end(), [&](const Offer &x) { return x.callId == callId; });
    if (offer != g.offered.end()) {
        if (offer->via == via)
            return Offering::Let; // a retransmission: the stack answers it again
        if (!offer->refused)
            return Offering::Loop;
        g.offered.erase(offer); // offered again after a refusal: a new call
    } else if (std::find(g.placed.begin(), g.placed.end(), callId) != g.placed.end()) {
        return Offering::Let; // one of the engine's own calls, routed back to it
    }
    const auto now = Clock::now();
    g.offers.erase(std::remove_if(g.offers.begin(), g.offers.end(), [&](auto t) { return now - t >= kOfferWindow; }),
                   g.offers.end());
    if (g.offers.size() >= kOffersPerWindow) {
        const auto wait = g.offers.front() + kOfferWindow - now;
        *retryAfter = std::max(1, int(std::chrono::ceil<std::chrono::seconds>(wait).count()));
        return Offering::OverRate;
    }
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

std::string transactionOf(const SipOutline &o)
{
    return std::string(o.callId()) + ' ' + std::string(o.topBranch());
}

// What becomes of one datagram: let in, or refused with this answer (none:
// dropped unseen).
struct Decision {
    bool letIn = false;
    QByteArray answer;
    bool own = false; // the answer to the engine's own request: taken, not refused
};

Decision decide(Guarded &g, const Peer &source, const char *data, std::size_t size)
{
    using V = SipKind;
    SipOutline o;
    const V kind = Outline(data, size, &o);
    if (kind == V::Keepalive)
        return {isProvider(g, source), {}};
    if (kind != V::Request && kind != V::Response && kind != V::UriTooLong && kind != V::OverBounds)
        return {};
    const Standing standing = standingOf(g, source, o);
    if (standing == Standing::Stranger) {
        if (o.request && g.forbidden.take())
            return {false, SipPolicy::Answer(o, "403 Forbidden")};
        return {};
    }
    if (!o.request && standing == Standing::Provider && !g.ownCallId.empty() && o.callId() == g.ownCallId) {
        if (g.ownAnswer.empty() && o.has(Via))
            g.ownAnswer.assign(o.values[Via][0]);
        return {false, {}, true};
    }
    const string_view datagram(data, size);
    auto readable = [&] { return datagram == g.lastLetIn || StackReads(data, size, o.request); };
    if (!o.request)
        return {kind == V::Response && SipPolicy::UsableChallenge(o) && SipPolicy::UsableBody(o) && readable(), {}};

    // The ACK of an INVITE the filter answered is the filter's.
    if (o.method == "ACK" && std::find(g.answered.begin(), g.answered.end(), transactionOf(o)) != g.answered.end())
        return {};
    SipPolicy::Refusal refusal = kind == V::Request ? SipPolicy::RefusalFor(o) : SipPolicy::OverBounds(kind);
    if (!refusal && !readable())
        return {};
    if (!refusal) {
        int retryAfter = 0;
        switch (mayOfferCall(g, o, &retryAfter)) {
        case Offering::Let:
            return {true, {}};
        case Offering::OverRate:
            refusal = {"503 Service Unavailable", "Retry-After: " + QByteArray::number(retryAfter) + "\r\n"};
            break;
        case Offering::Loop:
            refusal = {"482 Loop Detected", {}};
            break;
        }
    }
    if (!g.answers.take())
        return {};
    if (o.method == "INVITE")
        remember(g.answered, transactionOf(o), kMaxAnswered);
    return {false, SipPolicy::Answer(o, refusal.status, refusal.headers)};
}

// Reads past every datagram the engine must not see; then the caller's own
// read finds a good one, or nothing (EAGAIN) on the non-blocking socket.
ssize_t receiveGuarded(Guarded &g, int fd, void *buf, size_t len, int flags, sockaddr *from, socklen_t *fromLen)
{
    static thread_local std::vector<char> scratch(SipFilter::kMaxDatagram + 1);
    const Peer *fallback = keepaliveSource(g);
    if (g.keepaliveNext && !(flags & MSG_PEEK) && fallback) {
        g.keepaliveNext = false;
        return keepalive(*fallback, buf, len, from, fromLen);
    }
    for (int refusals = 0;; ++refusals) {
        if (refusals == kRefusalsPerRead && (flags & MSG_PEEK) && fallback) {
            g.keepaliveNext = true;
            return keepalive(*fallback, buf, len, from, fromLen);
        }
        sockaddr_storage source{};
        socklen_t sourceLen = sizeof source;
        const ssize_t n = realRecvFrom()(fd, scratch.data(), scratch.size(), MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr *>(&source), &sourceLen);
        if (n < 0 && (flags & MSG_PEEK) && (errno == EAGAIN || errno == EWOULDBLOCK) && fallback) {
            g.keepaliveNext = true;
            return keepalive(*fallback, buf, len, from, fromLen);
        }
        if (n < 0)
            return n;
        const auto *src = reinterpret_cast<const sockaddr *>(&source);
        const std::size_t size = static_cast<std::size_t>(n);
        const Decision d = size > SipFilter::kMaxDatagram ? Decision{}
                                                        : decide(g, peerOf(src, sourceLen), scratch.data(), size);
        if (d.letIn) {
            g.lastLetIn.assign(scratch.data(), size);
            return realRecvFrom()(fd, buf, len, flags, from, fromLen);
        }
        if (!d.answer.isEmpty())
            realSendTo()(fd, d.answer.constData(), static_cast<size_t>(d.answer.size()), MSG_DONTWAIT, src, sourceLen);
        if (!d.own)
            g_refused.fetch_add(1, std::memory_order_relaxed);
        char discard;
        realRecvFrom()(fd, &discard, 1, MSG_DONTWAIT, nullptr, nullptr);
    }
}

// What the engine sends tells the filter where its provider is, which calls
// it places and which offers it refused.
void learn(Guarded &g, const void *buf, size_t len, const sockaddr *to, socklen_t toLen)
{
    const Peer peer = peerOf(to, toLen);
    if (peer.length != 0)
        g.lastDestination = peer;
    SipOutline o;
    const SipKind kind = Outline(static_cast<const char *>(buf), len, &o);
    if (kind != SipKind::Request && kind != SipKind::Response && kind != SipKind::OverBounds)
        return;
    const string_view callId = o.callId();
    if (o.request && o.method == "REGISTER" && peer.length != 0) {
        const HostPort registrar = splitHostPort(HostPortOf(o.uri));
        if (std::any_of(g.providerServers.begin(), g.providerServers.end(),
                        [&](const HostPort &s) { return sameServer(s, registrar); }))
            remember(g.registrars, peer, kMaxProviderAddresses);
    }
    if (o.request && o.method == "INVITE" && !o.hasToTag())
        remember(g.placed, std::string(callId), kMaxCalls);
    // A failure answering an offered call's INVITE: its caller may try again.
    if (!o.request && o.status >= 300 && o.method == "INVITE")
        for (Offer &offer : g.offered)
            if (offer.callId == callId)
                offer.refused = true;
}

// The stack's socket methods, and the two the filter adds to.
bctbx_vsocket_methods_t g_stackMethods{};

int stackBound(bctbx_socket_t fd, const sockaddr *address, socklen_t length)
{
    const int result = g_stackMethods.pFuncBind(fd, address, length);
    if (result != 0 || !isDatagramSocket(fd))
        return result;
    const int port = localPort(fd);
    std::lock_guard lock(g_mutex);
    g_bound.erase(std::remove_if(g_bound.begin(), g_bound.end(),
                                 [&](const Bound &b) { return b.fd == fd || b.port == port; }),
                  g_bound.end());
    if (g_bound.size() >= kMaxBound)
        g_bound.erase(g_bound.begin());
    g_bound.push_back({fd, port});
    // A socket the stack re-created on a guarded port is guarded from now on.
    if (Guarded *g = guardByPort(port)) {
        g->fd = fd;
        g->keepaliveNext = false;
        g->lastLetIn.clear();
    }
    return result;
}

// Stream sockets the stack connected, each with the thread that did: the
// engine that owns it watches it.
struct Stream {
    int fd;
    std::thread::id thread;
};
constexpr std::size_t kMaxStreams = 16;
std::vector<Stream> g_streams;

int stackConnected(bctbx_socket_t fd, const sockaddr *address, socklen_t length)
{
    const int result = g_stackMethods.pFuncConnect(fd, address, length);
    const int error = errno;
    int type = 0;
    socklen_t len = sizeof type;
    if ((result == 0 || error == EINPROGRESS) && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0
        && type == SOCK_STREAM) {
        std::lock_guard lock(g_mutex);
        g_streams.erase(std::remove_if(g_streams.begin(), g_streams.end(), [&](const Stream &s) { return s.fd == fd; }),
                        g_streams.end());
        if (g_streams.size() >= kMaxStreams)
            g_streams.erase(g_streams.begin());
        g_streams.push_back({fd, std::this_thread::get_id()});
    }
    errno = error;
    return result;
}

int stackClosed(bctbx_socket_t fd)
{
    {
        std::lock_guard lock(g_mutex);
        g_bound.erase(std::remove_if(g_bound.begin(), g_bound.end(), [&](const Bound &b) { return b.fd == fd; }),
                      g_bound.end());
        g_streams.erase(std::remove_if(g_streams.begin(), g_streams.end(), [&](const Stream &s) { return s.fd == fd; }),
                        g_streams.end());
    }
    return g_stackMethods.pFuncClose(fd);
}

} // namespace

SipFilter::Kind SipFilter::Classify(const char *data, std::size_t size)
{
    SipOutline o;
    const Kind v = Outline(data, size, &o);
    if ((v == Kind::Request || v == Kind::Response) && !StackReads(data, size, v == Kind::Request))
        return Kind::Unreadable;
    return v;
}

QByteArray SipFilter::Forbidden(const char *request, std::size_t size)
{
    SipOutline o;
    const Kind v = Outline(request, size, &o);
    if (v != Kind::Request && v != Kind::UriTooLong && v != Kind::OverBounds)
        return {};
    return SipPolicy::Answer(o, "403 Forbidden");
}

void SipFilter::WatchStackSockets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The stack may set its socket API back to the standard one before
        // it makes a socket: the standard one's methods are the hooked ones.
        bctbx_vsocket_api_t *standard = bctbx_vsocket_api_get_standard();
        if (!standard || !standard->pSocketMethods)
            return;
        g_stackMethods = *standard->pSocketMethods;
        static bctbx_vsocket_methods_t hooked = g_stackMethods;
        hooked.pFuncBind = stackBound;
        hooked.pFuncConnect = stackConnected;
        hooked.pFuncClose = stackClosed;
        standard->pSocketMethods = &hooked;
    });
}

int SipFilter::StackSocket(int localPort)
{
    std::lock_guard lock(g_mutex);
    return boundSocketOn(localPort);
}

std::vector<int> SipFilter::StackStreams()
{
    std::vector<int> fds;
    const auto here = std::this_thread::get_id();
    std::lock_guard lock(g_mutex);
    for (const Stream &s : g_streams)
        if (s.thread == here)
            fds.push_back(s.fd);
    return fds;
}

bool SipFilter::InEffect()
{
    // What the process's symbols resolve to is what the stack's calls bound
    // to when it was loaded, unless it was linked not to use them.
    return dlsym(RTLD_DEFAULT, "recvfrom") == reinterpret_cast<void *>(&::recvfrom)
           && dlsym(RTLD_DEFAULT, "sendto") == reinterpret_cast<void *>(&::sendto);
}

void SipFilter::Guard(int localPort, bool anyone)
{
    std::lock_guard lock(g_mutex);
    if (Guarded *g = guardByPort(localPort)) {
        g->anyone = anyone;
        return;
    }
    Guarded g;
    g.port = localPort;
    g.fd = boundSocketOn(localPort);
    g.anyone = anyone;
    g_guarded.push_back(std::move(g));
    g_count.store(static_cast<int>(g_guarded.size()));
}

void SipFilter::Move(int fromPort, int toPort)
{
    std::lock_guard lock(g_mutex);
    Guarded *g = guardByPort(fromPort);
    if (!g || fromPort == toPort)
        return;
    g->port = toPort;
    g->fd = boundSocketOn(toPort);
    g->keepaliveNext = false;
    g->lastLetIn.clear();
}

long SipFilter::ReadsSeen(int localPort)
{
    std::lock_guard lock(g_mutex);
    const Guarded *g = guardByPort(localPort);
    return g ? g->reads : 0;
}

void SipFilter::Release(int localPort)
{
    std::lock_guard lock(g_mutex);
    g_guarded.erase(std::remove_if(g_guarded.begin(), g_guarded.end(), [&](const Guarded &g) { return g.port == localPort; }),
                    g_guarded.end());
    g_count.store(static_cast<int>(g_guarded.size()));
}

void SipFilter::TrustProvider(int localPort, const QStringList &hostPorts)
{
    // Addresses given as such are trusted at once; names take the network
    // to resolve, never on the engine's thread.
    std::vector<HostPort> servers, names;
    std::vector<Peer> numeric;
    for (const QString &hp : hostPorts) {
        const std::string normal = ServerHostPort(hp.toStdString());
        if (normal.empty())
            continue;
        const HostPort server = splitHostPort(normal);
        if (std::any_of(servers.begin(), servers.end(), [&](const HostPort &s) { return sameServer(s, server); }))
            continue; // the registrar is usually the proxy too
        servers.push_back(server);
        const std::vector<Peer> peers = addressesOf(server, false);
        numeric.insert(numeric.end(), peers.begin(), peers.end());
        if (peers.empty())
            names.push_back(server);
    }
    unsigned generation = 0;
    {
        std::lock_guard lock(g_mutex);
        Guarded *g = guardByPort(localPort);
        if (!g)
            return;
        generation = ++g->generation;
        g->providerServers = servers;
        g->resolved.clear();
        g->registrars.clear();
        addResolved(*g, numeric);
    }
    for (const HostPort &name : names)
        std::thread([localPort, generation, name] {
            const std::vector<Peer> peers = addressesOf(name, true);
            std::lock_guard lock(g_mutex);
            if (Guarded *g = guardByPort(localPort); g && g->generation == generation)
                addResolved(*g, peers);
        }).detach();
}

void SipFilter::SetCalls(int localPort, const std::vector<std::string> &callIds)
{
    std::lock_guard lock(g_mutex);
    Guarded *g = guardByPort(localPort);
    if (!g)
        return;
    std::vector<Dialog> calls;
    for (const std::string &id : callIds) {
        if (id.empty())
            continue;
        auto known = std::find_if(g->calls.begin(), g->calls.end(), [&](const Dialog &d) { return d.callId == id; });
        calls.push_back(known != g->calls.end() ? *known : Dialog{id, {}});
    }
    g->calls = std::move(calls);
}

bool SipFilter::SendOwn(int port, const QByteArray &request, const std::string &callId)
{
    std::lock_guard lock(g_mutex);
    Guarded *g = guardByPort(port);
    if (!g || g->fd < 0 || g->registrars.empty() || rtc::lp::localPort(g->fd) != g->port)
        return false;
    if (g->ownCallId != callId) {
        g->ownCallId = callId;
        g->ownAnswer.clear();
    }
    const Peer &to = g->registrars.back(); // where the engine registers now
    return realSendTo()(g->fd, request.constData(), static_cast<size_t>(request.size()), MSG_DONTWAIT, to.sa(),
                        to.length)
           == request.size();
}

std::string SipFilter::TakeOwnAnswer(int localPort)
{
    std::lock_guard lock(g_mutex);
    Guarded *g = guardByPort(localPort);
    return g ? std::exchange(g->ownAnswer, {}) : std::string();
}

bool SipFilter::ProviderAddress(int localPort, sockaddr_storage *address, socklen_t *length)
{
    std::lock_guard lock(g_mutex);
    const Guarded *g = guardByPort(localPort);
    if (!g)
        return false;
    const Peer *p = !g->registrars.empty() ? &g->registrars.back() : !g->resolved.empty() ? &g->resolved.front() : nullptr;
    if (!p)
        return false;
    *address = p->address;
    *length = p->length;
    return true;
}

void SipFilter::SetPublicMedia(int localPort, const std::string &local, const std::string &publicAddress)
{
    std::lock_guard lock(g_mutex);
    if (Guarded *g = guardByPort(localPort)) {
        g->mediaLocal = local;
        g->mediaPublic = publicAddress;
    }
}

long SipFilter::Refused()
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
        if (Guarded *g = guardOf(fd)) {
            ++g->reads;
            return receiveGuarded(*g, fd, buf, len, flags, from, fromLen);
        }
    }
    return realRecvFrom()(fd, buf, len, flags, from, fromLen);
}

// What the engine sends also tells only the methods the filter lets in.
extern "C" ssize_t sendto(int fd, const void *buf, size_t len, int flags, const sockaddr *to, socklen_t toLen)
{
    using namespace rtc::lp;
    if (g_count.load(std::memory_order_relaxed) != 0 && to) {
        std::unique_lock lock(g_mutex);
        if (Guarded *g = guardOf(fd)) {
            learn(*g, buf, len, to, toLen);
            // Only the provider is beyond the router; a peer spoken to
            // directly may be on the same network.
            const bool toProvider = isProvider(*g, peerOf(to, toLen));
            const std::string local = g->mediaLocal, publicAddress = toProvider ? g->mediaPublic : std::string();
            lock.unlock();
            QByteArray own = SipPolicy::WithOwnAllow(static_cast<const char *>(buf), len);
            if (!publicAddress.empty()) {
                const QByteArray told = SipPolicy::WithPublicMedia(
                    own.isEmpty() ? QByteArray::fromRawData(static_cast<const char *>(buf), qsizetype(len)) : own,
                    local, publicAddress);
                if (!told.isEmpty())
                    own = told;
            }
            if (!own.isEmpty()) {
                const ssize_t sent = realSendTo()(fd, own.constData(), size_t(own.size()), flags, to, toLen);
                return sent < 0 ? sent : static_cast<ssize_t>(len);
            }
        }
    }
    return realSendTo()(fd, buf, len, flags, to, toLen);
}
