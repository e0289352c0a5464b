#include "rtc/linphone/SipOutline.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include <belle-sip/belle-sdp.h>
#include <belle-sip/belle-sip.h>

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

constexpr int kOther = kSipHeaders;

int headerOf(string_view name)
{
    static const std::pair<string_view, SipHeader> names[] = {
        {"via", Via},       {"v", Via},         {"from", From},       {"f", From},
        {"to", To},         {"t", To},          {"call-id", CallId},  {"i", CallId},
        {"cseq", CSeq},     {"content-length", ContentLength},        {"l", ContentLength},
        {"route", Route},   {"record-route", RecordRoute},            {"replaces", Replaces},
        {"join", Join},     {"refer-to", ReferTo},                    {"r", ReferTo},
        {"www-authenticate", WwwAuthenticate},  {"proxy-authenticate", ProxyAuthenticate},
        {"content-type", ContentType},          {"c", ContentType},
    };
    for (const auto &[n, h] : names)
        if (EqualsNoCase(name, n))
            return h;
    return kOther;
}

bool hasSipUri(string_view v)
{
    for (std::size_t i = 0; i + 4 <= v.size(); ++i)
        if (StartsNoCase(v.substr(i), "sip:") || StartsNoCase(v.substr(i), "sips:") || StartsNoCase(v.substr(i), "tel:"))
            return true;
    return false;
}

// The entries of a header value (separated by commas outside quotes and
// <>) and the most parameters (';' and '&' outside quotes) any one holds.
struct Counts {
    std::size_t entries = 1;
    std::size_t parameters = 0;
};

Counts count(string_view value)
{
    Counts c;
    std::size_t here = 0;
    bool quoted = false;
    int angle = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char ch = value[i];
        if (quoted) {
            if (ch == '\\')
                ++i;
            else if (ch == '"')
                quoted = false;
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == '<') {
            ++angle;
        } else if (ch == '>') {
            angle = std::max(0, angle - 1);
        } else if (ch == ';' || ch == '&') {
            c.parameters = std::max(c.parameters, ++here);
        } else if (ch == ',' && angle == 0) {
            ++c.entries;
            here = 0;
        }
    }
    return c;
}

} // namespace

bool StackReadsSdp(std::string_view body)
{
    const std::string text(body); // the parser reads up to a NUL
    belle_sip_object_pool_t *pool = belle_sip_object_pool_push();
    belle_sdp_session_description_t *sdp = belle_sdp_session_description_parse(text.c_str());
    bool reads = false;
    if (sdp) {
        belle_sip_object_ref(sdp);
        const belle_sdp_origin_t *origin = belle_sdp_session_description_get_origin(sdp);
        reads = origin && belle_sdp_origin_get_address(origin) && belle_sdp_session_description_get_version(sdp)
                && belle_sdp_session_description_get_session_name(sdp);
        belle_sip_object_unref(sdp);
    }
    belle_sip_object_unref(pool);
    return reads;
}

