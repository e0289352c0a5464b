// What the filter in front of the engine's SIP port lets through, and what
// the phone takes of the requests it lets through.
#include "rtc/linphone/SipFilter.h"
#include "rtc/linphone/SipPolicy.h"

#include <QtTest>

using rtc::lp::SipFilter;
using V = SipFilter::Kind;
namespace SipPolicy = rtc::lp::SipPolicy;

namespace {
const QByteArray kHead = "OPTIONS sip:1001@127.0.0.1:5070 SIP/2.0\r\n"
                         "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1\r\n"
                         "From: <sip:eve@127.0.0.1>;tag=1\r\n"
                         "To: <sip:1001@127.0.0.1>\r\n"
                         "Call-ID: abc@127.0.0.1\r\n"
                         "CSeq: 1 OPTIONS\r\n"
                         "Max-Forwards: 70\r\n";

QByteArray without(QByteArray message, const QByteArray &line)
{
    return message.replace(line + "\r\n", "");
}

QByteArray repeated(const QByteArray &pattern, int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += QByteArray(pattern).replace("#", QByteArray::number(i));
    return out;
}

QByteArray withMethod(const QByteArray &method, const QByteArray &extra = {})
{
    return QByteArray(kHead).replace("OPTIONS", method) + extra + "Content-Length: 0\r\n\r\n";
}
} // namespace

Q_DECLARE_METATYPE(SipFilter::Kind)

class TestSipFilter : public QObject {
    Q_OBJECT
private slots:
    void classify_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<SipFilter::Kind>("kind");
        const QByteArray ok = kHead + "Content-Length: 0\r\n\r\n";
        QTest::newRow("request") << ok << V::Request;
        QTest::newRow("no Content-Length, no body") << kHead + "\r\n" << V::Request;
        QTest::newRow("body that matches") << kHead + "Content-Length: 4\r\n\r\nv=0\n" << V::Request;
        QTest::newRow("compact forms, folded line")
            << QByteArray("MESSAGE sip:a@hq SIP/2.0\r\nv: SIP/2.0/UDP hq\r\nf: <sip:b@hq>\r\n ;tag=2\r\nt: <sip:a@hq>\r\n"
                          "i: x\r\nCSeq: 2 MESSAGE\r\nl: 0\r\n\r\n")
            << V::Request;
        QTest::newRow("response")
            << QByteArray("SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP hq\r\nFrom: <sip:a@hq>;tag=1\r\nTo: <sip:b@hq>\r\nCall-ID: c\r\n"
                          "CSeq: 9 REGISTER\r\nContent-Length: 0\r\n\r\n")
            << V::Response;
        QTest::newRow("keep-alive") << QByteArray("\r\n\r\n") << V::Keepalive;
        // Read by the stack as its peer hanging up (every transaction with it
        // lost its channel; the next retransmission crashed).
        QTest::newRow("empty datagram") << QByteArray() << V::Malformed;

