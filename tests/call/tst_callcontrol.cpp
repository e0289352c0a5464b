// Calls on the phone without a window: dialling with tones, answering,
// refusing, ending, the session states and the two timers.
#include "call/NumberKeys.h"
#include "call/Phone.h"
#include "history/HistoryFile.h"
#include "platform/ISoundOutput.h"
#include "resources/Tones.h"
#include "tests/doubles/FakeRTCClient.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace rtc;
using rtc::fake::CallLog;
using rtc::fake::FakeParticipant;
using rtc::fake::FakeRTCClient;
using rtc::fake::FakeSession;

namespace {
// Names each sound played after the key tone it is.
struct ToneLog : platform::ISoundOutput {
    QStringList *log = nullptr;
    bool play(const QByteArray &wave) override
    {
        for (const char c : QByteArray("0123456789*#"))
            if (Tones::load(NumberKeys::ToneName(QLatin1Char(c))) == wave)
                *log << "tone " + NumberKeys::ToneName(QLatin1Char(c));
        return true;
    }
};
} // namespace

class TestCallControl : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeRTCClient> client;
    QTemporaryDir data;
    ToneLog tones;
    std::unique_ptr<Phone> calls;
    // What the phone told the window, in order, and where that left it.
    QStringList log;
    QStringList messages;
    QString number; // the number box
    bool endEnabled = false, inCall = false;

    QString status() const { return calls->StatusText(); }
    bool ringing() const { return calls->ringTimer().isActive(); }
    bool timer() const { return calls->callTimer().isActive(); }
    std::shared_ptr<IRTCSession> current() const { return calls->session(); }
    // The newest line of the call history, as "record LINE".
    QString lastRecord() const
    {
        const auto lines = HistoryFile(data.path()).ReadLines();
        return lines && !lines->isEmpty() ? "record " + lines->first() : QString();
    }

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
    // Registered with the account's server, as the registrar's answer leaves
    // the phone.
    void registerPhone()
    {
        calls->SetAccount(Account{"sip.example.net:5070", "1001", "pw", "Ann"});
        QCOMPARE(calls->ApplyProfile(), S_OK);
        client->RaiseRegistration(RTCRS_REGISTERED);
        QCOMPARE(calls->registrationWord(), QString("REGISTERED"));
    }
    void unregisterPhone()
    {
        client->RaiseRegistration(RTCRS_REJECTED);
        QCOMPARE(calls->registrationWord(), QString("REJECTED"));
    }

