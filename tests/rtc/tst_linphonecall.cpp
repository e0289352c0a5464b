// Calls between two real engines through a real Kamailio, with audio on a
// private PulseAudio.
#include "tests/rtc/EngineTestSupport.h"
#include "tests/support/LocalProvider.h"
#include "tests/support/LocalPulse.h"

#include <QTest>

using namespace rtc;

namespace {
constexpr int kWaitMs = 10000;

std::shared_ptr<IRTCParticipant> firstParticipant(const std::shared_ptr<IRTCSession> &s)
{
    std::shared_ptr<IRTCCollection> list;
    std::shared_ptr<IRTCParticipant> p;
    long count = 0;
    if (Failed(s->get_Participants(&list)) || Failed(list->get_Count(&count)) || count != 1)
        return nullptr;
    list->get_Item(1, &p);
    return p;
}
} // namespace

class TestLinphoneCall : public QObject {
    Q_OBJECT

    LocalPulse pulse_;
    std::unique_ptr<LocalProvider> provider_;
    std::unique_ptr<TestClient> alice_, bob_;
    std::shared_ptr<IRTCProfile> aliceProfile_;
    QByteArray bobTones_;

    std::shared_ptr<IRTCSession> call(const QString &to)
    {
        std::shared_ptr<IRTCSession> session;
        if (Failed(alice_->client->CreateSession(RTCST_PC_TO_PHONE, {}, aliceProfile_, RTCCS_FORCE_PROFILE, &session)))
            return nullptr;
        std::shared_ptr<IRTCParticipant> participant;
        if (Failed(session->AddParticipant(to, "Bob", &participant)) || !participant)
            return nullptr;
        return session;
    }

    // Alice's event for the end of that call: one of an earlier test's calls
    // may still be on its way to her sink.
    const RecordedEvent *aliceEnded(const std::shared_ptr<IRTCSession> &session) const
    {
        for (auto it = alice_->events.events.rbegin(); it != alice_->events.events.rend(); ++it)
            if (it->type == RTCE_SESSION_STATE_CHANGE && it->state == RTCSS_DISCONNECTED && it->session == session)
                return &*it;
        return nullptr;
    }

    std::shared_ptr<IRTCSession> bobIncoming() const
    {
        const RecordedEvent *e = bob_->events.last(RTCE_SESSION_STATE_CHANGE, RTCSS_INCOMING);
        return e ? e->session : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(pulse_.start(), qPrintable(pulse_.error()));
        provider_ = std::make_unique<LocalProvider>();
        QVERIFY2(provider_->start(), qPrintable(provider_->error()));
        alice_ = std::make_unique<TestClient>();
        bob_ = std::make_unique<TestClient>([this](char tone) { bobTones_.append(tone); });
        QCOMPARE(alice_->start(), S_OK);
        QCOMPARE(bob_->start(), S_OK);
        aliceProfile_ = alice_->enable(provisionXml("alice", "alice-secret", provider_->hostPort(), 300, "Alice Liddell"));
        QVERIFY(aliceProfile_);
        QVERIFY(bob_->enable(provisionXml("bob", "bob-secret", provider_->hostPort(), 300)));
        QTRY_VERIFY_WITH_TIMEOUT(alice_->registered() && bob_->registered(), kWaitMs);
    }

    void init()
    {
        alice_->events.events.clear();
        bob_->events.events.clear();
        bobTones_.clear();
        QCOMPARE(bob_->client->put_ListenForIncomingSessions(RTCLM_DYNAMIC), S_OK);
    }

    void cleanupTestCase()
    {
        // Engines before the servers they talk to.
        alice_.reset();
        bob_.reset();
        provider_.reset();
        pulse_.stop();
    }

