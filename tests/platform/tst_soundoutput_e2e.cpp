#include "tests/support/Goertzel.h"
#include "tests/support/LocalPulse.h"
#include "platform/QtSoundOutput.h"
#include "resources/Tones.h"

#include <QProcess>
#include <QtEndian>
#include <QtTest>

using platform::QtSoundOutput;

// A key tone played through Qt Multimedia really reaches PulseAudio: the
// speaker's monitor hears 770 + 1336 Hz for "5" and nothing of "1".
class TestSoundOutputE2E : public QObject {
    Q_OBJECT
private:
    LocalPulse pulse_;
    static constexpr int rate = 8000;

    // Samples of `pcm` (s16le) as doubles.
    static QList<double> samples(const QByteArray &pcm)
    {
        QList<double> x;
        for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
            x.append(qFromLittleEndian<qint16>(pcm.constData() + i));
        return x;
    }

private slots:
    void initTestCase()
    {
        if (!pulse_.start())
            QSKIP(qPrintable(pulse_.error()));
    }

    void toneReachesTheSpeaker()
    {
        QProcess rec;
        rec.start("parecord", {"--raw", "--device=speaker.monitor", "--format=s16le",
                               QString("--rate=%1").arg(rate), "--channels=1", "--latency-msec=20"});
        QVERIFY2(rec.waitForStarted(5000), qPrintable(rec.errorString()));
        QByteArray pcm;
        connect(&rec, &QProcess::readyReadStandardOutput, this, [&] { pcm += rec.readAllStandardOutput(); });
        // The null sink loses the first moments of a new stream.
        QTest::qWait(700);

        QtSoundOutput out;
        const qsizetype before = pcm.size();
        QVERIFY(out.play(Tones::load("Tone5.wav")));
        QVERIFY(out.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!out.isPlaying(), 3000);
        QTest::qWait(500);
        rec.terminate();
        QVERIFY(rec.waitForFinished(5000));
        pcm += rec.readAllStandardOutput();

        // The loudest 40 ms of what the speaker played.
        const QList<double> x = samples(pcm.mid(before & ~qsizetype(1)));
        const int win = rate / 25;
        QVERIFY2(x.size() > 2 * win, qPrintable(QString::number(x.size())));
        int best = 0;
        double bestEnergy = 0;
        for (int at = 0; at + win <= x.size(); at += win / 4) {
            double e = 0;
            for (int i = at; i < at + win; ++i)
                e += x[i] * x[i];
            if (e > bestEnergy)
                bestEnergy = e, best = at;
        }
        QVERIFY2(bestEnergy / win > 1000 * 1000, qPrintable(QString::number(std::sqrt(bestEnergy / win))));
        const QList<double> heard = x.mid(best, win);

        const double contrast = dtmfContrast(heard, rate, 770, 1336);
        QVERIFY2(contrast > 20, qPrintable(QString::number(contrast)));
        // Explicitly: the "1" pair is not what sounded.
        const double p770 = goertzelPower(heard, 770, rate), p1336 = goertzelPower(heard, 1336, rate);
        QVERIFY(goertzelPower(heard, 697, rate) * 20 < std::min(p770, p1336));
        QVERIFY(goertzelPower(heard, 1209, rate) * 20 < std::min(p770, p1336));
    }

    void newToneCutsOffTheOld()
    {
        QtSoundOutput out;
        QVERIFY(out.play(Tones::load("Tone1.wav")));
        QVERIFY(out.play(Tones::load("Tone9.wav")));
        QVERIFY(out.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!out.isPlaying(), 3000);
    }
};

QTEST_GUILESS_MAIN(TestSoundOutputE2E)
#include "tst_soundoutput_e2e.moc"