private slots:
    void init()
    {
        QFile::remove(data.filePath(HistoryFile::kFileName));
        log.clear();
        messages.clear();
        number.clear();
        endEnabled = inCall = false;
        client = std::make_shared<FakeRTCClient>();
        tones.log = &log;
        Phone::Services services;
        services.createClient = [this]() -> std::shared_ptr<IRTCClient> { return client; };
        services.sound = &tones;
        services.dataFolder = data.path();
        services.pause = [this](int ms) { log << "pause " + QString::number(ms); };
        calls = std::make_unique<Phone>(services);
        Phone *p = calls.get();
        connect(p, &Phone::StatusTextChanged, this, [this](const QString &t) { log << "status " + t; });
        connect(p, &Phone::InCallControls, this, [this] {
            inCall = true;
            log << "in-call";
        });
        connect(p, &Phone::IdleControls, this, [this] {
            inCall = endEnabled = false;
            log << "idle";
        });
        connect(p, &Phone::EndCallEnabled, this, [this](bool on) { endEnabled = on; });
        connect(p, &Phone::RestoreWindow, this, [this] { log << "restore"; });
        connect(p, &Phone::Message, this, [this](const QString &text, const QString &title) {
            messages << title + ": " + text;
        });
        calls->InitRTCClient();
        registerPhone();
        client->log.calls.clear();
        log.clear();
    }
    void cleanup() { calls.reset(); }

    void notRegisteredSaysSoAndDialsNothing()
    {
        unregisterPhone();
        number = "123";
        calls->MakeCall(number);
        QCOMPARE(messages, QStringList({"Account/Pin: You are not registered, please click on Account/Pin Tab "
                                             "and verify your information"}));
        QVERIFY(client->log.calls.isEmpty());
        QVERIFY(!log.contains("tone Tone1.wav"));
    }

    void numberSoundsThenDialsExactly()
    {
        number = "0044*20#7";
        calls->MakeCall(number);
        QCOMPARE(log, QStringList({"tone Tone0.wav", "pause 100", "tone Tone0.wav", "pause 100",
                                        "tone Tone4.wav", "pause 100", "tone Tone4.wav", "pause 100",
                                        "tone Tonestar.wav", "pause 100", "tone Tone2.wav", "pause 100",
                                        "tone Tone0.wav", "pause 100", "tone Tonepnd.wav", "pause 100",
                                        "tone Tone7.wav", "pause 100", "in-call"}));
        QCOMPARE(client->log.calls, QStringList({"CreateSession(1, , profile, 1)",
                                                 "Session.AddParticipant(sip:0044*20#7@sip.example.net:5070, Any Name)"}));
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(client->sessions.at(0)));
        QVERIFY(calls->participant());
        QCOMPARE(calls->profile(), client->enabledProfile); // the session goes out with the registered profile
        QVERIFY(messages.isEmpty());
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
        calls->MakeCall(number);
        QCOMPARE(messages.count("Input Error: Numbers 0 to 9 only, please!"), warnings);
        QCOMPARE(messages.last(), QString("Input Error: The number was not dialled: numbers 0 to 9, * and # only, please!"));
        QVERIFY(client->log.calls.isEmpty()); // no session, no INVITE
        QVERIFY(!inCall);
        int digits = 0;
        for (QChar c : number)
            digits += c.isDigit() ? 1 : 0;
        QCOMPARE(log.filter("tone ").size(), digits); // the digits still sound
    }

    void emptyNumberIsNotDialled()
    {
        calls->MakeCall(number);
        QCOMPARE(messages, QStringList({"Input Error: Enter a number to call, please!"}));
        QVERIFY(client->log.calls.isEmpty());
    }

    void failingStepsShowTheirErrorAndGoOn()
    {
        client->log.failures.insert("CreateSession", E_FAIL);
        number = "1";
        calls->MakeCall(number);
        QVERIFY(log.contains("status Error:  -2147467259"));
        QCOMPARE(status(), QString("Error:  -2147467261")); // no session to add the far end to
        QVERIFY(inCall);                                   // the controls go in-call all the same
    }

    void outgoingCallStatesAndTimer()
    {
        number = "5551234";
        calls->MakeCall(number);
        auto session = current();
        raise(session, RTCSS_INPROGRESS);
        QCOMPARE(status(), QString("INPROGRESS"));
        raise(session, RTCSS_CONNECTED);
        QCOMPARE(status(), QString("CONNECTED"));
        QVERIFY(timer());
        for (int i = 0; i < 60; ++i)
            calls->CallTimerTick();
        QCOMPARE(status(), QString("CONNECTED 0:0:59"));
        calls->CallTimerTick();
        QCOMPARE(status(), QString("CONNECTED 0:1:0"));
        for (int i = 0; i < 58 * 60 + 59; ++i)
            calls->CallTimerTick();
        QCOMPARE(status(), QString("CONNECTED 0:59:59"));
        calls->CallTimerTick();
        QCOMPARE(status(), QString("CONNECTED 1:0:0"));

        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 5551234--Duration: 1:0:1"));
        QVERIFY(client->log.calls.last() == "Session.Terminate(0)");
        raise(session, RTCSS_DISCONNECTED);
        QCOMPARE(status(), QString("DISCONNECTED"));
        QVERIFY(!current());
        QVERIFY(!inCall);
        QVERIFY(!timer());

        // The end key with no call: recorded, never with the old call's time.
        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 5551234--Duration: 0:0:0"));
    }

    void sixtySecondsAreCarriedWhenRecorded()
    {
        // A connected call whose timer has counted its 60th second of a
        // minute: the next tick would carry it.
        number = "123";
        calls->MakeCall(number);
        raise(current(), RTCSS_CONNECTED);
        const auto tick = [this](int times) {
            for (int i = 0; i < times; ++i)
                calls->CallTimerTick();
        };
        tick(3 * 60);
        QCOMPARE(calls->callTime(), (Phone::CallTime{0, 2, 60}));
        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 123--Duration: 0:3:0"));
        tick(57 * 60);
        QCOMPARE(calls->callTime(), (Phone::CallTime{0, 59, 60}));
        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 123--Duration: 1:0:0"));
    }

    void incomingCallRingsAndIsAnswered()
    {
        auto s = incoming({"Alice"});
        raise(s, RTCSS_INCOMING);
        QCOMPARE(log.first(), QString("restore"));
        QCOMPARE(status(), QString("IncomingAlice"));
        QVERIFY(ringing());
        QVERIFY(endEnabled);
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(s));
        calls->RingTick();
        QCOMPARE(client->log.calls.last(), QString("PlayRing(0, true)"));

        calls->SetStatusText("incomingALICE"); // any letter case answers
        calls->CallKey(number);
        QCOMPARE(client->log.calls.last(), QString("Session.Answer()"));
        raise(s, RTCSS_ANSWERING);
        QCOMPARE(status(), QString("ANSWERING"));
        QVERIFY(!ringing());
    }

    void ringingCallIsRefusedAsBusy()
    {
        auto s = incoming({"Bob"});
        raise(s, RTCSS_INCOMING);
        number = "77";
        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 77--Duration: 0:0:0"));
        QCOMPARE(client->log.calls.mid(client->log.calls.size() - 2),
                 QStringList({"Session.Terminate(2)", "PlayRing(0, false)"}));
        QVERIFY(!ringing());
    }

    void secondCallDuringAConnectedCallOnlyRestoresTheWindow()
    {
        auto first = incoming({"Alice"});
        raise(first, RTCSS_INCOMING);
        raise(first, RTCSS_CONNECTED);
        calls->CallTimerTick();
        const QString label = status();
        log.clear();
        raise(incoming({"Carol"}), RTCSS_INCOMING);
        QCOMPARE(log, QStringList({"restore"}));
        QCOMPARE(status(), label);
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(first));
        QVERIFY(!ringing());

        // The second caller gives up: the first call goes on, as shown.
        CallLog secondLog;
        auto second = std::make_shared<FakeSession>(secondLog, RTCSS_INCOMING);
        raise(second, RTCSS_INCOMING);
        log.clear();
        for (RTC_SESSION_STATE s : {RTCSS_INPROGRESS, RTCSS_CONNECTED, RTCSS_DISCONNECTED})
            raise(second, s);
        QCOMPARE(log, QStringList());
        QCOMPARE(status(), label);
        QVERIFY(timer());
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(first));
        // ... and the end key ends it.
        client->log.calls.clear();
        calls->EndKey(number);
        QCOMPARE(client->log.calls, QStringList({"Session.Terminate(0)"}));
        QVERIFY(secondLog.calls.isEmpty());
    }

    void callRingingWhileTheNumberSoundsIsRefusedBusy()
    {
        CallLog ringingLog;
        auto ringing = std::make_shared<FakeSession>(ringingLog, RTCSS_INCOMING);
        ringing->participants.push_back(std::make_shared<FakeParticipant>("sip:eve@h", "Eve"));
        calls.reset();
        client = std::make_shared<FakeRTCClient>();
        Phone::Services services;
        services.createClient = [this]() -> std::shared_ptr<IRTCClient> { return client; };
        services.pause = [&](int) {
            if (ringingLog.calls.isEmpty())
                raise(ringing, RTCSS_INCOMING);
        };
        calls = std::make_unique<Phone>(services);
        calls->InitRTCClient();
        registerPhone();
        calls->MakeCall("12");
        QCOMPARE(ringingLog.calls, QStringList({"Session.Terminate(2)"}));
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(client->sessions.at(0)));
        QVERIFY(!calls->StatusText().startsWith("Incoming"));
        QVERIFY(!calls->ringTimer().isActive());
        raise(ringing, RTCSS_DISCONNECTED); // its end leaves the new call alone
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(client->sessions.at(0)));
    }

    void keysSentDuringTheCallAreNotRecordedAsTheNumber()
    {
        number = "2000";
        calls->MakeCall(number);
        raise(current(), RTCSS_CONNECTED);
        for (const char *key : {"5", "9"}) {
            calls->PlayTone(NumberKeys::ToneName(QLatin1Char(*key)));
            number += key; // the box shows them
        }
        QCOMPARE(client->operations().count("SendDTMF"), 2);
        calls->EndKey(number);
        QCOMPARE(lastRecord(), QString("record 2000--Duration: 0:0:0"));
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
        calls->SetStatusText("Registered and Ready...");
        raise(incoming(names), RTCSS_INCOMING);
        QCOMPARE(status(), QString("Registered and Ready..."));
        QVERIFY(ringing());
        // So the call key dials the number box instead of answering.
        number = "12";
        calls->CallKey(number);
        QVERIFY(client->operations().contains("CreateSession"));
        QVERIFY(!client->operations().contains("Session.Answer"));
    }

    void incomingReplacesAnOutgoingCallBeingSetUp()
    {
        number = "12";
        calls->MakeCall(number);
        auto outgoing = current();
        raise(outgoing, RTCSS_INPROGRESS);
        auto s = incoming({"Dan"});
        raise(s, RTCSS_INCOMING);
        QCOMPARE(current(), std::static_pointer_cast<IRTCSession>(s));
    }

    void encryptedCallShowsItselfUntilItEnds()
    {
        bool shownEncrypted = false;
        connect(calls.get(), &Phone::CallEncrypted, this, [&](bool on) {
            shownEncrypted = on;
            log << QString("encrypted %1").arg(on);
        });
        auto call = incoming({"alice"});
        raise(call, RTCSS_INCOMING);
        calls->CallKey(QString());
        raise(call, RTCSS_CONNECTED);
        QVERIFY(!shownEncrypted); // the audio is not running yet
        // The engine knows once the audio runs: the next second shows it,
        // and the status line keeps what key handling reads.
        std::static_pointer_cast<FakeSession>(call)->encrypted = true;
        calls->CallTimerTick();
        QVERIFY(shownEncrypted);
        QCOMPARE(status(), QString("CONNECTED 0:0:0"));
        QVERIFY(calls->StatusSaysConnected());
        calls->CallTimerTick();
        QCOMPARE(log.count("encrypted 1"), 1);
        raise(call, RTCSS_DISCONNECTED);
        QVERIFY(!shownEncrypted);
        QCOMPARE(status(), QString("DISCONNECTED"));
    }

    void farEndRefusingEncryptionIsSaid()
    {
        number = "5550123";
        calls->MakeCall(number);
        auto call = current();
        QVERIFY(call);
        client->RaiseSession(call, RTCSS_DISCONNECTED, RTC_E_ENCRYPTION_REFUSED);
        QCOMPARE(status(), QString("Far end can't encrypt"));
        QVERIFY(log.contains("idle"));
    }

    void idleAndUnknownStates()
    {
        auto current = incoming({"A"});
        raise(current, RTCSS_INCOMING);
        calls->SetStatusText("x");
        raise(current, RTCSS_IDLE);
        QCOMPARE(status(), QString("Idle"));
        calls->SetStatusText("y");
        raise(current, static_cast<RTC_SESSION_STATE>(6));
        raise(current, static_cast<RTC_SESSION_STATE>(99));
        QCOMPARE(status(), QString("y"));
        calls->OnSessionStateChange(nullptr); // never crashes
    }
};

QTEST_GUILESS_MAIN(TestCallControl)
#include "tst_callcontrol.moc"
