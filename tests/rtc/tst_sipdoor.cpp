// What the door in front of the engine's SIP port lets through.
#include "rtc/linphone/SipDoor.h"

#include <QtTest>

using rtc::lp::SipDoor;
using V = SipDoor::Verdict;

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
} // namespace

Q_DECLARE_METATYPE(SipDoor::Verdict)

class TestSipDoor : public QObject {
    Q_OBJECT
private slots:
    void judge_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<SipDoor::Verdict>("verdict");
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
    }
    void judge()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(SipDoor::Verdict, verdict);
        QCOMPARE(SipDoor::Judge(datagram.constData(), std::size_t(datagram.size())), verdict);
    }

    void strangersGetAForbiddenThatMatchesTheirRequest()
    {
        const QByteArray request = kHead + "Content-Length: 0\r\n\r\n";
        const QByteArray answer = SipDoor::Forbidden(request.constData(), std::size_t(request.size()));
        QVERIFY(answer.startsWith("SIP/2.0 403 Forbidden\r\n"));
        QVERIFY(answer.contains("Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1\r\n"));
        QVERIFY(answer.contains("To: <sip:1001@127.0.0.1>;tag="));
        QVERIFY(answer.contains("Call-ID: abc@127.0.0.1\r\nCSeq: 1 OPTIONS\r\n"));
        // It is itself what the door would let through.
        QCOMPARE(SipDoor::Judge(answer.constData(), std::size_t(answer.size())), V::Response);
        // ACK is never answered, nor is anything malformed.
        const QByteArray ack = QByteArray(request).replace("OPTIONS", "ACK");
        QVERIFY(SipDoor::Forbidden(ack.constData(), std::size_t(ack.size())).isEmpty());
        QVERIFY(SipDoor::Forbidden("junk", 4).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSipDoor)
#include "tst_sipdoor.moc"
