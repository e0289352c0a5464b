// The flood of bench/flood_bench.sh: malformed datagrams from one socket
// on 127.0.0.1 to a program's SIP port, then one clean OPTIONS from a fresh
// socket, addressed to the program's registered contact. It waits for the
// answer and for the program's socket to hold nothing more
// (/proc/net/udp), then prints one line:
//
//   first=T last=T options=T answer=T|- status=CODE|- drained=T|- drops=N sent=N failed=N bytes=N
//
// Stamps are CLOCK_REALTIME seconds. Every datagram reaches the program: a
// few of the big ones fill its receive buffer, and one the kernel dropped
// (its drop count at the socket went up) is sent again once the program
// has emptied its socket. drops counts those; sent, the datagrams of the
// flood that got in: fewer when the program stopped reading for --wait-ms
// and the rest were not sent. last is when the last of them got in.
//
//   flood_bench_sender PORT USER [--count N] [--big N] [--pace-us US] [--wait-ms MS]
//
// The flood is the same every time (a fixed seed): of every five datagrams,
// one request with a 64 KB header (until --big of them went out; then
// another kind), and one each of: a request cut off inside its header, a
// Content-Length that lies, binary junk, a request with an odd method.
// None is a request the SIP filter would answer, none offers a call.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

double realtimeNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

constexpr std::size_t kBigDatagram = 65000; // below UDP's 65,507 bytes

struct Target {
    int port = 0;
    std::string user;
};

// A request as a peer on 127.0.0.1 would send it.
std::string request(const Target &t, const std::string &method, int i, const std::string &extra = {},
                    const std::string &body = {}, const std::string &length = {}, const std::string &cseqMethod = {})
{
    const std::string n = std::to_string(i);
    return method + " sip:" + t.user + "@127.0.0.1:" + std::to_string(t.port) + " SIP/2.0\r\n"
           + "Via: SIP/2.0/UDP 127.0.0.1:9;branch=z9hG4bKflood" + n + ";rport\r\n"
           + "From: <sip:flood@127.0.0.1>;tag=f" + n + "\r\n"
           + "To: <sip:" + t.user + "@127.0.0.1>\r\n"
           + "Call-ID: flood" + n + "@127.0.0.1\r\n"
           + "CSeq: 1 " + (cseqMethod.empty() ? method : cseqMethod) + "\r\n"
           + "Max-Forwards: 70\r\n" + extra
           + "Content-Length: " + (length.empty() ? std::to_string(body.size()) : length) + "\r\n\r\n" + body;
}

std::string bigHeader(const Target &t, int i)
{
    std::string m = request(t, "OPTIONS", i, "X-Big: @\r\n");
    m.replace(m.find('@'), 1, std::string(kBigDatagram - m.size() + 1, 'a'));
    return m;
}

std::string truncated(const Target &t, int i, std::mt19937 &rng)
{
    static const char *methods[] = {"OPTIONS", "INFO", "BYE", "NOTIFY"};
    const std::string m = request(t, methods[i % 4], i, "User-Agent: flood\r\nAccept: application/sdp\r\n");
    // Cut inside the head, past the request line: never the blank line.
    const std::size_t from = m.find("\r\n") + 2, to = m.find("\r\n\r\n");
    return m.substr(0, from + rng() % (to - from));
}

std::string badLength(const Target &t, int i, std::mt19937 &rng)
{
    static const char *methods[] = {"OPTIONS", "INFO", "BYE"};
    const std::string body = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\n";
    const std::string extra = "Content-Type: application/sdp\r\n";
    std::string length;
    switch ((i / 5) % 5) { // i % 5 is the same for every one of this kind
    case 0: length = std::to_string(body.size() + 1 + rng() % 60000); break; // promises more
    case 1: length = std::to_string(rng() % body.size()); break;             // less than it carries
    case 2: length = "-1"; break;
    case 3: length = "99999999999"; break;
    default: length = "ten"; break;
    }
    return request(t, methods[i % 3], i, extra, body, length);
}

std::string junk(std::mt19937 &rng)
{
    std::string m(64 + rng() % 1337, '\0');
    for (char &c : m)
        c = char(rng() & 0xFF);
    if (m[0] == '\r' || m[0] == '\n')
        m[0] = 'x'; // not a keep-alive
    return m;
}

std::string oddMethod(const Target &t, int i)
{
    switch (i % 8) {
    case 0: return request(t, std::string("INV\x01ITE", 7), i);      // a control byte
    case 1: return request(t, "OPT IONS", i);                        // a space
    case 2: return request(t, std::string(2000, 'X'), i, {}, {}, {}, "OPTIONS"); // 2 KB name, another CSeq
    case 3: return request(t, "options", i, {}, {}, {}, "OPTIONS");  // lower case, CSeq says otherwise
    case 4: return request(t, "NOTIFY;x", i);                        // not a token
    case 5: return request(t, "<>", i);
    case 6: return request(t, "SIP/2.0", i);                         // a status line's start
    default: {
        std::string m = request(t, "OPTIONS", i);
        m.replace(m.find(" SIP/2.0\r\n"), 10, " SIP/3.0\r\n");
        return m;
    }
    }
}

std::vector<std::string> flood(const Target &t, int count, int big)
{
    std::mt19937 rng(20261208u);
    std::vector<std::string> out;
    int bigs = 0;
    for (int i = 0; i < count; ++i) {
        int kind = i % 5;
        if (kind == 0 && bigs >= big)
            kind = 1 + (i / 5) % 4;
        switch (kind) {
        case 0: out.push_back(bigHeader(t, i)); ++bigs; break;
        case 1: out.push_back(truncated(t, i, rng)); break;
        case 2: out.push_back(badLength(t, i, rng)); break;
        case 3: out.push_back(junk(rng)); break;
        default: out.push_back(oddMethod(t, i)); break;
        }
    }
    return out;
}

