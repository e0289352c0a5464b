// The liblinphone engine registering against a real Kamailio on 127.0.0.1.
#include "tests/rtc/EngineTestSupport.h"
#include "tests/support/LocalProvider.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <link.h>

using namespace rtc;

namespace {
constexpr int kRegisterMs = 10000;

// A provider that is up, or the test stops with the reason.
#define START_PROVIDER(provider)                                                                                       \
    QVERIFY2((provider).start(), qPrintable((provider).error()))

#define START_CLIENT(c) QCOMPARE((c).start(), S_OK)

// How many times a library was mapped into the process, unloaded ones included.
unsigned long librariesLoadedSoFar()
{
    unsigned long adds = 0;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *out) {
            *static_cast<unsigned long *>(out) = info->dlpi_adds;
            return 1;
        },
        &adds);
    return adds;
}
// The TCP sockets of this process that listen, by inode.
QSet<QString> listeningTcpInodes()
{
    QSet<QString> ours;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = fd.symLinkTarget().section(QLatin1Char('/'), -1);
        if (target.startsWith(QLatin1String("socket:[")))
            ours.insert(target.mid(8).chopped(1));
    }
    QSet<QString> listening;
    for (const QString &table : {QStringLiteral("/proc/net/tcp"), QStringLiteral("/proc/net/tcp6")}) {
        QFile f(table);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> cols = line.simplified().split(' ');
            if (cols.size() > 9 && cols[3] == "0A" && ours.contains(QString::fromLatin1(cols[9])))
                listening.insert(QString::fromLatin1(cols[9]));
        }
    }
    return listening;
}

} // namespace

class TestLinphoneRegistration : public QObject {
    Q_OBJECT

private slots:
    void registersAndShowsInTheProvider()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        auto profile = c.enable(provisionXml("alice", "alice-secret", provider.hostPort(), 120, "Alice Liddell"));
        QVERIFY(profile);
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QCOMPARE(c.events.registrationStates(), (std::vector<long>{RTCRS_REGISTERING, RTCRS_REGISTERED}));
        const RecordedEvent *ok = c.events.last(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REGISTERED);
        QCOMPARE(ok->code, 200L);
        QCOMPARE(ok->profile, profile);

        const QStringList contacts = provider.contacts("alice");
        QCOMPARE(contacts.size(), 1);
        QVERIFY2(contacts.first().contains("@127.0.0.1:"), qPrintable(contacts.first()));

