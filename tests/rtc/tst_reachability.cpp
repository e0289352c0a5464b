// How the phone keeps its provider's path checked, follows the network and
// reads a STUN server's answer: the parts that decide, without a network.
#include "rtc/linphone/NetworkWatch.h"
#include "rtc/linphone/ProviderPath.h"
#include "rtc/linphone/SipOutline.h"
#include "rtc/linphone/StunCheck.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>

using rtc::lp::NetworkWatch;
using rtc::lp::ProviderPath;
using rtc::lp::SeenAt;
using rtc::lp::StunCheck;

namespace {

// A Binding success response with the attributes given (type, value).
QByteArray bindingSuccess(const StunCheck::Transaction &t, const QList<QPair<quint16, QByteArray>> &attributes)
{
    QByteArray body;
    for (const auto &[type, value] : attributes) {
        body += char(type >> 8);
        body += char(type & 0xFF);
        body += char(value.size() >> 8);
        body += char(value.size() & 0xFF);
        body += value;
        while (body.size() % 4)
            body += '\0';
    }
    QByteArray out;
    out += '\x01';
    out += '\x01';
    out += char(body.size() >> 8);
    out += char(body.size() & 0xFF);
    out += QByteArray("\x21\x12\xA4\x42", 4);
    out += QByteArray(reinterpret_cast<const char *>(t.data()), int(t.size()));
    return out + body;
}

QByteArray xorMappedV4(const char *address, quint16 port)
{
    in_addr a{};
    inet_pton(AF_INET, address, &a);
    const auto *b = reinterpret_cast<const unsigned char *>(&a.s_addr);
    const unsigned char cookie[4] = {0x21, 0x12, 0xA4, 0x42};
    QByteArray v(8, '\0');
    v[1] = 1;
    const quint16 xport = port ^ 0x2112;
    v[2] = char(xport >> 8);
    v[3] = char(xport & 0xFF);
    for (int i = 0; i < 4; ++i)
        v[4 + i] = char(b[i] ^ cookie[i]);
    return v;
}

std::optional<std::pair<std::string, int>> mapped(const QByteArray &datagram, const StunCheck::Transaction &t)
{
    return StunCheck::Mapped(reinterpret_cast<const unsigned char *>(datagram.constData()),
                             std::size_t(datagram.size()), t);
}

// The provider's side of the path check, driven by the test.
struct FakeProvider {
    int sent = 0;
    std::string answer;     // the next answer's top Via, taken once
    std::optional<SeenAt> contact = SeenAt{"198.51.100.1", 40000};
    QList<SeenAt> moves;
    int lost = 0, back = 0, unanswered = 0;

    ProviderPath::Hooks hooks()
    {
        return {[this](const QByteArray &request, const std::string &) {
                    ++sent;
                    return rtc::lp::StackReads(request.constData(), std::size_t(request.size()), true);
                },
                [this] { return std::exchange(answer, {}); },
                [this] { return contact; },
                [this](const SeenAt &now) { moves << now; },
                [this] { ++lost; },
                [this] { ++back; },
                [this] { ++unanswered; }};
    }
};

const ProviderPath::Timing kQuick{10, 60, 40, 500, 10};
const char *kViaAt40000 = "SIP/2.0/UDP 10.77.1.10:5060;branch=z9hG4bK1;received=198.51.100.1;rport=40000";
const char *kViaAt40002 = "SIP/2.0/UDP 10.77.1.10:5060;branch=z9hG4bK2;received=198.51.100.1;rport=40002";

} // namespace

