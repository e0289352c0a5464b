// What the phone window really sounds like: the speaker of a private
// PulseAudio is recorded while the phone plays a key tone and while a call's
// far end echoes the microphone back.
#include "tests/support/Goertzel.h"
#include "tests/support/LocalProvider.h"
#include "tests/support/LocalPulse.h"
#include "platform/QtSoundOutput.h"
#include "tests/e2e/RegisteredPhone.h"
#include "tests/support/SippPeer.h"
#include "call/AudioControls.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cmath>

namespace {
constexpr int kWaitMs = 10000;
constexpr int kRate = 8000;

QList<double> samples(const QByteArray &pcm)
{
    QList<double> x;
    x.reserve(pcm.size() / 2);
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
        x.append(qFromLittleEndian<qint16>(pcm.constData() + i));
    return x;
}

double rms(const QList<double> &x)
{
    double e = 0;
    for (double v : x)
        e += v * v;
    return x.isEmpty() ? 0 : std::sqrt(e / x.size());
}

// Start of the loudest window of `win` samples (quarter-window steps).
qsizetype loudest(const QList<double> &x, int win)
{
    qsizetype best = 0;
    double bestEnergy = -1;
    for (qsizetype at = 0; at + win <= x.size(); at += win / 4) {
        double e = 0;
        for (qsizetype i = at; i < at + win; ++i)
            e += x[i] * x[i];
        if (e > bestEnergy)
            bestEnergy = e, best = at;
    }
    return best;
}

// s16le mono at kRate: `ms` of a sine at `freq`, amplitude about a third of full scale.
QByteArray sine(double freq, int ms)
{
    QByteArray pcm;
    const int n = kRate * ms / 1000;
    for (int i = 0; i < n; ++i) {
        const auto v = qint16(10000 * std::sin(2 * M_PI * freq * i / kRate));
        char b[2];
        qToLittleEndian(v, b);
        pcm.append(b, 2);
    }
    return pcm;
}

QByteArray silence(int ms) { return QByteArray(kRate * ms / 1000 * 2, '\0'); }

// The speaker's monitor, as s16le mono at kRate, through parecord.
//
// Two things make a short recording come back empty. Without --latency-msec
// the server hands a record stream its data in fragments of about two
// seconds, so a recording stopped sooner has received nothing. And an idle
// null sink renders in blocks of up to two seconds, so a new monitor stream
// sees its first data only at the next block: the recording must be seen
// flowing before anything is played into it.
class SpeakerRecorder {
public:
    ~SpeakerRecorder()
    {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(2000);
        }
    }

    bool start(QString *error)
    {
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] { pcm_ += proc_.readAllStandardOutput(); });
        proc_.start(QStringLiteral("parecord"),
                    {"--raw", "--device=speaker.monitor", "--format=s16le", QString("--rate=%1").arg(kRate),
                     "--channels=1", "--latency-msec=20"});
        if (!proc_.waitForStarted(5000)) {
            *error = "parecord: " + proc_.errorString();
            return false;
        }
        // Flowing once 100 ms of it has arrived.
        QDeadlineTimer deadline(5000);
        while (pcm_.size() < kRate / 5 && !deadline.hasExpired() && proc_.state() == QProcess::Running)
            QTest::qWait(20);
        if (pcm_.size() < kRate / 5) {
            *error = QString("parecord delivered %1 bytes in 5 s: %2")
                         .arg(pcm_.size())
                         .arg(QString::fromUtf8(proc_.readAllStandardError()));
            return false;
        }
        return true;
    }

    qsizetype position() const { return pcm_.size() & ~qsizetype(1); }

    // Samples from byte position `from` to now (or to `to`).
    QList<double> since(qsizetype from, qsizetype to = -1) const
    {
        return samples(pcm_.mid(from, to < 0 ? -1 : to - from));
    }

    // Ends it as Ctrl-C would (SIGTERM does the same); what it read is kept.
    bool stop()
    {
        if (proc_.state() == QProcess::NotRunning)
            return false;
        ::kill(pid_t(proc_.processId()), SIGINT);
        const bool ended = proc_.waitForFinished(5000);
        pcm_ += proc_.readAllStandardOutput();
        return ended && proc_.exitStatus() == QProcess::NormalExit;
    }

private:
    QProcess proc_;
    QByteArray pcm_;
};