        // What broke the engine: no Call-ID (a crash), a length promising
        // more than comes (every later datagram glued on), huge headers.
        QTest::newRow("no Call-ID") << without(ok, "Call-ID: abc@127.0.0.1") << V::MissingHeader;
        QTest::newRow("two Call-IDs") << kHead + "Call-ID: x\r\n\r\n" << V::MissingHeader;
        QTest::newRow("no Via") << without(ok, "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1") << V::MissingHeader;
        QTest::newRow("no CSeq") << without(ok, "CSeq: 1 OPTIONS") << V::MissingHeader;
        QTest::newRow("length says more") << kHead + "Content-Length: 5000\r\n\r\nv=0\n" << V::BadLength;
        QTest::newRow("length says less") << kHead + "Content-Length: 1\r\n\r\nv=0\n" << V::BadLength;
        QTest::newRow("length not a number") << kHead + "Content-Length: 1x\r\n\r\n" << V::BadLength;
        // The stack leaves a body it has no length for in front of the
        // source's next message.
        QTest::newRow("body without length") << kHead + "\r\nv=0\n" << V::BadLength;
        QTest::newRow("64 KB of headers") << kHead + "X-Big: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n" << V::TooLarge;
        QTest::newRow("headers never end") << kHead << V::Malformed;
        QTest::newRow("not SIP") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << V::Malformed;
        QTest::newRow("binary junk") << QByteArray("\x01\x02\x03\r\n\r\n", 7) << V::Malformed;
        QTest::newRow("NUL in a header") << kHead + QByteArray("X-A: b\0c\r\n\r\n", 12) << V::Malformed;
        QTest::newRow("bare LF in a header") << kHead + "X-A: b\nX-B: c\r\n\r\n" << V::Malformed;
        QTest::newRow("CSeq of another method") << QByteArray(ok).replace("1 OPTIONS", "1 INVITE") << V::Malformed;
        QTest::newRow("CSeq too large") << QByteArray(ok).replace("1 OPTIONS", "4294967296 OPTIONS") << V::Malformed;
        QTest::newRow("status out of range") << QByteArray("SIP/2.0 999 X\r\n\r\n") << V::Malformed;
        QTest::newRow("URI without scheme") << QByteArray(ok).replace("sip:1001@127.0.0.1:5070", "1001") << V::Malformed;
        // Headers our first look passes but the stack cannot parse: it drops
        // them and answers 400 through a channel it may not find (a crash).
        QTest::newRow("From the stack cannot parse")
            << QByteArray(ok).replace("<sip:eve@127.0.0.1>;tag=1", "<sip:eve@127.0.0.1>;tager-To: <s=1") << V::Unreadable;
        QTest::newRow("Via the stack cannot parse")
            << QByteArray(ok).replace("127.0.0.1:5060;branch", "127.0.0.1:50:60;branch") << V::Unreadable;
        QTest::newRow("request URI not sip:")
            << QByteArray(ok).replace("OPTIONS sip:", "OPTIONS stip:") << V::Unreadable;
        QTest::newRow("tel: To without RFC 3261 branch")
            << QByteArray(ok).replace("<sip:1001@127.0.0.1>", "<tel:1001>").replace(";branch=z9hG4bK1", ";branch=1")
            << V::Unreadable;
        QTest::newRow("tel: To with RFC 3261 branch")
            << QByteArray(ok).replace("<sip:1001@127.0.0.1>", "<tel:1001>") << V::Request;
        QTest::newRow("From with a port")
            << QByteArray(ok).replace("<sip:eve@127.0.0.1>", "<sip:eve@127.0.0.1:5099>") << V::Request;
        QTest::newRow("BYE without Max-Forwards")
            << without(QByteArray(ok).replace("OPTIONS", "BYE"), "Max-Forwards: 70") << V::Unreadable;
        // A head the stack reads only in part: it kept the message it never
        // owned, and crashed on the next datagram from the same source.
        QTest::newRow("folded line the stack reads in part")
            << kHead + "Contact: <sip:eve@127.0.0.1:9>\r\n\tontent-Type: application/sdp\r\nContent-Length: 4\r\n\r\nv=0\n"
            << V::Unreadable;
        QTest::newRow("From without URI") << QByteArray(ok).replace("<sip:eve@127.0.0.1>", "eve") << V::Malformed;

