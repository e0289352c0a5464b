// The phone window and the notification area, through the tray's and the
// notifications' stand-ins: hiding, the icon's clicks and menu, a call that
// brings the window back and is announced, the way out.
#include "account/ProfileStore.h"
#include "mainwindow/TrayControl.h"
#include "mainwindow/frmSoftphone.h"
#include "resources/Artwork.h"
#include "tests/doubles/FakeRTCClient.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "tests/doubles/RecordingNotifier.h"
#include "tests/doubles/RecordingTrayIcon.h"

#include <QtTest>

using namespace rtc;
using rtc::fake::FakeParticipant;
using rtc::fake::FakeRTCClient;
using rtc::fake::FakeSession;

class TestTrayControl : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    platform::RecordingTrayIcon tray;
    platform::RecordingNotifier notifier;
    std::shared_ptr<FakeRTCClient> client;

    // A registered phone on screen.
    std::unique_ptr<frmSoftphone> shownForm()
    {
        PhoneServices s;
        s.settings = &settings;
        s.messages = &messages;
        s.tray = &tray;
        s.notifier = &notifier;
        s.phone.createClient = [this]() -> std::shared_ptr<IRTCClient> { return client; };
        s.runModal = [](QDialog &) { return 0; };
        auto form = std::make_unique<frmSoftphone>(s);
        form->Form_Load();
        form->show();
        client->RaiseRegistration(RTCRS_REGISTERED);
        return form;
    }

    std::shared_ptr<FakeSession> ring(const QString &caller)
    {
        auto session = std::make_shared<FakeSession>(client->log, RTCSS_INCOMING);
        session->participants.push_back(std::make_shared<FakeParticipant>("sip:" + caller + "@h", caller));
        client->RaiseSession(session, RTCSS_INCOMING);
        return session;
    }

    // The hide button, and the window's state change seen through.
    static void hide(frmSoftphone &form)
    {
        QTest::mouseClick(form.ControlNamed("Hide"), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    static void minimise(frmSoftphone &form)
    {
        form.showMinimized();
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        ProfileStore::SaveProfile(settings, Account{"h", "1001", "pw", "1001"});
        tray = platform::RecordingTrayIcon{};
        notifier = platform::RecordingNotifier{};
        client = std::make_shared<FakeRTCClient>();
    }

    void hideButtonPutsTheWindowInTheTrayAndClicksBringItBack()
    {
        auto form = shownForm();
        hide(*form);
        QVERIFY(form->isHidden());
        QVERIFY(tray.shown);
        QCOMPARE(tray.adds, 1);
        QCOMPARE(tray.record.tip, QString("TolviSoftphone"));
        QCOMPARE(tray.record.iconFile, Artwork::iconPath());
        QCOMPARE(tray.record.menuTitle, QString("Mnutray"));
        QCOMPARE(tray.record.menu.size(), 2);
        QCOMPARE(tray.record.menu[0].caption, QString("Show"));
        QCOMPARE(tray.record.menu[1].caption, QString("Exit"));

        // Passing over, the middle button, several buttons: nothing.
        for (Qt::MouseButtons b : {Qt::MouseButtons(Qt::NoButton), Qt::MouseButtons(Qt::MiddleButton),
                                   Qt::LeftButton | Qt::RightButton})
            tray.click(b);
        QVERIFY(form->isHidden());
        QCOMPARE(tray.menus, 0);
        // The right button alone opens the menu and nothing else.
        tray.click(Qt::RightButton);
        QCOMPARE(tray.menus, 1);
        QVERIFY(form->isHidden());
        // The left button alone: the window as it was, no icon.
        tray.click(Qt::LeftButton);
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
        QVERIFY(!tray.shown);

        // Any minimise goes to the tray; "Show" comes back the same way.
        minimise(*form);
        QVERIFY(form->isHidden());
        QCOMPARE(tray.adds, 2);
        tray.choose("mnuShow");
        QVERIFY(form->isVisible() && !form->isMinimized());
        QVERIFY(!tray.shown);
        // Show on a shown window changes nothing.
        tray.choose("mnuShow");
        QVERIFY(form->isVisible() && !form->isMinimized());
        QCOMPARE(tray.adds, 2);
    }

    void withoutANotificationAreaTheWindowOnlyMinimises()
    {
        tray.available = false;
        auto form = shownForm();
        hide(*form);
        QVERIFY(form->isMinimized());
        QVERIFY(!form->isHidden()); // still on the task bar, never lost
        QCOMPARE(tray.adds, 0);
    }

    // Wayland never tells a window that it was minimised: the hide button
    // puts it into the tray itself, and without a tray leaves it to the
    // desktop's minimise.
    void whereMinimisingGoesUnreportedHideGoesStraightToTheTray()
    {
        QWidget window;
        TrayControl control(&window, &tray, false);
        control.FillRecord(Artwork::iconPath());
        window.show();
        control.Picture41_Click();
        QVERIFY(window.isHidden());
        QVERIFY(tray.shown);
        tray.click(Qt::LeftButton);
        QVERIFY(window.isVisible() && !tray.shown);

        tray.available = false;
        control.Picture41_Click();
        QVERIFY(window.isMinimized() && !window.isHidden());
        QCOMPARE(tray.adds, 1);
    }

    void exitFromTheMenuEndsTheCallUnregistersAndLeavesNoIcon()
    {
        auto form = shownForm();
        client->RaiseSession(ring("bob"), RTCSS_CONNECTED); // talking, then away to the tray
        hide(*form);
        client->log.calls.clear();
        tray.choose("mnuExit");
        QVERIFY(form->IsExiting());
        QVERIFY(!tray.shown);
        QCOMPARE(client->log.calls,
                 QStringList({"Session.Terminate(0)", "Advise(none)", "PrepareForShutdown()", "Shutdown()"}));
    }

    void callFindingTheWindowAwayBringsItBackAndIsAnnounced()
    {
        auto form = shownForm();
        // With the window on screen the window alone tells of a call.
        auto first = ring("carol");
        QVERIFY(notifier.shown.isEmpty());
        client->RaiseSession(first, RTCSS_DISCONNECTED);

        hide(*form);
        auto session = ring("bob");
        QVERIFY(form->isVisible() && !form->isMinimized());
        QVERIFY(!tray.shown);
        QCOMPARE(notifier.shown.size(), 1);
        QCOMPARE(notifier.shown[0].summary, QString("Incoming call"));
        QCOMPARE(notifier.shown[0].body, QString("bob"));
        QCOMPARE(notifier.shown[0].actions.size(), 2);
        QCOMPARE(notifier.shown[0].actions[0].label, QString("Answer"));
        QCOMPARE(notifier.shown[0].actions[1].label, QString("Refuse"));
        QVERIFY(notifier.open);

        // "Answer" is the call key's answer; once answered the notice goes.
        client->log.calls.clear();
        notifier.choose("answer");
        QCOMPARE(client->log.calls, QStringList({"Session.Answer()"}));
        client->RaiseSession(session, RTCSS_ANSWERING);
        QVERIFY(!notifier.open);
        client->RaiseSession(session, RTCSS_DISCONNECTED);

        // "Refuse" is the end key's busy refusal; a caller who gives up
        // takes the notice along too.
        minimise(*form);
        auto second = ring("dave");
        QVERIFY(notifier.open);
        client->log.calls.clear();
        notifier.choose("refuse");
        QVERIFY(client->log.calls.contains("Session.Terminate(2)"));
        QVERIFY(!notifier.open);
        client->RaiseSession(second, RTCSS_DISCONNECTED);
        minimise(*form);
        auto third = ring("erin");
        QVERIFY(notifier.open);
        client->RaiseSession(third, RTCSS_DISCONNECTED);
        QVERIFY(!notifier.open);
        // A button of a notice that is gone does nothing.
        client->log.calls.clear();
        notifier.choose("answer");
        QVERIFY(client->log.calls.isEmpty());
    }
};

QTEST_MAIN(TestTrayControl)
#include "tst_traycontrol.moc"
