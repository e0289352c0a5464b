// The mixer lines on ALSA's default card, which is a private PulseAudio
// through ALSA's PulseAudio plugin: what the class writes, pactl reads back.
#include "audio/clsVolume.h"
#include "platform/AlsaMixer.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "tests/support/LocalPulse.h"

#include <QRegularExpression>
#include <QtTest>

class TestClsVolumePulse : public QObject {
    Q_OBJECT

    LocalPulse pulse;

    // The first channel's raw volume in "pactl get-sink-volume speaker".
    long pactlVolume(const char *what, const char *name) const
    {
        const QString out = pulse.pactl({QString("get-%1-volume").arg(what), name});
        const auto m = QRegularExpression(R"(:\s*(\d+)\s*/)").match(out);
        return m.hasMatch() ? m.captured(1).toLong() : -1;
    }
    QString pactlMute(const char *what, const char *name) const
    {
        return pulse.pactl({QString("get-%1-mute").arg(what), name}).trimmed();
    }

private slots:
    void initTestCase() { QVERIFY2(pulse.start(), qPrintable(pulse.error())); }

    void masterAndCaptureAreThePulseDefaults()
    {
        platform::RecordingMessageBox messages;
        clsVolume v(std::make_unique<platform::AlsaMixer>(), &messages);
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
        QVERIFY(v.HasVolumeControl(clsVolume::Wave) && v.HasMuteControl(clsVolume::Wave));
        QVERIFY(v.HasVolumeControl(clsVolume::Micro) && v.HasMuteControl(clsVolume::Micro));
        const int others = clsVolume::WaveIn | clsVolume::LineIn | clsVolume::CD | clsVolume::MIDI;
        QVERIFY(!v.HasVolumeControl(others) && !v.HasMuteControl(others));
        QCOMPARE(v.MaxLineInVolume(), 0);
        QCOMPARE(v.CD_Volume(), 0);
        QVERIFY(v.MaxWaveVolume() > v.MinWaveVolume());

        const std::int32_t half = v.MaxWaveVolume() / 2;
        v.WaveVolume(half);
        QCOMPARE(v.WaveVolume(), half);
        QVERIFY2(qAbs(pactlVolume("sink", "speaker") - 32768) < 700,
                 qPrintable(pulse.pactl({"get-sink-volume", "speaker"})));
        v.MicroVolume(v.MaxMicVolume() / 4);
        QVERIFY2(qAbs(pactlVolume("source", "mic") - 16384) < 700,
                 qPrintable(pulse.pactl({"get-source-volume", "mic"})));

        v.WaveMute(1);
        QCOMPARE(pactlMute("sink", "speaker"), QString("Mute: yes"));
        QCOMPARE(v.WaveMute(), 1);
        v.MicroMute(1);
        QCOMPARE(pactlMute("source", "mic"), QString("Mute: yes"));
        // Every read asks the mixer: a change made elsewhere shows.
        pulse.pactl({"set-sink-mute", "speaker", "0"});
        QTRY_COMPARE(v.WaveMute(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClsVolumePulse)
#include "tst_clsvolume_pulse.moc"