class TestReachability : public QObject {
    Q_OBJECT

private slots:
    void theViaOfAnAnswerSaysWhereTheProviderSawThePhone_data()
    {
        QTest::addColumn<QString>("via");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("received and rport") << kViaAt40000 << "198.51.100.1" << 40000;
        QTest::newRow("no NAT: sent-by") << "SIP/2.0/UDP 10.0.0.5:5062;branch=z9hG4bK1;rport" << "10.0.0.5" << 5062;
        QTest::newRow("default port") << "SIP/2.0/UDP 10.0.0.5;branch=z9hG4bK1" << "10.0.0.5" << 5060;
        QTest::newRow("IPv6") << "SIP/2.0/UDP [2001:db8::1]:5060;received=2001:db8::9;rport=7000" << "2001:db8::9"
                              << 7000;
        QTest::newRow("blanks and case") << "SIP/2.0/UDP  10.0.0.5:5060 ; RECEIVED=192.0.2.4 ; Rport=9"
                                         << "192.0.2.4" << 9;
        QTest::newRow("received not an address") << "SIP/2.0/UDP 10.0.0.5:5060;received=evil.example;rport=9"
                                                 << "" << 0;
        QTest::newRow("rport out of range") << "SIP/2.0/UDP 10.0.0.5:5060;received=192.0.2.4;rport=70000" << ""
                                            << 0;
        QTest::newRow("rport not a number") << "SIP/2.0/UDP 10.0.0.5:5060;rport=9x" << "" << 0;
        QTest::newRow("sent-by a name, nothing received") << "SIP/2.0/UDP phone.example:5060;branch=z9hG4bK1" << ""
                                                           << 0;
        QTest::newRow("not a Via") << "garbage" << "" << 0;
    }
    void theViaOfAnAnswerSaysWhereTheProviderSawThePhone()
    {
        QFETCH(QString, via);
        QFETCH(QString, address);
        QFETCH(int, port);
        const auto seen = ProviderPath::SeenIn(via.toStdString());
        QCOMPARE(seen.has_value(), !address.isEmpty());
        if (seen) {
            QCOMPARE(QString::fromStdString(seen->address), address);
            QCOMPARE(seen->port, port);
        }
    }

    // The OPTIONS is read by the SIP stack's own parser and asks for rport,
    // from an IPv4 and an IPv6 address.
    void theCheckIsAnOptionsTheStackReads()
    {
        for (const SeenAt &local : {SeenAt{"10.77.1.10", 5060}, SeenAt{"2001:db8::5", 5070}}) {
            const QByteArray r = ProviderPath::Request("1001", "sip.example", "sip.example:5070", local, "cid1",
                                                       "z9hG4bKabc", "t1", 3);
            QVERIFY2(rtc::lp::StackReads(r.constData(), std::size_t(r.size()), true), r.constData());
            QVERIFY(r.startsWith("OPTIONS sip:sip.example:5070 SIP/2.0\r\n"));
            QVERIFY(r.contains(";rport\r\n"));
            QVERIFY(r.contains("CSeq: 3 OPTIONS\r\n"));
        }
        const QByteArray odd = ProviderPath::Request("a b;c?d", "sip.example", "sip.example", {"10.0.0.5", 5060},
                                                     "cid2", "z9hG4bKdef", "t2", 1);
        QVERIFY(odd.contains("From: <sip:a%20b%3Bc%3Fd@sip.example>"));
        QVERIFY2(rtc::lp::StackReads(odd.constData(), std::size_t(odd.size()), true), odd.constData());
    }

