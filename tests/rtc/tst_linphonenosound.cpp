// The engine on a machine without any sound server or card: it registers,
// calls connect and end, ringing is refused cleanly.
#include "tests/rtc/EngineTestSupport.h"
#include "tests/support/LocalProvider.h"

#include <QFile>
#include <QTest>

using namespace rtc;

namespace {
constexpr int kWaitMs = 10000;
} // namespace

class TestLinphoneNoSound : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

private slots:
    void initTestCase()
    {
        // No PulseAudio reachable, and none started on demand.
        const QString conf = scratch_.filePath("client.conf");
        QFile f(conf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("autospawn = no\n");
        f.close();
        qputenv("PULSE_CLIENTCONFIG", conf.toUtf8());
        qputenv("PULSE_SERVER", scratch_.filePath("no-such-socket").prepend("unix:").toUtf8());
    }

    void callsWorkWithoutAudioDevices()
    {
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        TestClient alice, bob;
        QCOMPARE(alice.start(), S_OK);
        QCOMPARE(bob.start(), S_OK);
        // Alice only wants session events: registration ones must not reach her sink.
        QCOMPARE(alice.client->put_EventFilter(RTCEF_SESSION_STATE_CHANGE), S_OK);

        auto aliceProfile = alice.enable(provisionXml("alice", "alice-secret", provider.hostPort()));
        QVERIFY(aliceProfile);
        QVERIFY(bob.enable(provisionXml("bob", "bob-secret", provider.hostPort())));
        QTRY_VERIFY_WITH_TIMEOUT(bob.registered(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(provider.contacts("alice").size(), 1, kWaitMs);
        QVERIFY(alice.events.registrationStates().empty());

        const HRESULT ring = bob.client->PlayRing(RTCRT_PHONE, true);
        QVERIFY2(ring == RTC_E_NO_DEVICE || ring == S_OK, qPrintable(QString::number(ring, 16)));
        QCOMPARE(bob.client->PlayRing(RTCRT_PHONE, false), S_OK);
        // Nothing to tune: the wizard does not start (E_UNEXPECTED where the
        // machine has a card after all: this process has no windows).
        const HRESULT wizard = bob.client->InvokeTuningWizard(nullptr);
        QVERIFY2(wizard == RTC_E_NO_DEVICE || wizard == E_UNEXPECTED, qPrintable(QString::number(wizard, 16)));

        std::shared_ptr<IRTCSession> out;
        QCOMPARE(alice.client->CreateSession(RTCST_PC_TO_PHONE, {}, aliceProfile, RTCCS_FORCE_PROFILE, &out), S_OK);
        QCOMPARE(out->AddParticipant(QStringLiteral("sip:bob@%1").arg(provider.hostPort()), "Bob", nullptr), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(bob.events.last(RTCE_SESSION_STATE_CHANGE, RTCSS_INCOMING), kWaitMs);
        auto in = bob.events.last(RTCE_SESSION_STATE_CHANGE, RTCSS_INCOMING)->session;
        QCOMPARE(in->Answer(), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_CONNECTED), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_CONNECTED), kWaitMs);
        QTest::qWait(500); // let the audio graph run (on no device) for a moment

        QCOMPARE(in->Terminate(RTCTR_NORMAL), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_DISCONNECTED), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_DISCONNECTED), kWaitMs);

        QCOMPARE(alice.client->PrepareForShutdown(), S_OK);
        QCOMPARE(bob.client->PrepareForShutdown(), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(provider.contacts("alice").isEmpty() && provider.contacts("bob").isEmpty(), kWaitMs);
    }
};

QTEST_GUILESS_MAIN(TestLinphoneNoSound)
#include "tst_linphonenosound.moc"