// Plays raw s16le mono at kRate into the mic_feed sink, which the "mic"
// source hears.
bool playIntoMic(const QByteArray &pcm, QString *error)
{
    QProcess p;
    p.start(QStringLiteral("pacat"), {"--playback", "--device=mic_feed", "--raw", "--format=s16le",
                                     QString("--rate=%1").arg(kRate), "--channels=1"});
    if (!p.waitForStarted(5000)) {
        *error = "pacat: " + p.errorString();
        return false;
    }
    p.write(pcm);
    p.closeWriteChannel();
    // Keep the event loop going: the phone's engine is driven from it.
    QDeadlineTimer deadline(10000 + pcm.size() * 1000 / (2 * kRate));
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (p.state() != QProcess::NotRunning || p.exitCode() != 0) {
        *error = "pacat failed: " + QString::fromUtf8(p.readAllStandardError());
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    return true;
}

// Power at `freq` over the strongest of `others`.
double contrast(const QList<double> &x, double freq, const QList<double> &others)
{
    double other = 0;
    for (double f : others)
        other = std::max(other, goertzelPower(x, f, kRate));
    return goertzelPower(x, freq, kRate) / std::max(other, 1e-12);
}
} // namespace

class TestPhoneAudio : public QObject {
    Q_OBJECT

    LocalPulse pulse;
    std::unique_ptr<LocalProvider> provider;
    std::unique_ptr<platform::QtSoundOutput> sound;
    std::unique_ptr<RegisteredPhone> registered;
    frmSoftphone *phone = nullptr;

    void click(const char *name) { QTest::mouseClick(phone->ControlNamed(name), Qt::LeftButton); }
    // Who plays and records where, for failure messages.
    QString streams() const
    {
        return "sink inputs:\n" + pulse.pactl({"list", "short", "sink-inputs"}) + "source outputs:\n" +
               pulse.pactl({"list", "short", "source-outputs"}) + "sinks:\n" + pulse.pactl({"list", "short", "sinks"});
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(pulse.start(), qPrintable(pulse.error()));
        provider = std::make_unique<LocalProvider>();
        QVERIFY2(provider->start(), qPrintable(provider->error()));
    }