    // An answer showing another address asks for a new registration once
    // for that address; silence after answers is a lost provider, and the
    // next answer, or a registration that gets through, brings it back; a
    // provider that never answered is not taken for lost.
    void thePathCheckTellsMovesLossesAndReturns()
    {
        FakeProvider provider;
        ProviderPath path(provider.hooks(), kQuick);
        // The answer is taken by the check that is out when it comes.
        auto answer = [&](const char *via) {
            provider.answer = via;
            return QTest::qWaitFor([&] {
                path.poll();
                return provider.answer.empty();
            }, 5000);
        };
        path.start("1001", "sip.example", "sip.example", {"10.77.1.10", 5060});
        QVERIFY(answer(kViaAt40000));
        QVERIFY(provider.moves.isEmpty());

        // The mapping moved: asked once, not at every answer after.
        QVERIFY(answer(kViaAt40002));
        QCOMPARE(provider.moves.size(), 1);
        QCOMPARE(provider.moves[0], (SeenAt{"198.51.100.1", 40002}));
        QVERIFY(answer(kViaAt40002));
        QCOMPARE(provider.moves.size(), 1);

        // Silence: lost once, however long it lasts.
        QTRY_COMPARE_WITH_TIMEOUT(provider.lost, 1, 5000);
        QVERIFY(path.lost());
        const int sentWhileLost = provider.sent;
        QTRY_VERIFY_WITH_TIMEOUT(provider.sent > sentWhileLost + 2, 5000);
        QCOMPARE(provider.lost, 1);
        QVERIFY(answer(kViaAt40000));
        QCOMPARE(provider.back, 1);
        QVERIFY(!path.lost());

        // Lost again; a registration that got through ends it, and the
        // next silence is a loss again.
        QTRY_COMPARE_WITH_TIMEOUT(provider.lost, 2, 5000);
        path.confirmed();
        QVERIFY(!path.lost());
        QTRY_COMPARE_WITH_TIMEOUT(provider.lost, 3, 5000);
        QCOMPARE(provider.back, 1);
        QCOMPARE(provider.unanswered, 0);

        // Retransmitted while unanswered: more than one send per check. A
        // provider that never answered is not lost; a REGISTER asks it, once.
        path.stop();
        FakeProvider silent;
        ProviderPath never(silent.hooks(), kQuick);
        never.start("1001", "sip.example", "sip.example", {"10.77.1.10", 5060});
        QTRY_VERIFY_WITH_TIMEOUT(silent.sent >= 4, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(silent.unanswered, 1, 5000);
        const int sentAfterCheck = silent.sent;
        QTRY_VERIFY_WITH_TIMEOUT(silent.sent > sentAfterCheck + 6, 5000);
        QCOMPARE(silent.unanswered, 1);
        QCOMPARE(silent.lost, 0);
    }

    void aStunAnswerIsReadWithinItsBounds()
    {
        const StunCheck::Transaction t{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        const QByteArray request = StunCheck::BindingRequest(t);
        QCOMPARE(request.size(), 20);
        QCOMPARE(request.left(8), QByteArray("\x00\x01\x00\x00\x21\x12\xA4\x42", 8));

        const auto got = mapped(bindingSuccess(t, {{0x0020, xorMappedV4("198.51.100.1", 40000)}}), t);
        QVERIFY(got);
        QCOMPARE(got->first, std::string("198.51.100.1"));
        QCOMPARE(got->second, 40000);
        // MAPPED-ADDRESS (plain) when that is all there is; XOR-MAPPED first.
        QByteArray plain("\x00\x01\x1f\x90\xc0\x00\x02\x07", 8); // 192.0.2.7:8080
        QCOMPARE(mapped(bindingSuccess(t, {{0x0001, plain}}), t)->first, std::string("192.0.2.7"));
        QCOMPARE(mapped(bindingSuccess(t, {{0x0001, plain}, {0x0020, xorMappedV4("198.51.100.1", 9)}}), t)->second, 9);

        StunCheck::Transaction other = t;
        other[11] = 99;
        const QByteArray good = bindingSuccess(t, {{0x0020, xorMappedV4("198.51.100.1", 40000)}});
        QVERIFY(!mapped(good, other));                          // another transaction
        QVERIFY(!mapped(good.left(good.size() - 1), t));        // cut short
        QByteArray error = good;
        error[1] = '\x11';                                      // an error response
        QVERIFY(!mapped(error, t));
        QByteArray overlong = good;
        overlong[23] = '\x40';                                  // an attribute past the end
        QVERIFY(!mapped(overlong, t));
        QVERIFY(!mapped(bindingSuccess(t, {{0x0020, QByteArray(4, '\0')}}), t)); // too short to hold an address
        QVERIFY(!mapped(bindingSuccess(t, {{0x8022, "server"}}), t));            // no address at all
    }

    void aStunServerSettingIsAHostAndPort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("name") << "stun.example.org" << "stun.example.org" << 3478;
        QTest::newRow("name and port") << "stun.example.org:19302" << "stun.example.org" << 19302;
        QTest::newRow("IPv4") << "192.0.2.1:3479" << "192.0.2.1" << 3479;
        QTest::newRow("IPv6") << "[2001:db8::1]:3478" << "2001:db8::1" << 3478;
        QTest::newRow("IPv6 no port") << "[2001:db8::1]" << "2001:db8::1" << 3478;
        QTest::newRow("IPv6 without brackets") << "2001:db8::1" << "" << 0;
        QTest::newRow("port zero") << "stun.example.org:0" << "" << 0;
        QTest::newRow("port too big") << "stun.example.org:65536" << "" << 0;
        QTest::newRow("empty port") << "stun.example.org:" << "" << 0;
        QTest::newRow("blank inside") << "stun example" << "" << 0;
        QTest::newRow("a URI") << "stun:stun.example.org" << "" << 0;
        QTest::newRow("an option") << "-oProxy" << "" << 0;
        QTest::newRow("too long") << QString(300, 'a') << "" << 0;
    }
    void aStunServerSettingIsAHostAndPort()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto got = StunCheck::HostAndPort(text.toStdString(), StunCheck::kDefaultPort);
        QCOMPARE(got.has_value(), !host.isEmpty());
        if (got) {
            QCOMPARE(QString::fromStdString(got->first), host);
            QCOMPARE(got->second, port);
        }
    }

