#include "platform/QtSoundOutput.h"
#include "tests/doubles/RecordingSoundOutput.h"
#include "resources/Tones.h"
#include "platform/WaveFile.h"

#include <QtEndian>
#include <QtTest>

using platform::parseWave;
using platform::QtSoundOutput;

// Reading WAVE bytes, and refusing what cannot be played without crashing.
class TestSoundOutput : public QObject {
    Q_OBJECT
private:
    static QByteArray tone() { return Tones::load("Tone5.wav"); }
    static QByteArray with16(QByteArray w, int at, quint16 v)
    {
        qToLittleEndian(v, w.data() + at);
        return w;
    }
    static QByteArray with32(QByteArray w, int at, quint32 v)
    {
        qToLittleEndian(v, w.data() + at);
        return w;
    }

private slots:
    void initTestCase()
    {
        // No sound server at all: the "no output device" case below.
        qputenv("PULSE_SERVER", "unix:/nonexistent/softphone-test/native");
        qputenv("PULSE_CLIENTCONFIG", "/dev/null");
        QCOMPARE(tone().size(), 684);
    }

    void readsTheKeyTone()
    {
        const auto pcm = parseWave(tone());
        QVERIFY(pcm);
        QCOMPARE(pcm->sampleRate, 8000);
        QCOMPARE(pcm->channels, 1);
        QCOMPARE(pcm->bitsPerSample, 8);
        QCOMPARE(pcm->samples, tone().mid(44));
    }

    void skipsOtherChunksAndPadding()
    {
        QByteArray w = tone();
        // A 3-byte "LIST" chunk (padded to 4) between format and data.
        w.insert(36, QByteArray("LIST\x03\x00\x00\x00xyz\x00", 12));
        w = with32(w, 4, quint32(w.size() - 8));
        const auto pcm = parseWave(w);
        QVERIFY(pcm);
        QCOMPARE(pcm->samples, tone().mid(44));
    }

    void refusesMalformed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray t = tone();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << t.left(12);
        QTest::newRow("cut in format") << t.left(30);
        QTest::newRow("cut in data") << t.left(400);
        QTest::newRow("no data chunk") << t.left(36);
        QTest::newRow("not RIFF") << QByteArray("RIFX") + t.mid(4);
        QTest::newRow("not WAVE") << t.left(8) + "AVI " + t.mid(12);
        QTest::newRow("not PCM") << with16(t, 20, 3);
        QTest::newRow("ADPCM") << with16(t, 20, 2);
        QTest::newRow("no channels") << with16(t, 22, 0);
        QTest::newRow("12 bits") << with16(t, 34, 12);
        QTest::newRow("zero rate") << with32(t, 24, 0);
        QTest::newRow("wrong byte rate") << with32(t, 28, 16000);
        QTest::newRow("wrong block align") << with16(t, 32, 2);
        QTest::newRow("format too short") << with32(t, 16, 8);
        QTest::newRow("data longer than file") << with32(t, 40, 641);
        QTest::newRow("huge data size") << with32(t, 40, 0xffffffffu);
        QTest::newRow("huge format size") << with32(t, 16, 0xfffffff0u);
        QTest::newRow("empty data") << with32(t.left(44), 40, 0);
        QTest::newRow("data before format")
            << t.left(12) + t.mid(36) + t.mid(12, 24);
        QTest::newRow("noise") << QByteArray(684, '\xa5');
    }

    void refusesMalformed()
    {
        QFETCH(QByteArray, bytes);
        QString why;
        QVERIFY(!parseWave(bytes, &why));
        QVERIFY(!why.isEmpty());
        QtSoundOutput out;
        QVERIFY(!out.play(bytes));
        QVERIFY(!out.isPlaying());
    }

    void everyPrefixIsSafe()
    {
        // Truncated anywhere, the tone is refused (and never read out of bounds).
        const QByteArray t = tone();
        for (int n = 0; n < t.size(); ++n)
            QVERIFY2(!parseWave(t.left(n)), qPrintable(QString::number(n)));
    }

    void noOutputDeviceRefusesQuietly()
    {
        QtSoundOutput out;
        QVERIFY(!out.play(tone()));
        QVERIFY(!out.isPlaying());
    }

    void doubleRecordsWhatItIsAsked()
    {
        platform::RecordingSoundOutput rec;
        platform::ISoundOutput &out = rec;
        QVERIFY(out.play(tone()));
        rec.result = false;
        QVERIFY(!out.play("x"));
        QCOMPARE(rec.played, (QList<QByteArray>{tone(), "x"}));
    }
};

QTEST_GUILESS_MAIN(TestSoundOutput)
#include "tst_soundoutput.moc"