        // Disabled: logged off at the provider; enabled again: back.
        IRTCClientProvisioning *prov = nullptr;
        QCOMPARE(c.client->QueryProvisioning(&prov), S_OK);
        QCOMPARE(prov->DisableProfile(profile), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_LOGGED_OFF), kRegisterMs);
        QVERIFY(provider.contacts("alice").isEmpty());
        c.events.events.clear();
        QCOMPARE(prov->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QCOMPARE(provider.contacts("alice").size(), 1);
    }

    // The crypto under the media streams is set up once for the process:
    // a core made after the last one went loads no library again (the SRTP
    // library's self-tests loaded and unloaded two NSS libraries a dozen
    // times for every such core).
    void cryptoIsSetUpOncePerProcess()
    {
        {
            TestClient first;
            START_CLIENT(first);
        }
        const unsigned long before = librariesLoadedSoFar();
        TestClient second;
        START_CLIENT(second);
        const unsigned long loaded = librariesLoadedSoFar() - before;
        qInfo("libraries loaded for the second core: %lu", loaded);
        QVERIFY2(loaded < 10, qPrintable(QString::number(loaded)));
    }

    void clientMayBeDestroyedFromItsOwnEvent()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        auto c = std::make_unique<TestClient>();
        START_CLIENT(*c);
        bool destroyed = false;
        c->events.onEvent = [&](const RecordedEvent &e) {
            if (e.state == RTCRS_REGISTERED && !destroyed) {
                destroyed = true;
                c->client.reset(); // from inside liblinphone's iterate()
            }
        };
        QVERIFY(c->enable(provisionXml("demo", "demo", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(destroyed, kRegisterMs);
        QTest::qWait(200); // the timer that was delivering must not touch the dead client
        QVERIFY(!c->client);
    }

    void wrongPasswordIsRejectedNotRetried()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        QVERIFY(c.enable(provisionXml("alice", "not-her-password", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REJECTED), kRegisterMs);
        const RecordedEvent *rejected = c.events.last(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REJECTED);
        QVERIFY2(rejected->code == 401 || rejected->code == 403, qPrintable(QString::number(rejected->code)));
        QVERIFY(!rejected->text.isEmpty());
        // Past the retry interval: a refusal is final, nothing registers.
        QTest::qWait(3000);
        QVERIFY(!c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REGISTERED));
        QCOMPARE(c.events.registrationStates().back(), long(RTCRS_REJECTED));
        QVERIFY(provider.contacts("alice").isEmpty());
    }

    // The login window again, with the password typed right this time: the
    // same engine takes the new one.
    void rightPasswordAfterAWrongOneRegisters()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);
        QVERIFY(c.enable(provisionXml("alice", "not-her-password", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REJECTED), kRegisterMs);
        QVERIFY(c.enable(provisionXml("alice", "alice-secret", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QVERIFY(!provider.contacts("alice").isEmpty());
        // And wrong again: refused, not registered with the password before.
        QVERIFY(c.enable(provisionXml("alice", "wrong-again", provider.hostPort())));
        QTRY_COMPARE_WITH_TIMEOUT(c.events.registrationStates().back(), long(RTCRS_REJECTED), kRegisterMs);
    }

    void passwordWithXmlSpecialCharactersRegisters()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        // A caller-ID name typed with a line break: it must not become a
        // header of its own (the provider drops such requests).
        QVERIFY(c.enable(provisionXml("carol", "p\"&<x>'s", provider.hostPort(), 60, "Eve\r\nX-Injected: yes")));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QCOMPARE(provider.contacts("carol").size(), 1);
        QVERIFY2(provider.log().contains("REGISTER carol from [\"EveX-Injected: yes\"] with 1 From and 0 X-Injected"),
                 qPrintable(provider.log().section(QStringLiteral("REGISTER carol"), 1, 1).left(120)));
    }

    void newProfileReplacesTheOldRegistration()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        auto first = c.enable(provisionXml("1001", "1001pw", provider.hostPort()));
        QVERIFY(first);
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        c.events.events.clear();

        auto second = c.enable(provisionXml("1002", "1002pw", provider.hostPort()));
        QVERIFY(second);
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        for (const auto &e : c.events.events) // nothing more about the replaced account
            QCOMPARE(e.profile, second);
        QCOMPARE(provider.contacts("1002").size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(provider.contacts("1001").isEmpty(), 5000);
    }

    void recoversWhenTheProviderComesBack()
    {
        LocalProvider provider(5); // bindings of 5 s: refreshes every few seconds
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        QVERIFY(c.enable(provisionXml("demo", "demo", provider.hostPort(), 200)));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        c.events.events.clear();

        // Noticed at the next refresh, once its REGISTER times out (32 s on UDP).
        QVERIFY(provider.stop());
        QTRY_VERIFY_WITH_TIMEOUT(c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_NOT_REGISTERED), 45000);
        QVERIFY(!c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_REJECTED));

        c.events.events.clear();
        QVERIFY2(provider.restart(), qPrintable(provider.error()));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), 30000);
        // liblinphone's own retry may get through before ours says
        // "registering"; either way nothing but progress is reported.
        for (long s : c.events.registrationStates())
            QVERIFY2(s == RTCRS_REGISTERING || s == RTCRS_REGISTERED, qPrintable(QString::number(s)));
        QTRY_COMPARE_WITH_TIMEOUT(provider.contacts("demo").size(), 1, 5000);
    }

    void prepareForShutdownUnregisters()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);

        QVERIFY(c.enable(provisionXml("bob", "bob-secret", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QCOMPARE(provider.contacts("bob").size(), 1);

        // Bounded and synchronous: the unregistration is done when it returns.
        QCOMPARE(c.client->PrepareForShutdown(), S_OK);
        QCOMPARE(c.events.registrationStates().back(), long(RTCRS_LOGGED_OFF));
        QVERIFY(provider.contacts("bob").isEmpty());

        QCOMPARE(c.client->Shutdown(), S_OK);
        QCOMPARE(c.client->Shutdown(), S_OK);
        long filter = 0;
        QCOMPARE(c.client->get_EventFilter(&filter), RTC_E_CLIENT_NOT_INITIALIZED);
    }

    void prepareForShutdownIsBoundedWithoutProvider()
    {
        LocalProvider provider;
        START_PROVIDER(provider);
        TestClient c;
        START_CLIENT(c);
        QVERIFY(c.enable(provisionXml("bob", "bob-secret", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(c.registered(), kRegisterMs);
        QVERIFY(provider.stop());

        // Nobody answers the un-REGISTER: both still return (a hang would
        // run into the test's timeout) and the state says it did not happen.
        QCOMPARE(c.client->PrepareForShutdown(), S_OK);
        QVERIFY(!c.events.has(RTCE_REGISTRATION_STATE_CHANGE, RTCRS_LOGGED_OFF));
        QCOMPARE(c.client->Shutdown(), S_OK);
    }

    // A provider over TCP is reached by a connection the phone opens; the
    // phone listens on no stream socket, which its SIP filter could not see.
    void aProviderOverTcpIsReachedWithoutListening()
    {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        auto closeServer = qScopeGuard([server] { ::close(server); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(server, 4) == 0);
        QVERIFY(::getsockname(server, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        const QSet<QString> before = listeningTcpInodes();

        TestClient c;
        START_CLIENT(c);
        const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
        QVERIFY(c.enable(provisionXml("bob", "bob-secret", hostPort).replace("protocol=\"UDP\"", "protocol=\"TCP\"")));
        QByteArray received;
        int peer = -1;
        QVERIFY(QTest::qWaitFor([&] {
            if (peer < 0)
                peer = ::accept4(server, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            char buf[4096];
            const ssize_t n = peer >= 0 ? ::recv(peer, buf, sizeof buf, MSG_DONTWAIT) : -1;
            if (n > 0)
                received.append(buf, int(n));
            return received.contains("REGISTER sip:");
        }, kRegisterMs));
        QCOMPARE(listeningTcpInodes(), before);
        ::close(peer);
        QCOMPARE(c.client->Shutdown(), S_OK);
    }

    void operationsFollowTheContract()
    {
        TestClient c;
        long filter = 0;
        std::shared_ptr<IRTCSession> session;
        QCOMPARE(c.client->put_EventFilter(1), RTC_E_CLIENT_NOT_INITIALIZED);
        QCOMPARE(c.client->get_EventFilter(&filter), RTC_E_CLIENT_NOT_INITIALIZED);
        QCOMPARE(c.client->CreateSession(RTCST_PC_TO_PHONE, {}, nullptr, 0, &session), RTC_E_CLIENT_NOT_INITIALIZED);
        QCOMPARE(c.client->SendDTMF(RTC_DTMF_1), RTC_E_CLIENT_NOT_INITIALIZED);
        QCOMPARE(c.client->PrepareForShutdown(), RTC_E_CLIENT_NOT_INITIALIZED);

        START_CLIENT(c);
        QCOMPARE(c.client->Initialize(), RTC_E_CLIENT_ALREADY_INITIALIZED);
        QCOMPARE(c.client->get_EventFilter(&filter), S_OK);
        QCOMPARE(filter, 0xFFL);

        // Malformed provisioning: an error code, no crash, no registration.
        IRTCClientProvisioning *prov = nullptr;
        QCOMPARE(c.client->QueryProvisioning(&prov), S_OK);
        std::shared_ptr<IRTCProfile> profile;
        QCOMPARE(prov->CreateProfile("", &profile), E_INVALIDARG);
        QCOMPARE(prov->CreateProfile("<provision", &profile), RTC_E_INVALID_PROFILE);
        QCOMPARE(prov->CreateProfile("<provision><user uri=\"tel:1\"/></provision>", &profile), RTC_E_INVALID_PROFILE);
        QCOMPARE(prov->CreateProfile(QString(200000, QLatin1Char('x')), &profile), RTC_E_INVALID_PROFILE);
        QVERIFY(!profile);
        QCOMPARE(prov->EnableProfile(nullptr, RTCRF_REGISTER_ALL), E_INVALIDARG);

        QCOMPARE(prov->CreateProfile(provisionXml("alice", "x", "127.0.0.1:9", 60, "A & \"B\""), &profile), S_OK);
        QString text;
        profile->get_UserAccount(&text); // the caller-ID name, unescaped
        QCOMPARE(text, QStringLiteral("A & \"B\""));
        profile->get_UserName(&text);
        QCOMPARE(text, QStringLiteral("alice"));
        profile->get_UserURI(&text);
        QCOMPARE(text, QStringLiteral("sip:alice@127.0.0.1:9"));

        // Without a call.
        QCOMPARE(c.client->SendDTMF(RTC_DTMF_5), RTC_E_INVALID_SESSION_STATE);
        QCOMPARE(c.client->SetPreferredMediaTypes(RTCMT_VIDEO_SEND, false), E_INVALIDARG);
        long media = 0;
        QCOMPARE(c.client->SetPreferredMediaTypes(RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE, true), S_OK);
        QCOMPARE(c.client->get_PreferredMediaTypes(&media), S_OK);
        QCOMPARE(media, long(RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE));

        // Volumes and mute are kept when no call is there to apply them to.
        long volume = 0;
        QCOMPARE(c.client->put_Volume(RTCAD_SPEAKER, 30000), S_OK);
        QCOMPARE(c.client->put_Volume(RTCAD_MICROPHONE, 0), S_OK);
        QCOMPARE(c.client->put_Volume(RTCAD_SPEAKER, 70000), E_INVALIDARG);
        QCOMPARE(c.client->get_Volume(RTCAD_SPEAKER, &volume), S_OK);
        QCOMPARE(volume, 30000L);
        QCOMPARE(c.client->get_Volume(RTCAD_MICROPHONE, &volume), S_OK);
        QCOMPARE(volume, 0L);
        bool muted = false;
        QCOMPARE(c.client->put_AudioMuted(RTCAD_MICROPHONE, true), S_OK);
        QCOMPARE(c.client->get_AudioMuted(RTCAD_MICROPHONE, &muted), S_OK);
        QVERIFY(muted);
        QCOMPARE(c.client->get_AudioMuted(RTCAD_SPEAKER, &muted), S_OK);
        QVERIFY(!muted);

        // An idle session ends once; a second Terminate is refused.
        QCOMPARE(c.client->CreateSession(RTCST_PC_TO_PHONE, {}, profile, RTCCS_FORCE_PROFILE, &session), S_OK);
        RTC_SESSION_STATE state;
        QCOMPARE(session->get_State(&state), S_OK);
        QCOMPARE(state, RTCSS_IDLE);
        // Its profile is not enabled: no call is placed with it.
        QCOMPARE(session->AddParticipant("sip:bob@127.0.0.1:9", "Bob", nullptr), RTC_E_INVALID_PROFILE);
        QCOMPARE(session->Answer(), RTC_E_INVALID_SESSION_STATE);
        QCOMPARE(session->Terminate(RTCTR_NORMAL), S_OK);
        QCOMPARE(session->Terminate(RTCTR_NORMAL), RTC_E_INVALID_SESSION_STATE);

        QCOMPARE(c.client->Shutdown(), S_OK);
        QCOMPARE(c.client->Initialize(), E_UNEXPECTED);
        QCOMPARE(session->Terminate(RTCTR_NORMAL), RTC_E_INVALID_SESSION_STATE);
    }
};

QTEST_GUILESS_MAIN(TestLinphoneRegistration)
#include "tst_linphoneregistration.moc"
