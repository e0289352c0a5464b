// Calls from and to the phone window with the real engine, through a real
// Kamailio, against another real engine as the far end.
#include "tests/rtc/EngineTestSupport.h"
#include "tests/support/LocalProvider.h"
#include "tests/support/LocalPulse.h"
#include "platform/QtSoundOutput.h"
#include "tests/e2e/RegisteredPhone.h"
#include "tests/support/SippPeer.h"

#include <QFile>
#include <QtTest>

using namespace rtc;

namespace {
constexpr int kWaitMs = 10000;

// The real sound output, counting what it is asked to play.
struct CountingSound : platform::ISoundOutput {
    platform::QtSoundOutput real;
    int plays = 0;
    bool play(const QByteArray &wave) override
    {
        ++plays;
        return real.play(wave);
    }
};

// A registration state as the engine tells it to the phone.
struct RegistrationEvent final : IRTCRegistrationStateChangeEvent {
    explicit RegistrationEvent(RTC_REGISTRATION_STATE s) : state(s) {}
    HRESULT get_State(RTC_REGISTRATION_STATE *s) const override { return *s = state, S_OK; }
    HRESULT get_StatusCode(long *) const override { return E_NOTIMPL; }
    HRESULT get_StatusText(QString *) const override { return E_NOTIMPL; }
    HRESULT get_Profile(std::shared_ptr<IRTCProfile> *) const override { return E_NOTIMPL; }
    RTC_REGISTRATION_STATE state;
};

long stateOf(const std::shared_ptr<IRTCSession> &s)
{
    RTC_SESSION_STATE st = RTCSS_IDLE;
    if (!s || Failed(s->get_State(&st)))
        return -1;
    return st;
}
} // namespace

class TestPhoneCalls : public QObject {
    Q_OBJECT

    LocalPulse pulse;
    std::unique_ptr<LocalProvider> provider;
    std::unique_ptr<TestClient> peer; // 1002, the far end
    std::shared_ptr<IRTCProfile> peerProfile;
    QString dtmf;
    std::unique_ptr<CountingSound> sound;
    std::unique_ptr<RegisteredPhone> registered;
    frmSoftphone *phone = nullptr;

    std::shared_ptr<IRTCSession> peerSession(long state)
    {
        for (auto it = peer->events.events.rbegin(); it != peer->events.events.rend(); ++it)
            if (it->type == RTCE_SESSION_STATE_CHANGE && it->state == state)
                return it->session;
        return nullptr;
    }
    QString click(const char *name)
    {
        QTest::mouseClick(phone->ControlNamed(name), Qt::LeftButton);
        return phone->lblMsg->text();
    }

private slots:
    void initTestCase() { QVERIFY2(pulse.start(), qPrintable(pulse.error())); }

