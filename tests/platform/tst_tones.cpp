#include "tests/support/Goertzel.h"
#include "resources/Tones.h"

#include <QtEndian>
#include <QtTest>

// The twelve key tones built into the program, and finding them by name.
class TestTones : public QObject {
    Q_OBJECT
private:
    struct Key {
        const char *name;
        int low, high;
    };
    static QList<Key> keys()
    {
        return {{"Tone1.wav", 697, 1209}, {"Tone2.wav", 697, 1336}, {"Tone3.wav", 697, 1477},
                {"Tone4.wav", 770, 1209}, {"Tone5.wav", 770, 1336}, {"Tone6.wav", 770, 1477},
                {"Tone7.wav", 852, 1209}, {"Tone8.wav", 852, 1336}, {"Tone9.wav", 852, 1477},
                {"Tonestar.wav", 941, 1209}, {"Tone0.wav", 941, 1336}, {"Tonepnd.wav", 941, 1477}};
    }
    static quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
    static quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

private slots:
    void waves_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        for (const Key &k : keys())
            QTest::newRow(k.name) << QString::fromLatin1(k.name) << k.low << k.high;
    }

    void waves()
    {
        QFETCH(QString, name);
        QFETCH(int, low);
        QFETCH(int, high);
        const QByteArray w = Tones::load(name);
        QCOMPARE(w.size(), 684);

        // Header: RIFF/WAVE, 16-byte PCM format chunk, 640-byte data chunk.
        QCOMPARE(w.left(4), QByteArray("RIFF"));
        QCOMPARE(u32(w, 4), 676u);
        QCOMPARE(w.mid(8, 4), QByteArray("WAVE"));
        QCOMPARE(w.mid(12, 4), QByteArray("fmt "));
        QCOMPARE(u32(w, 16), 16u);
        QCOMPARE(u16(w, 20), quint16(1));     // PCM
        QCOMPARE(u16(w, 22), quint16(1));     // mono
        QCOMPARE(u32(w, 24), 8000u);          // samples per second
        QCOMPARE(u32(w, 28), 8000u);          // bytes per second
        QCOMPARE(u16(w, 32), quint16(1));     // block align
        QCOMPARE(u16(w, 34), quint16(8));     // bits per sample
        QCOMPARE(w.mid(36, 4), QByteArray("data"));
        QCOMPARE(u32(w, 40), 640u);

        // Unsigned samples around 128, the sum peaking about 64 each way.
        QList<double> x;
        int lo = 255, hi = 0;
        double sum = 0;
        for (int i = 44; i < 684; ++i) {
            const int s = quint8(w[i]);
            lo = std::min(lo, s);
            hi = std::max(hi, s);
            sum += s;
            x.append(s - 128.0);
        }
        QVERIFY2(std::abs(sum / 640 - 128) < 2, qPrintable(QString::number(sum / 640)));
        QVERIFY2(hi - 128 >= 58 && hi - 128 <= 66, qPrintable(QString::number(hi)));
        QVERIFY2(128 - lo >= 58 && 128 - lo <= 66, qPrintable(QString::number(lo)));

        // Its own two frequencies, equally strong, and none of the other five.
        const double contrast = dtmfContrast(x, 8000, low, high);
        QVERIFY2(contrast > 100, qPrintable(QString::number(contrast)));
        const double pl = goertzelPower(x, low, 8000), ph = goertzelPower(x, high, 8000);
        QVERIFY2(pl / ph > 0.8 && pl / ph < 1.25, qPrintable(QString::number(pl / ph)));
    }

    void twelveDifferentTones()
    {
        QSet<QByteArray> seen;
        for (const Key &k : keys())
            seen.insert(Tones::load(k.name));
        QCOMPARE(seen.size(), 12);
    }

    void namesIgnoreCase()
    {
        QCOMPARE(Tones::resourcePath("Tone0.wav"), QString(":/tones/TONE0.WAV"));
        QCOMPARE(Tones::resourcePath("tonestar.WAV"), QString(":/tones/TONESTAR.WAV"));
        QCOMPARE(Tones::resourcePath("TONEPND.WAV"), QString(":/tones/TONEPND.WAV"));
        QCOMPARE(Tones::load("tOnE5.WaV"), Tones::load("Tone5.wav"));
    }

    void unknownNamesGiveNothing()
    {
        for (const char *bad : {"", "Tone10.wav", "Tone5", "Tone5.wav ", "tones/TONE5.WAV",
                                "../tones/TONE5.WAV", "../skins/main.png", "DTMF.WAV"}) {
            QVERIFY2(Tones::resourcePath(bad).isEmpty(), bad);
            QVERIFY2(Tones::load(bad).isEmpty(), bad);
        }
    }
};

QTEST_GUILESS_MAIN(TestTones)
#include "tst_tones.moc"
