#include "tests/support/SipCaller.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray longName(const QByteArray &name)
{
    static const std::pair<const char *, const char *> compact[] = {
        {"v", "via"}, {"f", "from"}, {"t", "to"}, {"i", "call-id"}, {"m", "contact"}, {"l", "content-length"},
        {"c", "content-type"}, {"r", "refer-to"}, {"o", "event"}, {"k", "supported"},
    };
    const QByteArray lower = name.trimmed().toLower();
    for (const auto &[s, l] : compact)
        if (lower == s)
            return l;
    return lower;
}

// The entries of a header field separated by commas outside <> and quotes.
QList<QByteArray> entries(const QByteArray &value)
{
    QList<QByteArray> out;
    int angle = 0;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '<')
            ++angle;
        else if (!quoted && c == '>')
            --angle;
        else if (!quoted && angle == 0 && c == ',') {
            out << value.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    out << value.mid(start).trimmed();
    return out;
}

QByteArray uriOf(const QByteArray &nameAddr)
{
    const qsizetype open = nameAddr.indexOf('<'), close = nameAddr.indexOf('>', open);
    if (open >= 0 && close > open)
        return nameAddr.mid(open + 1, close - open - 1);
    return nameAddr.split(';').value(0).trimmed();
}

QByteArray tagOf(const QByteArray &fromOrTo)
{
    const qsizetype close = fromOrTo.lastIndexOf('>');
    const QByteArray params = fromOrTo.mid(close < 0 ? 0 : close);
    for (const QByteArray &p : params.split(';'))
        if (p.trimmed().toLower().startsWith("tag="))
            return p.trimmed().mid(4);
    return {};
}

} // namespace

int BindLoopbackUdp(int *port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof local;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(local.sin_port);
    return fd;
}

QByteArray SipMessage::method() const
{
    if (isRequest())
        return startLine.left(startLine.indexOf(' '));
    const QByteArray cseq = header("cseq").simplified();
    return cseq.mid(cseq.indexOf(' ') + 1);
}

QByteArray SipMessage::header(const QByteArray &name) const
{
    for (const auto &[n, v] : headers)
        if (n == name)
            return v;
    return {};
}

QList<QByteArray> SipMessage::all(const QByteArray &name) const
{
    QList<QByteArray> out;
    for (const auto &[n, v] : headers)
        if (n == name)
            out << entries(v);
    return out;
}

QByteArray SipMessage::toTag() const
{
    return tagOf(header("to"));
}

SipMessage SipMessage::Parse(const QByteArray &datagram)
{
    SipMessage m;
    m.raw = datagram;
    const qsizetype headEnd = datagram.indexOf("\r\n\r\n");
    const QByteArray head = headEnd < 0 ? datagram : datagram.left(headEnd);
    m.body = headEnd < 0 ? QByteArray() : datagram.mid(headEnd + 4);
    const QList<QByteArray> lines = head.split('\n');
    m.startLine = lines.value(0).trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        if ((line.startsWith(' ') || line.startsWith('\t')) && !m.headers.isEmpty()) {
            m.headers.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m.headers.append({longName(line.left(colon)), line.mid(colon + 1).trimmed()});
    }
    return m;
}

SipCaller::SipCaller(int providerPort, QByteArray user, QByteArray domain)
    : providerPort_(providerPort), user_(std::move(user)), domain_(std::move(domain))
{
    fd_ = BindLoopbackUdp(&port_);
}

SipCaller::~SipCaller()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray SipCaller::fresh(const char *prefix)
{
    return prefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + QByteArray::number(++counter_);
}

QByteArray SipCaller::via(const QByteArray &branch) const
{
    return "Via: SIP/2.0/UDP 127.0.0.1:" + QByteArray::number(port_) + ";rport;branch=" + branch + "\r\n";
}

QByteArray SipCaller::Sdp(int port)
{
    return "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=audio " + QByteArray::number(port)
           + " RTP/AVP 0 101\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:101 telephone-event/8000\r\n";
}

