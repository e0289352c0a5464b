// The mixer lines over a mixer of chosen elements: which element stands for
// which line, clamping, mute the right way round, and no mixer at all.
#include "audio/clsVolume.h"
#include "tests/doubles/FakeMixer.h"
#include "tests/doubles/RecordingMessageBox.h"

#include <QtTest>

using platform::FakeMixer;

class TestClsVolume : public QObject {
    Q_OBJECT

    platform::RecordingMessageBox messages;
    QStringList writes;

    std::unique_ptr<clsVolume> make(const QMap<QString, FakeMixer::Element> &elements, bool opens = true)
    {
        auto mixer = std::make_unique<FakeMixer>();
        mixer->elements = elements;
        mixer->opens = opens;
        mixer->writes = &writes;
        return std::make_unique<clsVolume>(std::move(mixer), &messages);
    }

private slots:
    void init()
    {
        messages.shown.clear();
        writes.clear();
    }

    void volumesAreClampedToTheBounds()
    {
        auto v = make({{"Master", {0, 65535, 100}}});
        QCOMPARE(v->MinWaveVolume(), 0);
        QCOMPARE(v->MaxWaveVolume(), 65535);
        v->WaveVolume(70000);
        QCOMPARE(v->WaveVolume(), 65535);
        v->WaveVolume(-5);
        QCOMPARE(v->WaveVolume(), 0);
        QCOMPARE(writes, QStringList({"Master=65535", "Master=0"}));
    }

    void muteReadsNonzeroWhileTheSwitchIsOff()
    {
        auto v = make({{"Capture", {0, 100, 50}}});
        QCOMPARE(v->MicroMute(), 0);
        v->MicroMute(1);
        QCOMPARE(v->MicroMute(), 1);
        v->MicroMute(0);
        QCOMPARE(writes, QStringList({"Capture switch off", "Capture switch on"}));
    }

    void fallbacksAndFoundSets()
    {
        // No line input: the auxiliary line stands in. No capture: Mic does.
        FakeMixer::Element noSwitch{0, 31, 7};
        noSwitch.hasSwitch = false;
        auto v = make({{"Aux", {0, 31, 3}}, {"Mic", noSwitch}, {"Synth", {0, 10, 1}}});
        QCOMPARE(v->MaxLineInVolume(), 31);
        v->LineInVolume(40);
        v->LineInMute(1);
        QCOMPARE(writes, QStringList({"Aux=31", "Aux switch off"}));
        QCOMPARE(v->MicroVolume(), 7);
        QVERIFY(v->HasVolumeControl(clsVolume::LineIn | clsVolume::Micro | clsVolume::MIDI));
        QVERIFY(!v->HasVolumeControl(clsVolume::Wave | clsVolume::WaveIn | clsVolume::CD));
        QVERIFY(v->HasMuteControl(clsVolume::LineIn));
        QVERIFY(!v->HasMuteControl(clsVolume::Micro));
        // A line input that has a volume but no switch keeps it: Aux is
        // not tried for the mute alone.
        FakeMixer::Element line{0, 5, 2};
        line.hasSwitch = false;
        v = make({{"Line", line}, {"Aux", {0, 31, 3}}});
        QCOMPARE(v->MaxLineInVolume(), 5);
        QVERIFY(!v->HasMuteControl(clsVolume::LineIn));
    }

    void withoutAMixerItSaysSoOnceAndReadsZero()
    {
        auto v = make({{"Master", {0, 65535, 100}}}, false);
        QCOMPARE(messages.texts(), QStringList({"No mixer found!"}));
        QCOMPARE(messages.shown.first().icon, platform::MsgIcon::None);
        v->WaveVolume(10);
        v->WaveMute(1);
        QCOMPARE(v->WaveVolume() + v->WaveMute() + v->MaxWaveVolume(), 0);
        QVERIFY(!v->HasVolumeControl(63) && !v->HasMuteControl(63));
        QVERIFY(writes.isEmpty());
        QCOMPARE(messages.shown.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestClsVolume)
#include "tst_clsvolume.moc"