bool EqualsNoCase(string_view a, string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsNoCase(string_view s, string_view prefix)
{
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

string_view TrimBlanks(string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool SipOutline::hasToTag() const
{
    if (values[To].empty())
        return false;
    const string_view to = values[To][0];
    const std::size_t close = to.rfind('>');
    const string_view params = to.substr(close == string_view::npos ? 0 : close);
    for (std::size_t at = params.find(';'); at != string_view::npos; at = params.find(';', at + 1))
        if (StartsNoCase(TrimBlanks(params.substr(at + 1)), "tag="))
            return true;
    return false;
}

string_view SipOutline::topBranch() const
{
    if (values[Via].empty())
        return {};
    const string_view via = values[Via][0];
    for (std::size_t at = via.find(';'); at != string_view::npos; at = via.find(';', at + 1)) {
        const string_view param = TrimBlanks(via.substr(at + 1));
        if (StartsNoCase(param, "branch=")) {
            const string_view value = param.substr(7);
            return value.substr(0, value.find_first_of(";, \t"));
        }
    }
    return {};
}

std::string HostPortOf(string_view uri)
{
    uri = TrimBlanks(uri);
    if (StartsNoCase(uri, "sip:"))
        uri.remove_prefix(4);
    else if (StartsNoCase(uri, "sips:"))
        uri.remove_prefix(5);
    else
        return {};
    const std::size_t end = uri.find_first_of(";?>");
    uri = uri.substr(0, end);
    if (const std::size_t at = uri.rfind('@'); at != string_view::npos)
        uri.remove_prefix(at + 1);
    std::string out(uri);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string ServerHostPort(string_view server)
{
    server = TrimBlanks(server);
    if (StartsNoCase(server, "sip:") || StartsNoCase(server, "sips:"))
        return HostPortOf(server);
    return HostPortOf("sip:" + std::string(server));
}

SipKind Outline(const char *data, std::size_t size, SipOutline *out)
{
    using V = SipKind;
    using B = SipBounds;
    if (size > B::kMaxDatagram)
        return V::TooLarge;
    const string_view all(data, size);
    // An empty datagram the stack would read as its peer hanging up: it
    // drops the channel, and every transaction on it loses its way back.
    if (size == 0)
        return V::Malformed;
    if (size <= 4 && all.find_first_not_of("\r\n") == string_view::npos)
        return V::Keepalive;
    const std::size_t headEnd = all.find("\r\n\r\n");
    if (headEnd == string_view::npos)
        return V::Malformed;
    const string_view head = all.substr(0, headEnd);
    const std::size_t bodySize = size - headEnd - 4;
    out->body = string_view(data + headEnd + 4, bodySize);
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

    const std::size_t lineEnd = head.find("\r\n");
    const string_view start = head.substr(0, lineEnd);
    const std::size_t sp1 = start.find(' ');
    const std::size_t sp2 = sp1 == string_view::npos ? sp1 : start.find(' ', sp1 + 1);
    if (sp2 == string_view::npos)
        return V::Malformed;
    const string_view first = start.substr(0, sp1), second = start.substr(sp1 + 1, sp2 - sp1 - 1),
                      third = start.substr(sp2 + 1);
    bool overBounds = false, uriTooLong = false;
    if (first == "SIP/2.0") {
        // Status line: SIP/2.0 SP 3DIGIT SP reason
        if (!isDigits(second, 3) || second.size() != 3 || second[0] < '1' || second[0] > '6')
            return V::Malformed;
        out->request = false;
        out->status = std::stoi(std::string(second));
    } else {
        // Request line: Method SP Request-URI SP SIP/2.0
        const std::size_t colon = second.find(':');
        if (!isToken(first) || third != "SIP/2.0" || colon == string_view::npos || colon == 0
            || !isToken(second.substr(0, colon)) || second.find(' ') != string_view::npos)
            return V::Malformed;
        out->request = true;
        out->method = first;
        out->uri = second;
        uriTooLong = second.size() > B::kMaxRequestUri || count(second).parameters > B::kMaxParameters;
    }

    // Header fields; a line starting with a blank continues the one before.
    std::size_t fields = 0;
    std::array<std::size_t, kSipHeaders> entries{};
    string_view name, value;
    const char *fieldStart = nullptr;
    auto take = [&]() {
        if (name.empty())
            return;
        ++fields;
        const std::size_t length = std::size_t(value.data() + value.size() - fieldStart);
        const Counts c = count(value);
        if (length > B::kMaxFieldLength || c.parameters > B::kMaxParameters)
            overBounds = true;
        const int h = headerOf(name);
        if (h != kOther) {
            out->values[h].push_back(TrimBlanks(value));
            entries[h] += c.entries;
        }
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
            value = string_view(valueStart, std::size_t(line.data() + line.size() - valueStart));
        } else {
            take();
            const std::size_t colon = line.find(':');
            if (colon == string_view::npos || !isToken(TrimBlanks(line.substr(0, colon))))
                return V::Malformed;
            name = TrimBlanks(line.substr(0, colon));
            value = line.substr(colon + 1);
            valueStart = value.data();
            fieldStart = line.data();
        }
        pos = end + 2;
    }
    take();
    if (fields > B::kMaxHeaderFields)
        overBounds = true;
    for (SipHeader h : {Via, Route, RecordRoute})
        if (entries[h] > B::kMaxEntries)
            overBounds = true;

    const auto &v = out->values;
    if (v[Via].empty() || v[From].size() != 1 || v[To].size() != 1 || v[CallId].size() != 1 || v[CSeq].size() != 1
        || v[ContentLength].size() > 1)
        return V::MissingHeader;
    if (v[CallId][0].empty() || v[CallId][0].find_first_of(" \t") != string_view::npos || !hasSipUri(v[From][0])
        || !hasSipUri(v[To][0]))
        return V::Malformed;
    for (string_view via : v[Via])
        if (!StartsNoCase(via, "SIP/2.0/"))
            return V::Malformed;
    // CSeq: a number below 2^31 and a method, the request's own.
    const string_view cseq = v[CSeq][0];
    const std::size_t gap = cseq.find_first_of(" \t");
    if (gap == string_view::npos || !isDigits(cseq.substr(0, gap), 10) || std::stoull(std::string(cseq.substr(0, gap))) > 0x7FFFFFFFull)
        return V::Malformed;
    const string_view cseqMethod = TrimBlanks(cseq.substr(gap));
    if (!isToken(cseqMethod) || (out->request && cseqMethod != out->method))
        return V::Malformed;
    if (!out->request)
        out->method = cseqMethod;
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
    if (uriTooLong)
        return V::UriTooLong;
    if (overBounds)
        return V::OverBounds;
    return out->request ? V::Request : V::Response;
}

// A header the stack cannot parse it drops, and a request left without a
// mandatory header it answers "400" through a channel it may not find (a
// crash); a request without Call-ID it passes on to code that reads it
// unchecked (a crash).
bool StackReads(const char *data, std::size_t size, bool request)
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

} // namespace rtc::lp