    // A STUN server that is not there: the answer comes, unanswered, within
    // its limit, and nothing waits for it.
    void aStunServerThatIsNotThereIsReportedSoon()
    {
        StunCheck check;
        QElapsedTimer clock;
        clock.start();
        check.start("127.0.0.1:9", "127.0.0.1");
        QVERIFY(!check.take()); // asked on a thread of its own: nothing yet
        std::optional<StunCheck::Result> result;
        while (!result && clock.elapsed() < 10000) {
            QTest::qWait(20);
            result = check.take();
        }
        QVERIFY(result);
        QVERIFY(!result->answered);
        QCOMPARE(result->server, std::string("127.0.0.1:9"));
    }

    void theNetworkIsJudgedFromLooks()
    {
        using C = NetworkWatch::Change;
        NetworkWatch::Judge judge;
        auto at = [](const char *a, long slept = 0) { return NetworkWatch::Look{std::string(a), slept}; };
        const NetworkWatch::Look none{std::nullopt, 0};
        QCOMPARE(judge.next(at("10.0.0.5")), C::None);
        QCOMPARE(judge.next(at("10.0.0.5")), C::None);
        QCOMPARE(judge.next(at("10.0.0.5", 1500)), C::None); // a busy machine, no sleep
        QCOMPARE(judge.next(none), C::Down);
        QCOMPARE(judge.next(none), C::None);
        QVERIFY(judge.down());
        QCOMPARE(judge.next(at("10.0.0.5")), C::Back);
        QCOMPARE(judge.next(at("192.168.1.20")), C::Moved);  // another network
        QCOMPARE(judge.next(at("192.168.1.20", 60000)), C::Moved); // a resume
        QCOMPARE(judge.next(none), C::Down);
        QCOMPARE(judge.next(at("172.16.0.2")), C::Moved);    // back elsewhere

        // Down before the first look with a route: the engine took it to be up.
        NetworkWatch::Judge startedOffline;
        QCOMPARE(startedOffline.next(none), C::Down);
        QCOMPARE(startedOffline.next(at("10.0.0.5")), C::Back);
    }

    void theRouteToAnAddressNamesTheLocalAddress()
    {
        sockaddr_storage to{};
        auto *in = reinterpret_cast<sockaddr_in *>(&to);
        in->sin_family = AF_INET;
        in->sin_port = htons(5060);
        inet_pton(AF_INET, "127.0.0.1", &in->sin_addr);
        QCOMPARE(NetworkWatch::LocalAddressTowards(to, sizeof(sockaddr_in)), std::optional<std::string>("127.0.0.1"));
        to.ss_family = AF_UNIX;
        QVERIFY(!NetworkWatch::LocalAddressTowards(to, sizeof(sockaddr_in)));
        QVERIFY(NetworkWatch::SuspendedMs() >= 0);
    }
};

QTEST_GUILESS_MAIN(TestReachability)
#include "tst_reachability.moc"