// The receive queue (bytes) and drop count of the UDP socket bound to
// 127.0.0.1:PORT or *:PORT; false when there is none.
bool socketState(int port, long *queued, long *drops)
{
    std::ifstream udp("/proc/net/udp");
    std::string line;
    char wanted[2][16];
    std::snprintf(wanted[0], sizeof wanted[0], "0100007F:%04X", port);
    std::snprintf(wanted[1], sizeof wanted[1], "00000000:%04X", port);
    std::getline(udp, line); // the titles
    while (std::getline(udp, line)) {
        std::istringstream in(line);
        std::string slot, local, remote, st, queues, field;
        in >> slot >> local >> remote >> st >> queues;
        if (local != wanted[0] && local != wanted[1])
            continue;
        std::vector<std::string> rest;
        while (in >> field)
            rest.push_back(field);
        if (rest.empty())
            return false;
        *queued = std::strtol(queues.substr(queues.find(':') + 1).c_str(), nullptr, 16);
        *drops = std::strtol(rest.back().c_str(), nullptr, 10);
        return true;
    }
    return false;
}

int boundSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        std::perror("flood_bench_sender: socket");
        std::exit(1);
    }
    return fd;
}

int localPortOf(int fd)
{
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &len);
    return ntohs(local.sin_port);
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: flood_bench_sender PORT USER [--count N] [--big N] [--pace-us US] [--wait-ms MS]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        usage();
    Target target{std::atoi(argv[1]), argv[2]};
    int count = 300, big = 60, paceUs = 0, waitMs = 10000;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (opt == "--count") count = value;
        else if (opt == "--big") big = value;
        else if (opt == "--pace-us") paceUs = value;
        else if (opt == "--wait-ms") waitMs = value;
        else usage();
    }
    if (target.port <= 0 || target.port > 65535 || target.user.empty() || count <= 0 || argc % 2 == 0)
        usage();
    long queued = 0, dropsBefore = 0;
    if (!socketState(target.port, &queued, &dropsBefore)) {
        std::fprintf(stderr, "flood_bench_sender: no UDP socket on port %d\n", target.port);
        return 1;
    }
    const std::vector<std::string> datagrams = flood(target, count, big);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(target.port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Sends until the datagram is in the program's queue; false when the
    // program did not empty its socket within waitMs to make room.
    long drops = dropsBefore;
    auto deliver = [&](int fd, const std::string &d) {
        for (;;) {
            if (::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to) < 0)
                return false;
            long q = 0, now = drops;
            socketState(target.port, &q, &now);
            if (now == drops)
                return true;
            drops = now;
            const double until = realtimeNow() + waitMs / 1000.0;
            while (socketState(target.port, &q, &now) && q > 0 && realtimeNow() < until)
                ::usleep(200);
            if (q > 0)
                return false;
        }
    };

    const int stranger = boundSocket();
    long failed = 0, sent = 0, bytes = 0;
    const double first = realtimeNow();
    for (const std::string &d : datagrams) {
        if (!deliver(stranger, d)) {
            failed = long(datagrams.size()) - sent;
            break;
        }
        ++sent;
        bytes += long(d.size());
        if (paceUs > 0)
            ::usleep(static_cast<useconds_t>(paceUs));
    }
    const double last = realtimeNow();

    // The clean request, from a port the program has never seen.
    const int asker = boundSocket();
    const std::string options = "OPTIONS sip:" + target.user + "@127.0.0.1:" + std::to_string(target.port)
                                + " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:" + std::to_string(localPortOf(asker))
                                + ";branch=z9hG4bKclean" + std::to_string(long(first)) + ";rport\r\n"
                                + "From: <sip:probe@127.0.0.1>;tag=probe\r\nTo: <sip:" + target.user
                                + "@127.0.0.1>\r\nCall-ID: clean" + std::to_string(long(first))
                                + "@127.0.0.1\r\nCSeq: 1 OPTIONS\r\nMax-Forwards: 70\r\n"
                                + "Accept: application/sdp\r\nContent-Length: 0\r\n\r\n";
    const double asked = realtimeNow();
    deliver(asker, options);

    // The answer and the empty queue, whichever comes first; at most waitMs each.
    double answered = 0, drained = 0;
    int status = 0;
    const double deadline = asked + waitMs / 1000.0;
    while ((answered == 0 || drained == 0) && realtimeNow() < deadline) {
        pollfd p{asker, POLLIN, 0};
        if (answered == 0 && ::poll(&p, 1, 2) > 0) {
            char buf[65536];
            const ssize_t n = ::recv(asker, buf, sizeof buf, 0);
            const double t = realtimeNow();
            if (n >= 12 && std::strncmp(buf, "SIP/2.0 ", 8) == 0) {
                answered = t;
                status = std::atoi(buf + 8);
            }
        } else if (answered != 0) {
            ::usleep(2000);
        }
        long q = 0, d = 0;
        if (drained == 0 && socketState(target.port, &q, &d) && q == 0)
            drained = realtimeNow();
    }
    socketState(target.port, &queued, &drops);

    auto stamp = [](double t) { return t == 0 ? std::string("-") : std::to_string(t); };
    std::printf("first=%.6f last=%.6f options=%.6f answer=%s status=%s drained=%s drops=%ld sent=%ld failed=%ld bytes=%ld\n",
                first, last, asked, stamp(answered).c_str(), status ? std::to_string(status).c_str() : "-",
                stamp(drained).c_str(), drops - dropsBefore, sent, failed, bytes);
    ::close(stranger);
    ::close(asker);
    return 0;
}
