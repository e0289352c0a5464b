#include "call/CallControl.h"
#include "tests/doubles/FakeRTCClient.h"

#include <QtTest>

using namespace rtc;
using rtc::fake::FakeParticipant;
using rtc::fake::FakeRTCClient;
using rtc::fake::FakeSession;

namespace {
struct View : ICallView {
    QString status, number;
    QStringList log; // what the phone was asked to do, in order
    QStringList messages;
    bool ringing = false, timer = false, endEnabled = false, inCall = false;

    QString StatusText() const override { return status; }
    void SetStatusText(const QString &t) override { status = t; log << "status " + t; }
    QString NumberText() const override { return number; }
    void SetInCallControls() override { inCall = true; log << "in-call"; }
    void SetIdleControls() override { inCall = false; timer = false; endEnabled = false; log << "idle"; }
    void SetEndCallEnabled(bool on) override { endEnabled = on; }
    void RestoreWindow() override { log << "restore"; }
    void SetRinging(bool on) override { ringing = on; }
    void SetCallTimerRunning(bool on) override { timer = on; }
    void PlayTone(const QString &tone) override { log << "tone " + tone; }
    void Pause(int ms) override { log << "pause " + QString::number(ms); }
    platform::MsgResult ShowMessage(const QString &text, const QString &title, platform::MsgIcon) override
    {
        messages << title + ": " + text;
        return platform::MsgResult::OK;
    }
    void AddRecentCall(const QString &n, int h, int m, int s) override
    {
        log << QStringLiteral("record %1--Duration: %2:%3:%4").arg(n).arg(h).arg(m).arg(s);
    }
};
} // namespace

class TestCallControl : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeRTCClient> client;
    PhoneState state;
    View view;
    std::unique_ptr<CallControl> calls;

    std::shared_ptr<FakeSession> incoming(const QStringList &names)
    {
        auto s = std::make_shared<FakeSession>(client->log, RTCSS_INCOMING);
        for (const QString &n : names)
            s->participants.push_back(std::make_shared<FakeParticipant>("sip:" + n + "@h", n));
        return s;
    }
    void raise(const std::shared_ptr<IRTCSession> &session, RTC_SESSION_STATE s)
    {
        client->RaiseSession(session, s);
    }