    void init()
    {
        sound = std::make_unique<platform::QtSoundOutput>();
        registered = std::make_unique<RegisteredPhone>(*provider, sound.get());
        phone = registered->window.get();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), kWaitMs);
    }

    void cleanup()
    {
        registered.reset();
        phone = nullptr;
        sound.reset();
    }

    void cleanupTestCase() { provider.reset(); }

    void keyFiveOutsideACallIsHeard()
    {
        SpeakerRecorder rec;
        QString error;
        QVERIFY2(rec.start(&error), qPrintable(error + "\n" + streams()));
        const qsizetype before = rec.position();
        click("Keypad 5");
        QTRY_VERIFY_WITH_TIMEOUT(!sound->isPlaying(), 3000);
        QTest::qWait(500);
        QVERIFY(rec.stop());

        const QList<double> x = rec.since(before);
        const int win = kRate / 25; // 40 ms
        QVERIFY2(x.size() > 2 * win, qPrintable(QString::number(x.size())));
        const QList<double> heard = x.mid(loudest(x, win), win);
        QVERIFY2(rms(heard) > 1000, qPrintable(QString("rms %1\n%2").arg(rms(heard)).arg(streams())));
        const double c = dtmfContrast(heard, kRate, 770, 1336);
        QVERIFY2(c > 20, qPrintable(QString::number(c)));
        // Not the "1" pair.
        const double weaker = std::min(goertzelPower(heard, 770, kRate), goertzelPower(heard, 1336, kRate));
        QVERIFY(goertzelPower(heard, 697, kRate) * 20 < weaker);
        QVERIFY(goertzelPower(heard, 1209, kRate) * 20 < weaker);
    }

    void echoOfTheMicrophoneIsHeardInACall()
    {
        SippPeer callee(*provider, "uas_echo.xml");
        callee.setRtpEcho(true);
        QVERIFY2(callee.startCallee("2000", "echo-2000"), qPrintable(callee.error()));

        phone->cmbPhoneNo->setEditText("2000");
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);

        SpeakerRecorder rec;
        QString error;
        QVERIFY2(rec.start(&error), qPrintable(error + "\n" + streams()));
        // Nothing into the microphone: the call carries silence.
        QTest::qWait(300);
        const qsizetype quietFrom = rec.position();
        QTest::qWait(1500);
        const qsizetype quietTo = rec.position();

        // A steady tone into the microphone, padded: a new stream on a null
        // sink loses its first moments.
        QVERIFY2(playIntoMic(silence(500) + sine(1000, 2000) + silence(300), &error), qPrintable(error));
        QTest::qWait(800); // the echo's round trip and the jitter buffer
        const QString during = streams();
        QVERIFY(rec.stop());

        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);
        QVERIFY2(callee.waitFinished(kWaitMs), qPrintable(callee.messages()));
        QCOMPARE(callee.exitCode(), 0);

        const QList<double> others{400, 600, 800, 1200, 1400, 1600, 2000, 3000};
        // The engine's echo canceller learns a steady tone within about half a
        // second and then thins it out; the loudest stretch is its onset.
        const int win = kRate / 5; // 200 ms
        const QList<double> played = rec.since(quietTo);
        QVERIFY2(played.size() > 2 * win, qPrintable(QString::number(played.size())));
        const QList<double> echo = played.mid(loudest(played, win), win);
        const double echoRms = rms(echo);
        QVERIFY2(echoRms > 300, qPrintable(QString("echo rms %1\n%2").arg(echoRms).arg(during)));
        const double c = contrast(echo, 1000, others);
        QVERIFY2(c > 50, qPrintable(QString("1000 Hz over the rest: %1").arg(c)));

        const QList<double> quiet = rec.since(quietFrom, quietTo);
        QVERIFY2(quiet.size() > win, qPrintable(QString::number(quiet.size())));
        const double quietRms = rms(quiet);
        QVERIFY2(quietRms < echoRms / 10, qPrintable(QString("quiet rms %1, echo rms %2").arg(quietRms).arg(echoRms)));
        const double echo1k = goertzelPower(echo, 1000, kRate);
        for (qsizetype at = 0; at + win <= quiet.size(); at += win)
            QVERIFY2(goertzelPower(quiet.mid(at, win), 1000, kRate) * 100 < echo1k,
                     qPrintable(QString("1000 Hz at %1 ms before anything was played").arg(at * 1000 / kRate)));
    }

    // The engine's gain for real, through the echo: the speaker slider's
    // volume makes the echo quieter, the speaker's mute silences it, and a
    // muted microphone sends the far end silence (nothing comes back).
    void volumeAndMuteActOnTheCallsSound()
    {
        SippPeer callee(*provider, "uas_echo.xml");
        callee.setRtpEcho(true);
        QVERIFY2(callee.startCallee("2000", "echo-2000"), qPrintable(callee.error()));
        phone->cmbPhoneNo->setEditText("2000");
        click("Call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text().left(9), QString("CONNECTED"), kWaitMs);

        SpeakerRecorder rec;
        QString error;
        QVERIFY2(rec.start(&error), qPrintable(error + "\n" + streams()));
        AudioControls &audio = phone->Audio();
        // The loudest 200 ms of the echo of one tone: its onset, before the
        // echo canceller has learnt it.
        const auto echoOfATone = [&](double freq) {
            const qsizetype from = rec.position();
            if (!playIntoMic(silence(300) + sine(freq, 1000) + silence(200), &error))
                return -1.0;
            QTest::qWait(700);
            const QList<double> x = rec.since(from);
            return x.size() < kRate ? -1.0 : rms(x.mid(loudest(x, kRate / 5), kRate / 5));
        };

        const double full = echoOfATone(1000);
        QVERIFY2(full > 300, qPrintable(QString("echo rms %1 at full volume\n%2").arg(full).arg(streams())));
        audio.SetSpeakerVolume(16384); // a quarter: -12 dB
        QCOMPARE(audio.SpeakerVolume(), 16384);
        const double quarter = echoOfATone(1200);
        audio.SetSpeakerVolume(65535);
        audio.MuteSpeaker();
        const double speakerMuted = echoOfATone(800);
        audio.UnmuteSpeaker();
        audio.MuteMicrophone();
        const double micMuted = echoOfATone(1000);
        audio.UnmuteMicrophone();
        const double again = echoOfATone(1200);
        QVERIFY(rec.stop());
        click("End call");
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("DISCONNECTED"), kWaitMs);

        const QString levels = QString("echo rms: full %1, a quarter %2, speaker muted %3, microphone muted %4, "
                                       "unmuted %5")
                                   .arg(full).arg(quarter).arg(speakerMuted).arg(micMuted).arg(again);
        qInfo().noquote() << levels;
        // Quieter, not gone (the echo canceller takes some more off a quieter echo).
        QVERIFY2(quarter > full / 100 && quarter < full / 3, qPrintable(levels));
        QVERIFY2(speakerMuted >= 0 && speakerMuted < full / 30, qPrintable(levels));
        QVERIFY2(micMuted >= 0 && micMuted < full / 30, qPrintable(levels));
        QVERIFY2(again > full / 2, qPrintable(levels));
        QCOMPARE(registered->messages.texts(),
                 QStringList({"Speaker is ON-MUTE", "Mute Off", "Mic is ON-MUTE", "Mute Off"}));
    }
};

QTEST_MAIN(TestPhoneAudio)
#include "tst_phoneaudio.moc"