    void init()
    {
        provider = std::make_unique<LocalProvider>();
        QVERIFY2(provider->start(), qPrintable(provider->error()));
        dtmf.clear();
        peer = std::make_unique<TestClient>([this](char t) { dtmf += QLatin1Char(t); });
        QCOMPARE(peer->start(), S_OK);
        peerProfile = peer->enable(provisionXml("1002", "1002pw", provider->hostPort(), 60, "Bea"));
        QVERIFY(peerProfile);
        QTRY_VERIFY_WITH_TIMEOUT(peer->registered(), kWaitMs);

        sound = std::make_unique<CountingSound>();
        registered = std::make_unique<RegisteredPhone>(*provider, sound.get());
        phone = registered->window.get();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), kWaitMs);
    }

    void cleanup()
    {
        registered.reset();
        phone = nullptr;
        sound.reset();
        peer.reset();
        provider.reset();
    }

    void outgoingCallConnectsCountsSendsDtmfAndEnds()
    {
        // The far end answers whatever rings.
        peer->events.onEvent = [](const RecordedEvent &e) {
            if (e.type == RTCE_SESSION_STATE_CHANGE && e.state == RTCSS_INCOMING)
                e.session->Answer();
        };
        phone->cmbPhoneNo->setEditText("1002");
        click("Call");
        QVERIFY(!phone->ControlNamed("Call")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("CONNECTED 0:0:1"), 3000);
        QVERIFY(peer->events.sessionStates().front() == RTCSS_INCOMING);

        const int before = sound->plays;
        for (const char *key : {"Keypad 1", "Keypad 5", "Keypad *", "Keypad #", "Keypad 0"})
            click(key);
        QTRY_COMPARE_WITH_TIMEOUT(dtmf, QString("15*#0"), kWaitMs);
        QCOMPARE(sound->plays, before); // in a call nothing sounds here

        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(peerSession(RTCSS_INCOMING)), long(RTCSS_DISCONNECTED), kWaitMs);
        QVERIFY(phone->ControlNamed("Call")->isEnabled());
        QFile history(registered->data.filePath("recentcall.txt"));
        QVERIFY(history.open(QIODevice::ReadOnly));
        // The box shows the keys sent; the history keeps the number dialled.
        QCOMPARE(phone->cmbPhoneNo->currentText(), QString("100215*#0"));
        QVERIFY(history.readAll().startsWith("1002--Duration: 0:0:"));
    }

    void incomingCallRingsAndIsAnswered()
    {
        std::shared_ptr<IRTCSession> out;
        QCOMPARE(peer->client->CreateSession(RTCST_PC_TO_PHONE, {}, peerProfile, RTCCS_FORCE_PROFILE, &out), S_OK);
        QCOMPARE(out->AddParticipant("sip:1001@" + provider->hostPort(), "Phone", nullptr), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("IncomingBea"), kWaitMs);
        QVERIFY(phone->phone().ringTimer().isActive());
        QVERIFY(phone->ControlNamed("End call")->isEnabled());
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);
        QVERIFY(!phone->phone().ringTimer().isActive());
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(out), long(RTCSS_CONNECTED), kWaitMs);
        out->Terminate(RTCTR_NORMAL); // the far end hangs up
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
    }

    void incomingCallRefusedAsBusy()
    {
        std::shared_ptr<IRTCSession> out;
        QCOMPARE(peer->client->CreateSession(RTCST_PC_TO_PHONE, {}, peerProfile, RTCCS_FORCE_PROFILE, &out), S_OK);
        QCOMPARE(out->AddParticipant("sip:1001@" + provider->hostPort(), "Phone", nullptr), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("IncomingBea"), kWaitMs);
        click("End call");
        QVERIFY(!phone->phone().ringTimer().isActive());
        // The caller's engine tells of the refusal an event loop turn
        // after its session's state changes.
        const auto busy = [this] {
            for (const auto &e : peer->events.events)
                if (e.type == RTCE_SESSION_STATE_CHANGE && e.state == RTCSS_DISCONNECTED && e.code == 486)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(busy(), kWaitMs);
        QCOMPARE(stateOf(out), long(RTCSS_DISCONNECTED));
    }

    void callerHangingUpWhileRingingStopsTheRing()
    {
        std::shared_ptr<IRTCSession> out;
        QCOMPARE(peer->client->CreateSession(RTCST_PC_TO_PHONE, {}, peerProfile, RTCCS_FORCE_PROFILE, &out), S_OK);
        QCOMPARE(out->AddParticipant("sip:1001@" + provider->hostPort(), "Phone", nullptr), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("IncomingBea"), kWaitMs);
        out->Terminate(RTCTR_NORMAL);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QVERIFY(!phone->phone().ringTimer().isActive());
        QVERIFY(!phone->ControlNamed("End call")->isEnabled());
    }

    void secondCallDuringAConnectedCallLeavesTheFirstAlone()
    {
        std::shared_ptr<IRTCSession> out;
        QCOMPARE(peer->client->CreateSession(RTCST_PC_TO_PHONE, {}, peerProfile, RTCCS_FORCE_PROFILE, &out), S_OK);
        QCOMPARE(out->AddParticipant("sip:1001@" + provider->hostPort(), "Phone", nullptr), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("IncomingBea"), kWaitMs);
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);
        const auto first = phone->phone().session();

        SippPeer second(*provider, "uac_incoming.xml");
        QVERIFY2(second.startCaller("1001", "alice", "alice-secret"), qPrintable(second.error()));
        QTest::qWait(3000);
        QCOMPARE(phone->lblMsg->text().left(10), QString("CONNECTED "));
        QCOMPARE(phone->phone().session(), first);
        QVERIFY(!phone->phone().ringTimer().isActive());
        QCOMPARE(stateOf(out), long(RTCSS_CONNECTED));
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(out), long(RTCSS_DISCONNECTED), kWaitMs);
    }

    void notRegisteredDialsNothing()
    {
        RegistrationEvent rejected(RTCRS_REJECTED);
        phone->phone().OnRegistrationStateChange(&rejected);
        QCOMPARE(phone->phone().registrationWord(), QString("REJECTED"));
        phone->cmbPhoneNo->setEditText("1002");
        click("Call");
        QCOMPARE(registered->messages.shown.last().title, QString("Account/Pin"));
        QTest::qWait(1000);
        QVERIFY(peer->events.sessionStates().empty());
        QCOMPARE(provider->invites(), QStringList()); // nothing on the wire
    }

    void undiallableNumbersSendNoInvite_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("empty") << QString();
        QTest::newRow("other host") << QString("1@evil.example;x");
        QTest::newRow("header injection") << QString("1002>\r\nTo: x");
        QTest::newRow("letters") << QString("1002abc");
        QTest::newRow("space") << QString("10 02");
    }
    void undiallableNumbersSendNoInvite()
    {
        QFETCH(QString, number);
        phone->cmbPhoneNo->setEditText(number);
        click("Call");
        QCOMPARE(registered->messages.shown.last().title, QString("Input Error"));
        QCOMPARE(phone->lblMsg->text(), QString("Registered and Ready..."));
        QVERIFY(!phone->phone().session());
        QTest::qWait(1000);
        QCOMPARE(provider->invites(), QStringList());
        QVERIFY(peer->events.sessionStates().empty());

        // The same phone then dials a good number as usual.
        phone->cmbPhoneNo->setEditText("1002");
        click("Call");
        QTRY_VERIFY_WITH_TIMEOUT(!provider->invites().isEmpty(), kWaitMs);
        for (const QString &uri : provider->invites()) // retransmissions count too
            QCOMPARE(uri, "sip:1002@" + provider->hostPort());
        // The phone says who it is.
        QVERIFY2(provider->inviteUserAgents().value(0).startsWith("Softphone/0.1"),
                 qPrintable(provider->inviteUserAgents().value(0)));
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
    }

    void outgoingCallRefusedAsBusy()
    {
        SippPeer callee(*provider, "uas_busy.xml");
        QVERIFY2(callee.startCallee("2000", "echo-2000"), qPrintable(callee.error()));
        phone->cmbPhoneNo->setEditText("2000");
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QVERIFY(callee.waitFinished(kWaitMs));
        QCOMPARE(callee.exitCode(), 0); // got its INVITE, answered 486, saw the ACK
        QVERIFY(phone->ControlNamed("Call")->isEnabled());
        QVERIFY(!phone->phone().session());
        QVERIFY(!phone->phone().callTimer().isActive());
        // Only the end key writes the history.
        QVERIFY(!QFile::exists(registered->data.filePath("recentcall.txt")));
    }

    void outgoingCallNotAnsweredIsCancelledByTheEndKey()
    {
        SippPeer callee(*provider, "uas_noanswer.xml");
        QVERIFY2(callee.startCallee("2000", "echo-2000"), qPrintable(callee.error()));
        phone->cmbPhoneNo->setEditText("2000");
        click("Call");
        QTRY_VERIFY_WITH_TIMEOUT(callee.messages().contains("SIP/2.0 180 Ringing"), kWaitMs);
        QTest::qWait(1500); // ringing, nobody answers
        QCOMPARE(phone->lblMsg->text(), QString("INPROGRESS"));
        QVERIFY(!phone->phone().callTimer().isActive());
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QVERIFY(callee.waitFinished(kWaitMs));
        QCOMPARE(callee.exitCode(), 0); // the CANCEL arrived and was answered
        QFile history(registered->data.filePath("recentcall.txt"));
        QVERIFY(history.open(QIODevice::ReadOnly));
        QCOMPARE(history.readAll(), QByteArray("2000--Duration: 0:0:0\r\n"));
    }

    void incomingCallNamingSeveralPeopleShowsOneCaller()
    {
        SippPeer caller(*provider, "uac_participants.xml");
        caller.setRtpEcho(true);
        QVERIFY2(caller.startCaller("1001", "alice", "alice-secret"), qPrintable(caller.error()));
        QTRY_VERIFY_WITH_TIMEOUT(phone->phone().ringTimer().isActive(), kWaitMs);
        QCOMPARE(phone->lblMsg->text(), QString("Incomingalice, carol, dave"));
        QCOMPARE(phone->phone().participant() ? 1 : 0, 1);
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QVERIFY(caller.waitFinished(kWaitMs));
        QCOMPARE(caller.exitCode(), 0);
    }

    void brokenOfferLeavesThePhoneWorking()
    {
        SippPeer caller(*provider, "uac_bad_sdp.xml");
        QVERIFY2(caller.startCaller("1001", "alice", "alice-secret"), qPrintable(caller.error()));
        QVERIFY(caller.waitFinished(kWaitMs));
        QCOMPARE(caller.exitCode(), 0); // refused or answered, each the usual way
        // Whatever the engine made of it, nothing is left ringing or open.
        if (phone->phone().ringTimer().isActive())
            click("End call");
        QTRY_VERIFY_WITH_TIMEOUT(!phone->phone().ringTimer().isActive(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!phone->phone().session(), kWaitMs);

        // And the next call goes through as usual.
        peer->events.onEvent = [](const RecordedEvent &e) {
            if (e.type == RTCE_SESSION_STATE_CHANGE && e.state == RTCSS_INCOMING)
                e.session->Answer();
        };
        phone->cmbPhoneNo->setEditText("1002");
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
    }
};

QTEST_MAIN(TestPhoneCalls)
#include "tst_phonecalls.moc"