QByteArray SipCaller::request(const QByteArray &method, const QByteArray &to, const QByteArray &extraHeaders,
                              const QByteArray &body, QByteArray callId)
{
    if (callId.isEmpty())
        callId = fresh("c");
    const QByteArray uri = "sip:" + to + "@127.0.0.1:" + QByteArray::number(providerPort_);
    return method + " " + uri + " SIP/2.0\r\n" + via(fresh("z9hG4bK")) + "Max-Forwards: 70\r\nFrom: <sip:" + user_
           + "@" + domain_ + ">;tag=" + fresh("t") + "\r\nTo: <" + uri + ">\r\nCall-ID: " + callId + "\r\nCSeq: 1 "
           + method + "\r\nContact: <sip:" + user_ + "@127.0.0.1:" + QByteArray::number(port_) + ">\r\n" + extraHeaders
           + (body.isEmpty() ? QByteArray() : QByteArray("Content-Type: application/sdp\r\n"))
           + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

void SipCaller::sendTo(int port, const QByteArray &datagram)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd_, datagram.constData(), size_t(datagram.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
}

void SipCaller::send(const QByteArray &datagram)
{
    sendTo(providerPort_, datagram);
}

void SipCaller::poll()
{
    QByteArray buf(65536, '\0');
    for (;;) {
        const ssize_t n = ::recv(fd_, buf.data(), size_t(buf.size()), MSG_DONTWAIT);
        if (n <= 0)
            return;
        const SipMessage m = SipMessage::Parse(buf.left(n));
        received_ << m;
        handle(m);
    }
}

bool SipCaller::waitFor(const std::function<bool(const SipMessage &)> &match, int ms, SipMessage *found)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype seen = 0;
    for (;;) {
        poll();
        for (; seen < received_.size(); ++seen)
            if (match(received_[seen])) {
                if (found)
                    *found = received_[seen];
                return true;
            }
        if (clock.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
}

bool SipCaller::waitForResponse(const QByteArray &callId, const QByteArray &method, int minStatus, int ms,
                                SipMessage *found)
{
    return waitFor(
        [&](const SipMessage &m) {
            return !m.isRequest() && m.callId() == callId && m.method() == method && m.status() >= minStatus;
        },
        ms, found);
}

SipCaller::Dialog SipCaller::invite(const QByteArray &to, const QByteArray &extraHeaders)
{
    Dialog d;
    const QByteArray m = request("INVITE", to, extraHeaders, Sdp(9));
    const SipMessage sent = SipMessage::Parse(m);
    d.callId = sent.callId();
    d.localTag = tagOf(sent.header("from"));
    d.inviteBranch = sent.header("via").mid(sent.header("via").indexOf("branch=") + 7);
    send(m);
    return d;
}

void SipCaller::Learn(Dialog *dialog, const SipMessage &answer)
{
    dialog->remoteTag = answer.toTag();
    dialog->remoteTarget = uriOf(answer.header("contact"));
    dialog->routes = answer.all("record-route");
    std::reverse(dialog->routes.begin(), dialog->routes.end());
}

QByteArray SipCaller::inDialog(Dialog *d, const QByteArray &method, const QByteArray &extraHeaders,
                               const QByteArray &body)
{
    QByteArray routes;
    for (const QByteArray &r : d->routes)
        routes += "Route: " + r + "\r\n";
    const int cseq = method == "ACK" || method == "CANCEL" ? d->cseq : ++d->cseq;
    return method + " " + d->remoteTarget + " SIP/2.0\r\n" + via(fresh("z9hG4bK")) + routes
           + "Max-Forwards: 70\r\nFrom: <sip:" + user_ + "@" + domain_ + ">;tag=" + d->localTag
           + "\r\nTo: <sip:x@127.0.0.1>;tag=" + d->remoteTag + "\r\nCall-ID: " + d->callId + "\r\nCSeq: "
           + QByteArray::number(cseq) + " " + method + "\r\nContact: <sip:" + user_ + "@127.0.0.1:"
           + QByteArray::number(port_) + ">\r\n" + extraHeaders
           + (body.isEmpty() ? QByteArray() : QByteArray("Content-Type: application/sdp\r\n"))
           + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// As a phone would: requests get 200 (an INVITE with an answer), final
// answers to an INVITE an ACK.
void SipCaller::handle(const SipMessage &m)
{
    const QByteArray callId = m.callId(), cseq = m.header("cseq");
    if (m.isRequest()) {
        if (m.method() == "ACK")
            return;
        QByteArray vias;
        for (const auto &[n, v] : m.headers)
            if (n == "via")
                vias += "Via: " + v + "\r\n";
        QByteArray to = m.header("to");
        if (m.toTag().isEmpty())
            to += ";tag=" + fresh("t");
        const QByteArray body = m.method() == "INVITE" ? Sdp(9) : QByteArray();
        send("SIP/2.0 200 OK\r\n" + vias + "From: " + m.header("from") + "\r\nTo: " + to + "\r\nCall-ID: " + callId
             + "\r\nCSeq: " + cseq + "\r\nContact: <sip:" + user_ + "@127.0.0.1:" + QByteArray::number(port_) + ">\r\n"
             + (body.isEmpty() ? QByteArray() : QByteArray("Content-Type: application/sdp\r\n"))
             + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        return;
    }
    if (m.method() != "INVITE" || m.status() < 200)
        return;
    const QByteArray number = cseq.simplified().split(' ').value(0);
    if (m.status() >= 300) {
        // Hop by hop, in the INVITE's own transaction.
        const QByteArray topVia = m.header("via");
        send("ACK sip:x@127.0.0.1:" + QByteArray::number(providerPort_) + " SIP/2.0\r\nVia: " + entries(topVia).value(0)
             + "\r\nMax-Forwards: 70\r\nFrom: " + m.header("from") + "\r\nTo: " + m.header("to") + "\r\nCall-ID: "
             + callId + "\r\nCSeq: " + number + " ACK\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    Dialog d;
    Learn(&d, m);
    d.callId = callId;
    d.localTag = tagOf(m.header("from"));
    d.cseq = number.toInt();
    send(inDialog(&d, "ACK"));
}
