#include "rtc/linphone/SipPolicy.h"

#include <QHash>

#include <algorithm>
#include <cctype>
#include <optional>

namespace rtc::lp::SipPolicy {

const char kAllow[] = "INVITE, ACK, CANCEL, BYE, OPTIONS, INFO, UPDATE, PRACK";

namespace {

using std::string_view;

bool allowed(string_view method)
{
    // Methods are case-sensitive (RFC 3261, 7.1).
    for (string_view m : {"INVITE", "ACK", "CANCEL", "BYE", "OPTIONS", "INFO", "UPDATE", "PRACK"})
        if (method == m)
            return true;
    return false;
}

QByteArray bytes(string_view s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

namespace {
bool isSdp(const SipOutline &o)
{
    if (o.values[ContentType].size() != 1)
        return false;
    const string_view type = TrimBlanks(o.values[ContentType][0]);
    return StartsNoCase(type, "application/sdp")
           && (type.size() == 15 || type[15] == ';' || type[15] == ' ' || type[15] == '\t');
}
} // namespace

Refusal RefusalFor(const SipOutline &o)
{
    const string_view method = o.method;
    if (!allowed(method)) {
        if (method == "SUBSCRIBE" || method == "PUBLISH")
            return {"489 Bad Event", {}};
        if (method == "NOTIFY")
            return {"481 Subscription Does Not Exist", {}};
        return {"405 Method Not Allowed", QByteArray("Allow: ") + kAllow + "\r\n"};
    }
    if ((method == "BYE" || method == "INFO" || method == "UPDATE" || method == "PRACK") && !o.hasToTag())
        return {"481 Call/Transaction Does Not Exist", {}};
    if (method == "INVITE") {
        // Taking over or joining a call by a stranger's word; the phone has
        // no transfer either.
        if (o.has(Replaces))
            return {"420 Bad Extension", "Unsupported: replaces\r\n"};
        if (o.has(Join))
            return {"420 Bad Extension", "Unsupported: join\r\n"};
        if (o.has(ReferTo))
            return {"403 Forbidden", {}};
    }
    if (!UsableBody(o))
        return isSdp(o) ? Refusal{"488 Not Acceptable Here", {}}
                        : Refusal{"415 Unsupported Media Type", "Accept: application/sdp\r\n"};
    return {};
}

bool UsableBody(const SipOutline &o)
{
    const string_view m = o.method;
    if (TrimBlanks(o.body).empty() || !(m == "INVITE" || m == "UPDATE" || m == "PRACK" || m == "ACK"))
        return true;
    return isSdp(o) && StackReadsSdp(o.body);
}

namespace {

// The value of name=value among a challenge's parameters (outside quoted
// values), its quotes kept; none when absent.
std::optional<string_view> parameter(string_view params, string_view name)
{
    bool quoted = false;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const char c = params[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            continue;
        }
        const bool boundary = i == 0 || params[i - 1] == ',' || params[i - 1] == ' ' || params[i - 1] == '\t';
        if (!boundary || !StartsNoCase(params.substr(i), name))
            continue;
        string_view rest = TrimBlanks(params.substr(i + name.size()));
        if (rest.empty() || rest.front() != '=')
            continue;
        rest = TrimBlanks(rest.substr(1));
        if (!rest.empty() && rest.front() == '"') {
            const std::size_t close = rest.find('"', 1);
            return close == string_view::npos ? string_view() : rest.substr(0, close + 1);
        }
        return rest.substr(0, rest.find_first_of(", \t"));
    }
    return std::nullopt;
}

bool isQuoted(std::optional<string_view> v)
{
    return v && v->size() >= 2 && v->front() == '"' && v->back() == '"';
}

} // namespace

bool UsableChallenge(const SipOutline &o)
{
    if (o.request || (o.status != 401 && o.status != 407))
        return true;
    const auto &challenges = o.values[o.status == 401 ? WwwAuthenticate : ProxyAuthenticate];
    if (challenges.empty())
        return false;
    for (string_view c : challenges) {
        if (!StartsNoCase(c, "Digest") || c.size() < 7 || (c[6] != ' ' && c[6] != '\t'))
            return false;
        const string_view params = c.substr(7);
        if (!isQuoted(parameter(params, "realm")) || !isQuoted(parameter(params, "nonce")))
            return false;
        // The algorithms the engine answers; with any other it never
        // answers, and ending that call later crashes the phone.
        if (const auto algorithm = parameter(params, "algorithm")) {
            string_view a = *algorithm;
            if (isQuoted(algorithm))
                a = a.substr(1, a.size() - 2);
            if (!EqualsNoCase(a, "MD5") && !EqualsNoCase(a, "SHA-256"))
                return false;
        }
    }
    return true;
}

Refusal OverBounds(SipKind kind)
{
    if (kind == SipKind::UriTooLong)
        return {"414 Request-URI Too Long", {}};
    return {"400 Bad Request", {}};
}

QByteArray Answer(const SipOutline &o, const char *status, const QByteArray &headers)
{
    if (!o.request || o.method == "ACK" || o.values[To].empty() || o.values[CallId].empty() || o.values[CSeq].empty()
        || o.values[From].empty())
        return {};
    QByteArray out = QByteArray("SIP/2.0 ") + status + "\r\n";
    for (string_view via : o.values[Via])
        out += "Via: " + bytes(via) + "\r\n";
    out += "From: " + bytes(o.values[From][0]) + "\r\n";
    QByteArray to = bytes(o.values[To][0]);
    if (!o.hasToTag()) {
        // The same tag for a retransmission of the request.
        const size_t seed = qHash(bytes(o.callId())) ^ qHash(bytes(o.topBranch()));
        to += ";tag=" + QByteArray::number(quint32(seed), 16);
    }
    out += "To: " + to + "\r\n";
    out += "Call-ID: " + bytes(o.values[CallId][0]) + "\r\n";
    out += "CSeq: " + bytes(o.values[CSeq][0]) + "\r\n";
    out += headers;
    out += "Content-Length: 0\r\n\r\n";
    return out;
}

QByteArray WithOwnAllow(const char *data, std::size_t size)
{
    const QByteArray message = QByteArray::fromRawData(data, static_cast<qsizetype>(size));
    const qsizetype headEnd = message.indexOf("\r\n\r\n");
    // Most messages carry no Allow: they go out untouched, uncopied.
    const string_view head(data, headEnd < 0 ? 0 : std::size_t(headEnd));
    bool hasAllow = false;
    for (std::size_t at = head.find('\n'); at != string_view::npos && !hasAllow; at = head.find('\n', at + 1))
        hasAllow = StartsNoCase(head.substr(at + 1), "allow");
    if (!hasAllow)
        return {};
    QByteArray out;
    bool changed = false;
    qsizetype pos = 0;
    while (pos < headEnd) {
        qsizetype end = message.indexOf("\r\n", pos);
        // A folded field goes on over the lines that begin with a blank.
        while (end < headEnd && (message[end + 2] == ' ' || message[end + 2] == '\t'))
            end = message.indexOf("\r\n", end + 2);
        const QByteArray line = message.mid(pos, end - pos);
        const qsizetype colon = line.indexOf(':');
        if (pos > 0 && colon > 0 && line.left(colon).trimmed().toLower() == "allow") {
            const QByteArray own = QByteArray("Allow: ") + kAllow;
            changed |= line.simplified() != own;
            out += own + "\r\n";
        } else {
            out += line + "\r\n";
        }
        pos = end + 2;
    }
    if (!changed)
        return {};
    return out + message.mid(headEnd + 2);
}

QByteArray WithPublicMedia(const QByteArray &message, const std::string &local, const std::string &publicAddress)
{
    if (local.empty() || publicAddress.empty() || local == publicAddress)
        return {};
    const qsizetype headEnd = message.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return {};
    const QByteArray body = message.mid(headEnd + 4);
    if (!body.contains("m=audio") || body.contains("a=candidate:"))
        return {};
    const QByteArray from = QByteArray("c=IN IP4 ") + local.c_str(), to = QByteArray("c=IN IP4 ") + publicAddress.c_str();
    QByteArray out;
    bool changed = false;
    for (const QByteArray &line : body.split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (bare == from) {
            out += to + (line.endsWith('\r') ? "\r\n" : "\n");
            changed = true;
        } else {
            out += line + '\n';
        }
    }
    if (!changed)
        return {};
    out.chop(1); // the split's last piece had no line end of its own
    // The head again, with the body's new length.
    QByteArray head;
    bool hasLength = false;
    for (const QByteArray &line : message.left(headEnd).split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        const qsizetype colon = bare.indexOf(':');
        const QByteArray name = colon > 0 ? bare.left(colon).trimmed().toLower() : QByteArray();
        if (name == "content-length" || name == "l") {
            head += "Content-Length: " + QByteArray::number(out.size()) + "\r\n";
            hasLength = true;
        } else {
            head += bare + "\r\n";
        }
    }
    if (!hasLength)
        return {};
    return head + "\r\n" + out;
}

} // namespace rtc::lp::SipPolicy
