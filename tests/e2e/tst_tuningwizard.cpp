// The tuning wizard on the real engine and a private PulseAudio with a
// second speaker ("Headset"): the speaker chosen there carries the next
// call's sound, after a restart too, and a chosen speaker that is gone gives
// way to the default with one message.
#include "rtc/linphone/LinphoneClient.h"
#include "tests/e2e/RegisteredPhone.h"
#include "tests/support/LocalProvider.h"
#include "tests/support/LocalPulse.h"
#include "tests/support/SippPeer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int kWaitMs = 10000;
const QString kReady = QStringLiteral("Registered and Ready...");
} // namespace

class TestTuningWizard : public QObject {
    Q_OBJECT

    LocalPulse pulse;
    std::unique_ptr<LocalProvider> provider;
    QTemporaryDir engineDir; // kept across the phones: it holds their choices
    QString headsetModule;

    // The sink a PulseAudio sink's name stands for, by index.
    QString sinkIndex(const QString &name) const
    {
        for (const QString &line : pulse.pactl({"list", "short", "sinks"}).split('\n')) {
            const QStringList f = line.split('\t');
            if (f.size() > 1 && f[1] == name)
                return f[0];
        }
        return QString();
    }
    // The sinks that streams play into now.
    QStringList playingInto() const
    {
        QStringList sinks;
        for (const QString &line : pulse.pactl({"list", "short", "sink-inputs"}).split('\n'))
            if (const QStringList f = line.split('\t'); f.size() > 1)
                sinks << f[1];
        return sinks;
    }
    // Dials the echo number and returns the sinks played into while connected.
    QStringList sinksOfACall(RegisteredPhone &phone)
    {
        SippPeer callee(*provider, "uas_echo.xml");
        callee.setRtpEcho(true);
        if (!callee.startCallee("2000", "echo-2000"))
            return {"callee: " + callee.error()};
        phone.window->cmbPhoneNo->setEditText("2000");
        QTest::mouseClick(phone.window->ControlNamed("Call"), Qt::LeftButton);
        QStringList seen;
        if (QTest::qWaitFor([&] { return phone.window->lblMsg->text().startsWith("CONNECTED"); }, kWaitMs)) {
            QTest::qWait(1000);
            seen = playingInto();
        }
        QTest::mouseClick(phone.window->ControlNamed("End call"), Qt::LeftButton);
        (void)QTest::qWaitFor([&] { return phone.window->lblMsg->text() == "DISCONNECTED"; }, kWaitMs);
        callee.waitFinished(kWaitMs);
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(pulse.start(), qPrintable(pulse.error()));
        headsetModule = pulse.pactl({"load-module", "module-null-sink", "sink_name=headset",
                                     "sink_properties=device.description=Headset"})
                            .trimmed();
        QVERIFY2(!sinkIndex("headset").isEmpty(), qPrintable(headsetModule));
        provider = std::make_unique<LocalProvider>();
        QVERIFY2(provider->start(), qPrintable(provider->error()));
    }
    void cleanupTestCase() { provider.reset(); }

    void theChosenSpeakerCarriesTheNextCallsAfterARestart()
    {
        {
            RegisteredPhone phone(*provider, nullptr, engineDir.path());
            QTRY_COMPARE_WITH_TIMEOUT(phone.window->lblMsg->text(), kReady, kWaitMs);
            // As the user does: the headset among the speakers, then OK.
            QString offered;
            QTimer answer;
            answer.setInterval(50);
            connect(&answer, &QTimer::timeout, this, [&] {
                auto *wizard = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!wizard || wizard->objectName() != "frmTuningWizard")
                    return;
                answer.stop();
                for (auto *box : wizard->findChildren<QComboBox *>())
                    if (box->accessibleName() == "Speaker") {
                        for (int i = 0; i < box->count(); ++i)
                            offered += box->itemText(i) + ";";
                        box->setCurrentIndex(box->findText("Headset"));
                    }
                wizard->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            });
            answer.start();
            QTest::mouseClick(phone.window->ControlNamed("Audio wizard"), Qt::LeftButton);
            QVERIFY2(offered.contains("Headset;") && offered.contains("Speaker;"), qPrintable(offered));
            QVERIFY2(phone.messages.shown.isEmpty(), qPrintable(phone.messages.texts().join('\n')));
        }
        RegisteredPhone again(*provider, nullptr, engineDir.path());
        QTRY_COMPARE_WITH_TIMEOUT(again.window->lblMsg->text(), kReady, kWaitMs);
        const QStringList sinks = sinksOfACall(again);
        QVERIFY2(sinks.contains(sinkIndex("headset")),
                 qPrintable(sinks.join(',') + " / headset is " + sinkIndex("headset")));
        QVERIFY(again.messages.shown.isEmpty());
    }

    void aChosenSpeakerThatIsGoneGivesWayWithOneMessage()
    {
        pulse.pactl({"unload-module", headsetModule});
        RegisteredPhone phone(*provider, nullptr, engineDir.path());
        QTRY_COMPARE_WITH_TIMEOUT(phone.window->lblMsg->text(), kReady, kWaitMs);
        QCOMPARE(phone.messages.texts(),
                 QStringList({"The speaker chosen in the Audio Wizard (Headset) is not there: the default speaker "
                              "is used."}));
        const QStringList sinks = sinksOfACall(phone);
        QVERIFY2(sinks.contains(sinkIndex("speaker")), qPrintable(sinks.join(',')));
        QCOMPARE(phone.messages.shown.size(), 1);
    }
};

QTEST_MAIN(TestTuningWizard)
#include "tst_tuningwizard.moc"
