// The microphone and speaker controls without their widgets: slider maths,
// and mute and unmute in the order the user meets them.
#include "call/AudioControls.h"
#include "tests/doubles/FakeRTCClient.h"

#include <QtTest>

using namespace rtc;
using rtc::fake::FakeRTCClient;

class TestAudioControls : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeRTCClient> client;
    std::shared_ptr<IRTCClient> phoneClient; // what the phone holds
    std::unique_ptr<AudioControls> audio;
    // The client's operations, the messages and the indicators, in order.
    QStringList &trace() { return client->log.calls; }

    long volume(RTC_AUDIO_DEVICE d)
    {
        long v = -1;
        client->get_Volume(d, &v);
        return v;
    }
    // Presses the left button at `grab` within the thumb and drags it by `by`.
    void drag(AudioControls::Slider s, double grab, double by, bool leftOnly = true)
    {
        audio->ThumbDown(grab);
        audio->ThumbMove(s, grab + by, leftOnly);
    }

private slots:
    void init()
    {
        client = std::make_shared<FakeRTCClient>();
        phoneClient = client;
        audio = std::make_unique<AudioControls>([this] { return phoneClient.get(); });
        connect(audio.get(), &AudioControls::Message, this, [this](const QString &text, const QString &title) {
            trace() << "box " + title + ": " + text;
        });
        connect(audio.get(), &AudioControls::SpeakerMutedShown, this,
                [this](bool on) { trace() << QString("speaker muted ") + (on ? "shown" : "hidden"); });
        connect(audio.get(), &AudioControls::MicrophoneMutedShown, this,
                [this](bool on) { trace() << QString("microphone muted ") + (on ? "shown" : "hidden"); });
    }

    void slidersStopAtBothEndsOfTheirTrack_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("device");
        QTest::addColumn<double>("trackLeft");
        QTest::addColumn<double>("rightStop");
        QTest::newRow("speaker, twips") << int(AudioControls::Speaker) << int(RTCAD_SPEAKER) << 60.0 << 1535.0;
        QTest::newRow("microphone, pixels") << int(AudioControls::Microphone) << int(RTCAD_MICROPHONE) << 76.0
                                            << 76.0 + 105 - 20.0 / 3;
    }
    void slidersStopAtBothEndsOfTheirTrack()
    {
        QFETCH(int, slider);
        QFETCH(int, device);
        QFETCH(double, trackLeft);
        QFETCH(double, rightStop);
        const auto s = AudioControls::Slider(slider);
        const auto d = RTC_AUDIO_DEVICE(device);
        drag(s, 2, -5000);
        QCOMPARE(audio->slider(s).ThumbLeft(), trackLeft);
        QCOMPARE(volume(d), 0L);
        drag(s, 2, 9000);
        QCOMPARE(audio->slider(s).ThumbLeft(), rightStop);
        QCOMPARE(volume(d), 61374L);
        QCOMPARE(audio->MicrophoneVolume() + audio->SpeakerVolume(), 61374);
    }

    void theGrabPointStaysUnderThePointer()
    {
        // 3 units inside the microphone's thumb, 10 to the right: the thumb
        // moves 10, and its volume follows (98 - 76) * 65535 / 105.
        drag(AudioControls::Microphone, 3, 10);
        QCOMPARE(audio->slider(AudioControls::Microphone).ThumbLeft(), 98.0);
        QCOMPARE(volume(RTCAD_MICROPHONE), 13731L);
        // The offset is rounded half to even: 2.5 grabs at 2, so a move to 2.5
        // shifts the thumb half a unit.
        drag(AudioControls::Speaker, 2.5, 0);
        QCOMPARE(audio->GrabOffset(), 2);
        QCOMPARE(audio->slider(AudioControls::Speaker).ThumbLeft(), 270.5);
        QCOMPARE(volume(RTCAD_SPEAKER), 8759L); // 210.5 * 65535 / 1575 = 8758.8
    }

    void onlyTheLeftButtonAloneDrags()
    {
        drag(AudioControls::Speaker, 2, 300, false);
        QCOMPARE(audio->slider(AudioControls::Speaker).ThumbLeft(), 270.0);
        QVERIFY(trace().isEmpty());
    }

    void withoutAClientNothingIsSetOrShown()
    {
        phoneClient.reset();
        audio->SetSpeakerVolume(1000);
        audio->MuteSpeaker();
        audio->MuteMicrophone();
        QCOMPARE(audio->SpeakerVolume(), 0);
        QVERIFY(trace().isEmpty());
    }

    void speakerMutesBeforeItsBoxMicrophoneAfter()
    {
        audio->MuteSpeaker();
        audio->MuteSpeaker(); // already muted: nothing
        audio->MuteMicrophone();
        QCOMPARE(trace(), QStringList({"put_AudioMuted(0, true)", "box AudioWizard: Speaker is ON-MUTE",
                                       "speaker muted shown", "microphone muted shown",
                                       "box AudioWizard: Mic is ON-MUTE", "put_AudioMuted(1, true)"}));
        trace().clear();
        audio->UnmuteSpeaker();
        audio->UnmuteMicrophone();
        QCOMPARE(trace(), QStringList({"put_AudioMuted(0, false)", "box Audio Wizard: Mute Off", "speaker muted hidden",
                                       "put_AudioMuted(1, false)", "box Audio Wizard: Mute Off",
                                       "microphone muted hidden"}));
    }

    void aMuteTheClientRefusesIsNotAnnounced()
    {
        client->log.failures["put_AudioMuted"] = E_FAIL;
        audio->MuteSpeaker();
        audio->MuteMicrophone();
        QCOMPARE(trace(), QStringList({"put_AudioMuted(0, true)", "microphone muted shown",
                                       "box AudioWizard: Mic is ON-MUTE", "put_AudioMuted(1, true)",
                                       "microphone muted hidden"}));
    }

    void aWizardThatCannotStartSaysError()
    {
        client->log.failures["InvokeTuningWizard"] = RTC_E_NO_DEVICE;
        audio->OpenTuningWizard(nullptr);
        QCOMPARE(trace(), QStringList({"box : Error", "InvokeTuningWizard()", "box : Error"}));
    }
};

QTEST_GUILESS_MAIN(TestAudioControls)
#include "tst_audiocontrols.moc"