    void answeredCallConnectsCarriesDtmfAndHangsUp()
    {
        auto out = call(QStringLiteral("sip:bob@%1").arg(provider_->hostPort()));
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(bobIncoming(), kWaitMs);
        auto in = bobIncoming();
        QCOMPARE(sessionState(out), long(RTCSS_INPROGRESS));

        auto caller = firstParticipant(in);
        QVERIFY(caller);
        QString text;
        caller->get_Name(&text);
        QCOMPARE(text, QStringLiteral("Alice Liddell"));
        caller->get_UserURI(&text);
        QVERIFY2(text.startsWith(QStringLiteral("sip:alice@127.0.0.1")), qPrintable(text));

        QCOMPARE(alice_->client->SendDTMF(RTC_DTMF_1), RTC_E_INVALID_SESSION_STATE); // not connected yet
        QCOMPARE(in->Answer(), S_OK);
        QCOMPARE(in->Answer(), RTC_E_INVALID_SESSION_STATE);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_CONNECTED), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_CONNECTED), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(alice_->events.has(RTCE_MEDIA, RTCMET_STARTED), kWaitMs);

        // Tones go as RFC 2833 events and arrive at the other engine.
        // Sent back to back: the engine spaces them out itself.
        QCOMPARE(alice_->client->SendDTMF(RTC_DTMF_5), S_OK);
        QCOMPARE(alice_->client->SendDTMF(RTC_DTMF_POUND), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(bobTones_, QByteArray("5#"), kWaitMs);
        QCOMPARE(alice_->client->SendDTMF(RTC_DTMF_FLASH), E_INVALIDARG);

        // Mute and volume while the call runs.
        QCOMPARE(alice_->client->put_AudioMuted(RTCAD_SPEAKER, true), S_OK);
        QCOMPARE(alice_->client->put_Volume(RTCAD_MICROPHONE, 20000), S_OK);
        long volume = 0;
        QCOMPARE(alice_->client->get_Volume(RTCAD_MICROPHONE, &volume), S_OK);
        QCOMPARE(volume, 20000L);
        QCOMPARE(alice_->client->put_AudioMuted(RTCAD_SPEAKER, false), S_OK);

        QCOMPARE(out->Terminate(RTCTR_NORMAL), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_DISCONNECTED), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_DISCONNECTED), kWaitMs);
        QCOMPARE(out->Terminate(RTCTR_NORMAL), RTC_E_INVALID_SESSION_STATE);
        QCOMPARE(alice_->client->SendDTMF(RTC_DTMF_1), RTC_E_INVALID_SESSION_STATE);

        // Each state once, in order (the last event may trail the state by
        // an event loop turn).
        QTRY_COMPARE_WITH_TIMEOUT(alice_->events.sessionStates(),
                                  (std::vector<long>{RTCSS_INPROGRESS, RTCSS_CONNECTED, RTCSS_DISCONNECTED}), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(
            bob_->events.sessionStates(),
            (std::vector<long>{RTCSS_INCOMING, RTCSS_ANSWERING, RTCSS_CONNECTED, RTCSS_DISCONNECTED}), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(alice_->events.has(RTCE_MEDIA, RTCMET_STOPPED), kWaitMs);
    }

    void busyRefusalReachesTheCaller()
    {
        auto out = call(QStringLiteral("bob")); // short form: the account's domain
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(bobIncoming(), kWaitMs);
        auto in = bobIncoming();
        QCOMPARE(in->Terminate(RTCTR_BUSY), S_OK);

        QTRY_VERIFY_WITH_TIMEOUT(aliceEnded(out), kWaitMs);
        QCOMPARE(sessionState(out), long(RTCSS_DISCONNECTED));
        QCOMPARE(aliceEnded(out)->code, 486L);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_DISCONNECTED), kWaitMs);
        QVERIFY(!alice_->events.has(RTCE_SESSION_STATE_CHANGE, RTCSS_CONNECTED));
        QCOMPARE(in->Terminate(RTCTR_NORMAL), RTC_E_INVALID_SESSION_STATE);
    }

    void notListeningRefusesWithoutTellingTheSink()
    {
        QCOMPARE(bob_->client->put_ListenForIncomingSessions(RTCLM_NONE), S_OK);
        auto out = call(QStringLiteral("sip:bob@%1").arg(provider_->hostPort()));
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(aliceEnded(out), kWaitMs);
        QCOMPARE(aliceEnded(out)->code, 480L);
        QVERIFY(bob_->events.sessionStates().empty());
    }

    void callerCancelsBeforeAnswer()
    {
        auto out = call(QStringLiteral("sip:bob@%1").arg(provider_->hostPort()));
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(bobIncoming(), kWaitMs);
        auto in = bobIncoming();
        QCOMPARE(out->Terminate(RTCTR_NORMAL), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(in), long(RTCSS_DISCONNECTED), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_DISCONNECTED), kWaitMs);
        QCOMPARE(in->Answer(), RTC_E_INVALID_SESSION_STATE);
    }

    void unknownCalleeEndsTheCall()
    {
        auto out = call(QStringLiteral("sip:nobody@%1").arg(provider_->hostPort()));
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(aliceEnded(out), kWaitMs);
        QCOMPARE(aliceEnded(out)->code, 404L);

        std::shared_ptr<IRTCSession> session;
        QCOMPARE(alice_->client->CreateSession(RTCST_PC_TO_PHONE, {}, aliceProfile_, RTCCS_FORCE_PROFILE, &session), S_OK);
        QCOMPARE(session->AddParticipant("sip:", "x", nullptr), RTC_E_INVALID_SIP_URL);
        QCOMPARE(sessionState(session), long(RTCSS_IDLE));
    }

    void ringPlaysOnceAndStopsWhenTheCallIsAnswered()
    {
        auto streams = [this] { return pulse_.pactl({"list", "short", "sink-inputs"}).trimmed(); };
        QTRY_VERIFY_WITH_TIMEOUT(streams().isEmpty(), kWaitMs); // the last call has let go of the sink
        QCOMPARE(bob_->client->PlayRing(RTCRT_PHONE, true), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!streams().isEmpty(), kWaitMs);
        QCOMPARE(bob_->client->PlayRing(RTCRT_PHONE, false), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(streams().isEmpty(), kWaitMs);

        // One ring (1.8 s) per call: it ends by itself, the caller rings again.
        QCOMPARE(bob_->client->PlayRing(RTCRT_PHONE, true), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!streams().isEmpty(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(streams().isEmpty(), 4000);

        // Answered mid-ring: the ring stops at once, not at its end.
        auto out = call(QStringLiteral("sip:bob@%1").arg(provider_->hostPort()));
        QVERIFY(out);
        QTRY_VERIFY_WITH_TIMEOUT(bobIncoming(), kWaitMs);
        QCOMPARE(bob_->client->PlayRing(RTCRT_PHONE, true), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!streams().isEmpty(), kWaitMs);
        // The call's own stream comes next: the ring is told by its number.
        const QString ring = streams().split('\t').value(0);
        auto ringSounds = [&] {
            for (const QString &line : streams().split('\n'))
                if (line.split('\t').value(0) == ring)
                    return true;
            return false;
        };
        QCOMPARE(bobIncoming()->Answer(), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!ringSounds(), 800);
        QCOMPARE(out->Terminate(RTCTR_NORMAL), S_OK);
        QTRY_COMPARE_WITH_TIMEOUT(sessionState(out), long(RTCSS_DISCONNECTED), kWaitMs);
    }
};

QTEST_GUILESS_MAIN(TestLinphoneCall)
#include "tst_linphonecall.moc"
