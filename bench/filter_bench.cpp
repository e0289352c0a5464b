// What the SIP filter costs per datagram: its own first look alone would be
// cheap; the second reading by the SIP stack's parser is most of the cost.
// Prints a Markdown table (run by hand: build/default/bench/filter_bench).
#include "rtc/linphone/SipFilter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cstdio>

using rtc::lp::SipFilter;

namespace {

const QByteArray kSdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                        "m=audio 4000 RTP/AVP 0 8 101\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:8 PCMA/8000\r\n"
                        "a=rtpmap:101 telephone-event/8000\r\n";

QByteArray invite()
{
    return "INVITE sip:1001@127.0.0.1:5070 SIP/2.0\r\n"
           "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK776asdhds;rport\r\n"
           "Via: SIP/2.0/UDP 127.0.0.1:5062;received=127.0.0.1;branch=z9hG4bKnashds8\r\n"
           "Record-Route: <sip:127.0.0.1:5060;lr>\r\n"
           "Max-Forwards: 69\r\n"
           "From: \"Bob\" <sip:bob@127.0.0.1>;tag=1928301774\r\n"
           "To: <sip:1001@127.0.0.1>\r\n"
           "Call-ID: a84b4c76e66710@127.0.0.1\r\n"
           "CSeq: 314159 INVITE\r\n"
           "Contact: <sip:bob@127.0.0.1:5062>\r\n"
           "User-Agent: Softphone/0.1\r\n"
           "Allow: INVITE, ACK, CANCEL, OPTIONS, BYE, REFER, NOTIFY, MESSAGE, SUBSCRIBE, INFO, UPDATE\r\n"
           "Content-Type: application/sdp\r\n"
           "Content-Length: " + QByteArray::number(kSdp.size()) + "\r\n\r\n" + kSdp;
}

double microsPer(const QByteArray &m, int rounds, SipFilter::Kind *kind)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        *kind = SipFilter::Classify(m.constData(), std::size_t(m.size()));
    return double(t.nsecsElapsed()) / 1000.0 / rounds;
}

} // namespace

int main()
{
    const QByteArray ok = invite();
    QByteArray badFrom = ok;
    badFrom.replace("<sip:bob@127.0.0.1>;tag", "<sip:bob@127.0.0.1>;ta@g");
    QByteArray junk(1200, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919) & 0xFF);
    const struct {
        const char *what;
        QByteArray datagram;
    } cases[] = {
        {"INVITE with SDP, let in", ok},
        {"INVITE, From the stack cannot parse", badFrom},
        {"Content-Length that says more", QByteArray(ok).replace("Content-Length: ", "Content-Length: 9")},
        {"1200 bytes of binary junk", junk},
    };
    std::printf("| datagram | bytes | kind | microseconds each |\n|---|---:|---:|---:|\n");
    for (const auto &c : cases) {
        SipFilter::Kind v{};
        microsPer(c.datagram, 2000, &v); // warm up
        const double us = microsPer(c.datagram, 20000, &v);
        std::printf("| %s | %lld | %d | %.1f |\n", c.what, static_cast<long long>(c.datagram.size()), int(v), us);
    }
    return 0;
}
