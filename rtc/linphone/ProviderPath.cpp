#include "rtc/linphone/ProviderPath.h"

#include "rtc/linphone/SipOutline.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cctype>
#include <charconv>
#include <cstring>

namespace rtc::lp {

namespace {

using std::string_view;

std::string randomToken(int bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        const quint32 v = QRandomGenerator::global()->generate();
        out += kHex[v & 15];
        out += kHex[(v >> 4) & 15];
    }
    return out;
}

// The numeric form of an IPv4 or IPv6 address (brackets allowed), as
// inet_ntop writes it; empty when it is not one.
std::string numeric(string_view text)
{
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || text.size() > INET6_ADDRSTRLEN)
        return {};
    const std::string s(text);
    unsigned char bytes[16];
    char out[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, s.c_str(), bytes) == 1 && inet_ntop(AF_INET, bytes, out, sizeof out))
        return out;
    if (inet_pton(AF_INET6, s.c_str(), bytes) == 1 && inet_ntop(AF_INET6, bytes, out, sizeof out))
        return out;
    return {};
}

int portNumber(string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535)
        return 0;
    return port;
}

// A user part with anything but unreserved characters escaped.
std::string escapedUser(const std::string &user)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : user) {
        if (std::isalnum(c) || std::strchr("-_.!~*'()", c)) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string hostForUri(const std::string &address)
{
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

} // namespace

ProviderPath::ProviderPath(Hooks hooks) : ProviderPath(std::move(hooks), Timing()) {}

ProviderPath::ProviderPath(Hooks hooks, Timing timing) : hooks_(std::move(hooks)), timing_(timing)
{
    for (QTimer *t : {&nextProbe_, &retransmitTimer_, &giveUpTimer_})
        t->setSingleShot(true);
    QObject::connect(&nextProbe_, &QTimer::timeout, [this] { probe(); });
    QObject::connect(&retransmitTimer_, &QTimer::timeout, [this] { retransmit(); });
    QObject::connect(&giveUpTimer_, &QTimer::timeout, [this] { giveUp(); });
}

void ProviderPath::start(const std::string &user, const std::string &domain, const std::string &server,
                         const SeenAt &local)
{
    const bool same = running_ && user == user_ && domain == domain_ && server == server_ && local == local_;
    if (same)
        return;
    stop();
    running_ = true;
    user_ = user;
    domain_ = domain;
    server_ = server;
    local_ = local;
    tag_ = randomToken(6);
    next(timing_.firstMs);
}

void ProviderPath::stop()
{
    running_ = waiting_ = answeredOnce_ = lost_ = registrarAsked_ = false;
    movedTo_.reset();
    nextProbe_.stop();
    retransmitTimer_.stop();
    giveUpTimer_.stop();
}

void ProviderPath::next(int ms)
{
    waiting_ = false;
    retransmitTimer_.stop();
    giveUpTimer_.stop();
    nextProbe_.start(ms);
}

void ProviderPath::probe()
{
    if (!running_)
        return;
    callId_ = randomToken(12);
    branch_ = "z9hG4bK" + randomToken(10);
    request_ = Request(user_, domain_, server_, local_, callId_, branch_, tag_, ++cseq_);
    if (!hooks_.send(request_, callId_)) {
        next(lost_ ? timing_.lostIntervalMs : timing_.intervalMs);
        return;
    }
    waiting_ = true;
    retransmitMs_ = timing_.firstRetransmitMs;
    retransmitTimer_.start(retransmitMs_);
    giveUpTimer_.start(timing_.giveUpMs);
}

void ProviderPath::retransmit()
{
    if (!waiting_)
        return;
    hooks_.send(request_, callId_);
    retransmitMs_ *= 2;
    retransmitTimer_.start(retransmitMs_);
}

void ProviderPath::giveUp()
{
    if (!waiting_)
        return;
    if (answeredOnce_ && !lost_) {
        lost_ = true;
        hooks_.lost();
    } else if (!answeredOnce_ && !registrarAsked_) {
        registrarAsked_ = true;
        hooks_.unanswered();
    }
    next(lost_ ? timing_.lostIntervalMs : timing_.intervalMs);
}

void ProviderPath::confirmed()
{
    if (!running_ || !lost_)
        return;
    lost_ = false;
    movedTo_.reset();
    next(timing_.intervalMs);
}

void ProviderPath::poll()
{
    if (!waiting_)
        return;
    const std::string via = hooks_.takeAnswer();
    if (!via.empty())
        answered(via);
}

void ProviderPath::answered(const std::string &via)
{
    answeredOnce_ = true;
    next(timing_.intervalMs);
    if (lost_) {
        lost_ = false;
        movedTo_.reset();
        hooks_.back();
        return;
    }
    const std::optional<SeenAt> seen = SeenIn(via);
    const std::optional<SeenAt> contact = hooks_.contact();
    if (!seen || !contact || *seen == *contact || (movedTo_ && *movedTo_ == *seen))
        return;
    // Asked once for each new address: a registrar that keeps the contact
    // as sent is not asked again and again.
    movedTo_ = *seen;
    hooks_.moved(*seen);
}

QByteArray ProviderPath::Request(const std::string &user, const std::string &domain, const std::string &server,
                                 const SeenAt &local, const std::string &callId, const std::string &branch,
                                 const std::string &tag, unsigned cseq)
{
    const std::string from = "sip:" + escapedUser(user) + "@" + domain;
    std::string r;
    r += "OPTIONS sip:" + server + " SIP/2.0\r\n";
    r += "Via: SIP/2.0/UDP " + hostForUri(local.address) + ":" + std::to_string(local.port) + ";branch=" + branch
         + ";rport\r\n";
    r += "Max-Forwards: 70\r\n";
    r += "From: <" + from + ">;tag=" + tag + "\r\n";
    r += "To: <" + from + ">\r\n";
    r += "Call-ID: " + callId + "\r\n";
    r += "CSeq: " + std::to_string(cseq) + " OPTIONS\r\n";
    r += "Accept: application/sdp\r\n";
    r += "Content-Length: 0\r\n\r\n";
    return QByteArray::fromStdString(r);
}

std::optional<SeenAt> ProviderPath::SeenIn(string_view via)
{
    // SIP/2.0/UDP host[:port];param=value;...
    via = TrimBlanks(via);
    const std::size_t space = via.find_first_of(" \t");
    if (space == string_view::npos || !StartsNoCase(via, "SIP/2.0/"))
        return std::nullopt;
    string_view rest = TrimBlanks(via.substr(space));
    const std::size_t semi = rest.find(';');
    const string_view sentBy = TrimBlanks(rest.substr(0, semi));
    string_view host = sentBy, port;
    if (!sentBy.empty() && sentBy.front() == '[') {
        const std::size_t close = sentBy.find(']');
        if (close == string_view::npos)
            return std::nullopt;
        host = sentBy.substr(0, close + 1);
        if (close + 1 < sentBy.size() && sentBy[close + 1] == ':')
            port = sentBy.substr(close + 2);
    } else if (const std::size_t colon = sentBy.find(':'); colon != string_view::npos) {
        host = sentBy.substr(0, colon);
        port = sentBy.substr(colon + 1);
    }
    SeenAt out;
    out.address = numeric(host);
    out.port = port.empty() ? 5060 : portNumber(port);
    for (std::size_t at = semi; at != string_view::npos && at < rest.size();) {
        const std::size_t end = rest.find(';', at + 1);
        const string_view param = TrimBlanks(rest.substr(at + 1, end == string_view::npos ? end : end - at - 1));
        at = end;
        if (StartsNoCase(param, "received=")) {
            const std::string address = numeric(TrimBlanks(param.substr(9)));
            if (address.empty())
                return std::nullopt;
            out.address = address;
        } else if (StartsNoCase(param, "rport=")) {
            out.port = portNumber(TrimBlanks(param.substr(6)));
        }
    }
    if (out.address.empty() || out.port == 0)
        return std::nullopt;
    return out;
}

} // namespace rtc::lp