        // Bounds: counts cost the stack's parser more than length (a
        // thousand Request-URI parameters took it 1.5 GB).
        const QByteArray uri = "sip:1001@127.0.0.1:5070";
        QTest::newRow("24 Request-URI parameters")
            << QByteArray(ok).replace(uri, uri + repeated(";p#=1", 24)) << V::Request;
        QTest::newRow("25 Request-URI parameters")
            << QByteArray(ok).replace(uri, uri + repeated(";p#=1", 25)) << V::UriTooLong;
        QTest::newRow("Request-URI of 1 KiB and more")
            << QByteArray(ok).replace(uri, uri + ";x=" + QByteArray(1024, 'a')) << V::UriTooLong;
        QTest::newRow("64 header fields") << kHead + repeated("X-#: 1\r\n", 57) + "Content-Length: 0\r\n\r\n" << V::Request;
        QTest::newRow("65 header fields") << kHead + repeated("X-#: 1\r\n", 58) + "Content-Length: 0\r\n\r\n" << V::OverBounds;
        QTest::newRow("a field of more than 4 KiB")
            << kHead + "X-Long: " + QByteArray(4096, 'a') + "\r\nContent-Length: 0\r\n\r\n" << V::OverBounds;
        QTest::newRow("a folded field of more than 4 KiB")
            << kHead + "X-Long: " + QByteArray(3000, 'a') + "\r\n " + QByteArray(3000, 'a') + "\r\nContent-Length: 0\r\n\r\n"
            << V::OverBounds;
        QTest::newRow("25 parameters in an entry")
            << kHead + "Contact: <sip:eve@127.0.0.1" + repeated(";p#", 25) + ">\r\nContent-Length: 0\r\n\r\n" << V::OverBounds;
        QTest::newRow("semicolons quoted are no parameters")
            << kHead + "Contact: \"" + repeated(";", 40) + "\" <sip:eve@127.0.0.1>\r\nContent-Length: 0\r\n\r\n" << V::Request;
        QTest::newRow("20 parameters in each of two entries")
            << kHead + "Contact: <sip:a@h" + repeated(";p#", 20) + ">, <sip:b@h" + repeated(";p#", 20) + ">\r\nContent-Length: 0\r\n\r\n"
            << V::Request;
        QTest::newRow("17 Vias in one field")
            << QByteArray(ok).replace("branch=z9hG4bK1", "branch=z9hG4bK1" + repeated(", SIP/2.0/UDP h#", 16)) << V::OverBounds;
        QTest::newRow("17 Route fields") << kHead + repeated("Route: <sip:h#;lr>\r\n", 17) + "Content-Length: 0\r\n\r\n" << V::OverBounds;
        QTest::newRow("16 Record-Route entries")
            << kHead + "Record-Route: " + repeated("<sip:h#;lr>, ", 15) + "<sip:x;lr>\r\nContent-Length: 0\r\n\r\n" << V::Request;
    }
    void classify()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(SipFilter::Kind, kind);
        QCOMPARE(SipFilter::Classify(datagram.constData(), std::size_t(datagram.size())), kind);
    }

    void strangersGetAForbiddenThatMatchesTheirRequest()
    {
        const QByteArray request = kHead + "Content-Length: 0\r\n\r\n";
        const QByteArray answer = SipFilter::Forbidden(request.constData(), std::size_t(request.size()));
        QVERIFY(answer.startsWith("SIP/2.0 403 Forbidden\r\n"));
        QVERIFY(answer.contains("Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1\r\n"));
        QVERIFY(answer.contains("To: <sip:1001@127.0.0.1>;tag="));
        QVERIFY(answer.contains("Call-ID: abc@127.0.0.1\r\nCSeq: 1 OPTIONS\r\n"));
        // It is itself what the filter would let through.
        QCOMPARE(SipFilter::Classify(answer.constData(), std::size_t(answer.size())), V::Response);
        // ACK is never answered, nor is anything malformed.
        const QByteArray ack = QByteArray(request).replace("OPTIONS", "ACK");
        QVERIFY(SipFilter::Forbidden(ack.constData(), std::size_t(ack.size())).isEmpty());
        QVERIFY(SipFilter::Forbidden("junk", 4).isEmpty());
    }

    void whatThePhoneTakes_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status"); // empty: it goes in
        QTest::addColumn<QByteArray>("header"); // a header line the answer carries
        const QByteArray tag = "To: <sip:1001@127.0.0.1>;tag=9";
        auto inDialog = [&](const QByteArray &method) { return withMethod(method).replace("To: <sip:1001@127.0.0.1>", tag); };
        QTest::newRow("INVITE") << withMethod("INVITE") << QByteArray() << QByteArray();
        QTest::newRow("OPTIONS") << withMethod("OPTIONS") << QByteArray() << QByteArray();
        QTest::newRow("ACK") << withMethod("ACK") << QByteArray() << QByteArray();
        QTest::newRow("CANCEL") << withMethod("CANCEL") << QByteArray() << QByteArray();
        QTest::newRow("re-INVITE") << inDialog("INVITE") << QByteArray() << QByteArray();
        for (const char *m : {"BYE", "INFO", "UPDATE", "PRACK"}) {
            QTest::newRow(m) << inDialog(m) << QByteArray() << QByteArray();
            QTest::newRow(QByteArray(m) + " outside a dialog") << withMethod(m) << QByteArray("481") << QByteArray();
        }
        QTest::newRow("SUBSCRIBE") << withMethod("SUBSCRIBE", "Event: presence\r\n") << QByteArray("489") << QByteArray();
        QTest::newRow("PUBLISH") << withMethod("PUBLISH", "Event: presence\r\n") << QByteArray("489") << QByteArray();
        QTest::newRow("NOTIFY in a dialog") << inDialog("NOTIFY") << QByteArray("481") << QByteArray();
        const QByteArray allow = QByteArray("Allow: ") + SipPolicy::kAllow;
        for (const char *m : {"MESSAGE", "REFER", "REGISTER", "invite", "FOO"})
            QTest::newRow(m) << withMethod(m) << QByteArray("405") << allow;
        QTest::newRow("REFER in a dialog") << inDialog("REFER") << QByteArray("405") << allow;
        QTest::newRow("INVITE with Replaces")
            << withMethod("INVITE", "Replaces: abc;to-tag=1;from-tag=2\r\n") << QByteArray("420") << QByteArray("Unsupported: replaces");
        QTest::newRow("INVITE with Join")
            << withMethod("INVITE", "Join: abc;to-tag=1;from-tag=2\r\n") << QByteArray("420") << QByteArray("Unsupported: join");
        QTest::newRow("INVITE with Refer-To (compact)") << withMethod("INVITE", "r: <sip:2000@h>\r\n") << QByteArray("403") << QByteArray();
        QTest::newRow("INVITE with Referred-By") << withMethod("INVITE", "Referred-By: <sip:bob@h>\r\n") << QByteArray() << QByteArray();
    }
    void whatThePhoneTakes()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, header);
        rtc::lp::SipOutline o;
        QCOMPARE(rtc::lp::Outline(request.constData(), std::size_t(request.size()), &o), V::Request);
        const SipPolicy::Refusal refusal = SipPolicy::RefusalFor(o);
        QCOMPARE(QByteArray(refusal.status).left(3), status);
        if (!refusal)
            return;
        const QByteArray answer = SipPolicy::Answer(o, refusal.status, refusal.headers);
        QVERIFY(answer.startsWith("SIP/2.0 " + status + " "));
        if (!header.isEmpty())
            QVERIFY2(answer.contains("\r\n" + header + "\r\n"), answer.constData());
        QCOMPARE(SipFilter::Classify(answer.constData(), std::size_t(answer.size())), V::Response);
    }

    void answersKeepTheirTagForARetransmission()
    {
        auto toOf = [](const QByteArray &request) {
            rtc::lp::SipOutline o;
            rtc::lp::Outline(request.constData(), std::size_t(request.size()), &o);
            const QByteArray a = SipPolicy::Answer(o, "503 Service Unavailable", "Retry-After: 7\r\n");
            if (!a.contains("\r\nRetry-After: 7\r\n"))
                return QByteArray();
            const qsizetype at = a.indexOf("\r\nTo: ");
            return a.mid(at, a.indexOf("\r\n", at + 2) - at);
        };
        const QByteArray invite = withMethod("INVITE");
        QVERIFY(toOf(invite).contains(";tag="));
        QCOMPARE(toOf(invite), toOf(invite));
        QVERIFY(toOf(invite) != toOf(QByteArray(invite).replace("z9hG4bK1", "z9hG4bK2")));
        // A request with a tag of its own keeps it.
        QCOMPARE(toOf(QByteArray(invite).replace("<sip:1001@127.0.0.1>", "<sip:1001@127.0.0.1>;tag=9")),
                 QByteArray("\r\nTo: <sip:1001@127.0.0.1>;tag=9"));
    }

    void theEngineAdvertisesOnlyWhatItTakes()
    {
        const QByteArray own = QByteArray("Allow: ") + SipPolicy::kAllow + "\r\n";
        const QByteArray ok = "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP h\r\nAllow: INVITE, ACK, REFER,\r\n NOTIFY, SUBSCRIBE\r\n"
                              "Content-Length: 4\r\n\r\nv=0\n";
        const QByteArray rewritten = SipPolicy::WithOwnAllow(ok.constData(), std::size_t(ok.size()));
        QCOMPARE(rewritten, "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP h\r\n" + own + "Content-Length: 4\r\n\r\nv=0\n");
        QVERIFY(SipPolicy::WithOwnAllow(rewritten.constData(), std::size_t(rewritten.size())).isEmpty());
        const QByteArray none = "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP h\r\nContent-Length: 0\r\n\r\n";
        QVERIFY(SipPolicy::WithOwnAllow(none.constData(), std::size_t(none.size())).isEmpty());
        QVERIFY(SipPolicy::WithOwnAllow("\r\n\r\n", 4).isEmpty());
    }

    // Behind a router that keeps ports, an answer without ICE names the
    // public address for its audio; an SDP with ICE, and an address that is
    // not the local one, go as written.
    void anAnswerWithoutIceNamesThePublicAddress()
    {
        const QByteArray sdp = "v=0\r\no=- 1 1 IN IP4 10.77.1.10\r\ns=-\r\nc=IN IP4 10.77.1.10\r\nt=0 0\r\n"
                               "m=audio 40000 RTP/AVP 0\r\nc=IN IP4 10.77.1.10\r\n";
        auto answer = [](const QByteArray &body) {
            return "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 198.51.100.10;branch=z9hG4bK1\r\nFrom: <sip:alice@example.org>;tag=1\r\n"
                   "To: <sip:1001@example.org>;tag=2\r\nCall-ID: a@example.org\r\n"
                   "CSeq: 1 INVITE\r\nContent-Type: application/sdp\r\nl: "
                   + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        };
        const QByteArray told = SipPolicy::WithPublicMedia(answer(sdp), "10.77.1.10", "198.51.100.1");
        const QByteArray body = told.mid(told.indexOf("\r\n\r\n") + 4);
        QCOMPARE(body.count("c=IN IP4 198.51.100.1\r\n"), 2);
        QVERIFY(body.contains("o=- 1 1 IN IP4 10.77.1.10\r\n"));
        QVERIFY(told.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
        QVERIFY(!told.contains("\r\nl: "));
        QVERIFY2(rtc::lp::StackReads(told.constData(), std::size_t(told.size()), false), told.constData());

        QVERIFY(SipPolicy::WithPublicMedia(answer(sdp + "a=candidate:1 1 UDP 1 10.77.1.10 40000 typ host\r\n"),
                                           "10.77.1.10", "198.51.100.1").isEmpty());
        QVERIFY(SipPolicy::WithPublicMedia(answer(sdp), "10.77.1.11", "198.51.100.1").isEmpty());
        QVERIFY(SipPolicy::WithPublicMedia(answer(sdp), "10.77.1.10", "").isEmpty());
        QVERIFY(SipPolicy::WithPublicMedia(answer("v=0\r\n"), "10.77.1.10", "198.51.100.1").isEmpty());
    }

    void hostAndPortOfAUri()
    {
        QCOMPARE(rtc::lp::HostPortOf("sip:Provider.Example"), std::string("provider.example"));
        QCOMPARE(rtc::lp::HostPortOf("sip:alice@127.0.0.1:5070;transport=udp"), std::string("127.0.0.1:5070"));
        QCOMPARE(rtc::lp::HostPortOf("sips:[::1]:5061?x=y"), std::string("[::1]:5061"));
        QCOMPARE(rtc::lp::HostPortOf("tel:123"), std::string());
        // A server's name may begin with "sip" without being a SIP URI.
        QCOMPARE(rtc::lp::ServerHostPort("sip.example.net:5060"), std::string("sip.example.net:5060"));
        QCOMPARE(rtc::lp::ServerHostPort("sipgate.example"), std::string("sipgate.example"));
        QCOMPARE(rtc::lp::ServerHostPort(" SIP:Provider.Example:5070"), std::string("provider.example:5070"));
        QCOMPARE(rtc::lp::ServerHostPort("sips:provider.example"), std::string("provider.example"));
    }
};

QTEST_GUILESS_MAIN(TestSipFilter)
#include "tst_sipfilter.moc"