private slots:
    void init()
    {
        client = std::make_shared<FakeRTCClient>();
        state = PhoneState{};
        state.objRTCClient = client;
        state.strRegStatus = "REGISTERED";
        state.strSIPIP = "sip.example.net:5070";
        view = View{};
        calls = std::make_unique<CallControl>(state, view);
        struct Sink : IRTCEventNotification {
            CallControl *c = nullptr;
            void Event(RTC_EVENT e, IRTCEvent *p) override
            {
                if (e == RTCE_SESSION_STATE_CHANGE)
                    c->OnSessionStateChange(dynamic_cast<IRTCSessionStateChangeEvent *>(p));
            }
        };
        static Sink sink;
        sink.c = calls.get();
        client->Advise(&sink);
        client->put_EventFilter(39);
        client->log.calls.clear();
    }

    void notRegisteredSaysSoAndDialsNothing()
    {
        state.strRegStatus = "REJECTED";
        view.number = "123";
        calls->MakeCall();
        QCOMPARE(view.messages, QStringList({"Account/Pin: You are not registered, please click on Account/Pin Tab "
                                             "and verify your information"}));
        QVERIFY(client->log.calls.isEmpty());
        QVERIFY(!view.log.contains("tone Tone1.wav"));
    }

    void numberSoundsThenDialsExactly()
    {
        view.number = "0044*20#7";
        calls->MakeCall();
        QCOMPARE(view.log, QStringList({"tone Tone0.wav", "pause 100", "tone Tone0.wav", "pause 100",
                                        "tone Tone4.wav", "pause 100", "tone Tone4.wav", "pause 100",
                                        "tone Tonestar.wav", "pause 100", "tone Tone2.wav", "pause 100",
                                        "tone Tone0.wav", "pause 100", "tone Tonepnd.wav", "pause 100",
                                        "tone Tone7.wav", "pause 100", "in-call"}));
        QCOMPARE(client->log.calls, QStringList({"CreateSession(1, , none, 1)",
                                                 "Session.AddParticipant(sip:0044*20#7@sip.example.net:5070, Any Name)"}));
        QCOMPARE(state.objSession, std::static_pointer_cast<IRTCSession>(client->sessions.at(0)));
        QVERIFY(state.objParticipant);
        QVERIFY(view.messages.isEmpty());
    }

    void foreignCharactersAreWarnedAndNeverDialled_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("warnings");
        QTest::newRow("uri injection") << "1@evil.example;x" << 15;
        QTest::newRow("letters") << "12ab" << 2;
        QTest::newRow("angle") << "1>" << 1;
        QTest::newRow("plus") << "+4420" << 1;
        QTest::newRow("blank") << "1 2" << 1;
        QTest::newRow("backspace") << QString("12") + QChar(8) << 0;
    }
    void foreignCharactersAreWarnedAndNeverDialled()
    {
        QFETCH(QString, number);
        QFETCH(int, warnings);
        view.number = number;
        calls->MakeCall();
        QCOMPARE(view.messages.count("Input Error: Numbers 0 to 9 only, please!"), warnings);
        QCOMPARE(view.messages.last(), QString("Input Error: The number was not dialled: numbers 0 to 9, * and # only, please!"));
        QVERIFY(client->log.calls.isEmpty()); // no session, no INVITE
        QVERIFY(!view.inCall);
        int digits = 0;
        for (QChar c : number)
            digits += c.isDigit() ? 1 : 0;
        QCOMPARE(view.log.filter("tone ").size(), digits); // the digits still sound
    }

    void emptyNumberIsNotDialled()
    {
        calls->MakeCall();
        QCOMPARE(view.messages, QStringList({"Input Error: Enter a number to call, please!"}));
        QVERIFY(client->log.calls.isEmpty());
    }

    void failingStepsShowTheirErrorAndGoOn()
    {
        client->log.failures.insert("CreateSession", E_FAIL);
        view.number = "1";
        calls->MakeCall();
        QVERIFY(view.log.contains("status Error:  -2147467259"));
        QCOMPARE(view.status, QString("Error:  -2147467261")); // no session to add the far end to
        QVERIFY(view.inCall);                                   // the controls go in-call all the same
    }

    void outgoingCallStatesAndTimer()
    {
        view.number = "5551234";
        calls->MakeCall();
        auto session = state.objSession;
        raise(session, RTCSS_INPROGRESS);
        QCOMPARE(view.status, QString("INPROGRESS"));
        raise(session, RTCSS_CONNECTED);
        QCOMPARE(view.status, QString("CONNECTED"));
        QVERIFY(view.timer);
        for (int i = 0; i < 60; ++i)
            calls->tmrConnected_Timer();
        QCOMPARE(view.status, QString("CONNECTED 0:0:59"));
        calls->tmrConnected_Timer();
        QCOMPARE(view.status, QString("CONNECTED 0:1:0"));
        for (int i = 0; i < 58 * 60 + 59; ++i)
            calls->tmrConnected_Timer();
        QCOMPARE(view.status, QString("CONNECTED 0:59:59"));
        calls->tmrConnected_Timer();
        QCOMPARE(view.status, QString("CONNECTED 1:0:0"));

        calls->Picture8_Click();
        QCOMPARE(view.log.filter("record").last(), QString("record 5551234--Duration: 1:0:1"));
        QVERIFY(client->log.calls.last() == "Session.Terminate(0)");
        raise(session, RTCSS_DISCONNECTED);
        QCOMPARE(view.status, QString("DISCONNECTED"));
        QVERIFY(!state.objSession);
        QVERIFY(!view.inCall);
        QVERIFY(!view.timer);

        // The end key with no call: recorded, never with the old call's time.
        calls->Picture8_Click();
        QCOMPARE(view.log.filter("record").last(), QString("record 5551234--Duration: 0:0:0"));
    }

    void sixtySecondsAreCarriedWhenRecorded()
    {
        state.timemin = 2;
        state.intConnectedSeconds = 60;
        view.number = "123";
        calls->Picture8_Click();
        QCOMPARE(view.log.filter("record").last(), QString("record 123--Duration: 0:3:0"));
        state.timehr = 0;
        state.timemin = 59;
        state.intConnectedSeconds = 60;
        calls->Picture8_Click();
        QCOMPARE(view.log.filter("record").last(), QString("record 123--Duration: 1:0:0"));
    }

    void incomingCallRingsAndIsAnswered()
    {
        auto s = incoming({"Alice"});
        raise(s, RTCSS_INCOMING);
        QCOMPARE(view.log.first(), QString("restore"));
        QCOMPARE(view.status, QString("IncomingAlice"));
        QVERIFY(view.ringing);
        QVERIFY(view.endEnabled);
        QCOMPARE(state.objSession, std::static_pointer_cast<IRTCSession>(s));
        calls->ring_Timer();
        QCOMPARE(client->log.calls.last(), QString("PlayRing(0, true)"));

        view.status = "incomingALICE"; // any letter case answers
        calls->Picture6_Click();
        QCOMPARE(client->log.calls.last(), QString("Session.Answer()"));
        raise(s, RTCSS_ANSWERING);
        QCOMPARE(view.status, QString("ANSWERING"));
        QVERIFY(!view.ringing);
    }

    void ringingCallIsRefusedAsBusy()
    {
        auto s = incoming({"Bob"});
        raise(s, RTCSS_INCOMING);
        view.number = "77";
        calls->Picture8_Click();
        QCOMPARE(view.log.filter("record").last(), QString("record 77--Duration: 0:0:0"));
        QCOMPARE(client->log.calls.mid(client->log.calls.size() - 2),
                 QStringList({"Session.Terminate(2)", "PlayRing(0, false)"}));
        QVERIFY(!view.ringing);
    }

    void secondCallDuringAConnectedCallOnlyRestoresTheWindow()
    {
        auto first = incoming({"Alice"});
        raise(first, RTCSS_INCOMING);
        raise(first, RTCSS_CONNECTED);
        calls->tmrConnected_Timer();
        const QString label = view.status;
        view.log.clear();
        raise(incoming({"Carol"}), RTCSS_INCOMING);
        QCOMPARE(view.log, QStringList({"restore"}));
        QCOMPARE(view.status, label);
        QCOMPARE(state.objSession, std::static_pointer_cast<IRTCSession>(first));
        QVERIFY(!view.ringing);
    }

    void incomingWithoutOneParticipantRingsButLeavesTheLabel_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("none") << QStringList();
        QTest::newRow("several") << QStringList({"A", "B"});
    }
    void incomingWithoutOneParticipantRingsButLeavesTheLabel()
    {
        QFETCH(QStringList, names);
        view.status = "Registered and Ready...";
        raise(incoming(names), RTCSS_INCOMING);
        QCOMPARE(view.status, QString("Registered and Ready..."));
        QVERIFY(view.ringing);
        // So the call key dials the number box instead of answering.
        view.number = "12";
        calls->Picture6_Click();
        QVERIFY(client->operations().contains("CreateSession"));
        QVERIFY(!client->operations().contains("Session.Answer"));
    }

    void incomingReplacesAnOutgoingCallBeingSetUp()
    {
        view.number = "12";
        calls->MakeCall();
        auto outgoing = state.objSession;
        raise(outgoing, RTCSS_INPROGRESS);
        auto s = incoming({"Dan"});
        raise(s, RTCSS_INCOMING);
        QCOMPARE(state.objSession, std::static_pointer_cast<IRTCSession>(s));
    }

    void idleAndUnknownStates()
    {
        view.status = "x";
        raise(incoming({"A"}), RTCSS_IDLE);
        QCOMPARE(view.status, QString("Idle"));
        view.status = "y";
        raise(incoming({"A"}), static_cast<RTC_SESSION_STATE>(6));
        raise(incoming({"A"}), static_cast<RTC_SESSION_STATE>(99));
        QCOMPARE(view.status, QString("y"));
        calls->OnSessionStateChange(nullptr); // never crashes
    }
};

QTEST_GUILESS_MAIN(TestCallControl)
#include "tst_callcontrol.moc"
