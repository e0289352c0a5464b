#pragma once
// The first, cheap read of a datagram on the SIP port: its start line, the
// headers the filter decides by, and the bounds every field must keep
// before the SIP stack's own parser is given it. Linear in the datagram's
// size, allocation-free but for the lists of header values.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rtc::lp {

// What the stack's parser costs grows with counts, not only with length,
// so counts are bounded as well as lengths. Each bound is far above what a provider or a
// phone sends.
struct SipBounds {
    static constexpr std::size_t kMaxDatagram = 16 * 1024;
    static constexpr std::size_t kMaxHeaderFields = 64;
    static constexpr std::size_t kMaxFieldLength = 4096;  // name, value and folding
    static constexpr std::size_t kMaxRequestUri = 1024;
    static constexpr std::size_t kMaxParameters = 24;     // in a URI, or an entry of a header field
    static constexpr std::size_t kMaxEntries = 16;        // of Via, of Route, of Record-Route
};

enum class SipKind {
    Request,       // a well-formed request within the bounds
    Response,      // a well-formed response within the bounds
    Keepalive,     // CR LF keep-alives
    TooLarge,      // over kMaxDatagram
    Malformed,     // no SIP start line, broken header lines, control bytes
    MissingHeader, // Via, From, To, Call-ID or CSeq absent, or a single one repeated
    BadLength,     // Content-Length that is not the body's length
    Unreadable,    // a mandatory header, URI or Via the SIP stack cannot parse
    UriTooLong,    // a well-formed request whose Request-URI breaks a bound
    OverBounds,    // a well-formed message with too many or too long fields
};

// The headers decided by, under their long and compact names.
enum SipHeader {
    Via, From, To, CallId, CSeq, ContentLength, Route, RecordRoute, Replaces, Join, ReferTo, WwwAuthenticate,
    ProxyAuthenticate, ContentType, kSipHeaders
};

struct SipOutline {
    bool request = false;
    std::string_view method; // the request's; for a response, its CSeq's
    std::string_view uri;    // the Request-URI
    int status = 0;          // a response's
    std::string_view body;
    std::array<std::vector<std::string_view>, kSipHeaders> values;

    std::string_view callId() const { return values[CallId].empty() ? std::string_view() : values[CallId][0]; }
    bool hasToTag() const;
    std::string_view topBranch() const;
    bool has(SipHeader h) const { return !values[h].empty(); }
};

// Fills out as far as it reads; its views point into data.
SipKind Outline(const char *data, std::size_t size, SipOutline *out);

// The SIP stack's own parser has the last word: true when it reads the
// head in full, every mandatory header, a Via with a host, and URIs it
// accepts.
bool StackReads(const char *data, std::size_t size, bool request);

// The stack's SDP parser has the last word on a session description: true
// when it reads it and finds the version, origin and session name the
// engine takes for granted.
bool StackReadsSdp(std::string_view body);

// SIP's names and tokens compare without regard to case; blanks are
// spaces and tabs.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsNoCase(std::string_view s, std::string_view prefix);
std::string_view TrimBlanks(std::string_view s);

// host[:port] of a SIP URI (sip:user@host:port;params), lower case; empty
// when it has none.
std::string HostPortOf(std::string_view uri);
// The same for a server as an account names it: a SIP URI, or host[:port]
// bare (which may well begin with "sip", as sip.provider.example does).
std::string ServerHostPort(std::string_view server);

} // namespace rtc::lp
