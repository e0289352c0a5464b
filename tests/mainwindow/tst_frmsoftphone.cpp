#include "mainwindow/ControlLayout.h"
#include "tests/doubles/FakeMixer.h"
#include "tests/doubles/FakeRTCClient.h"
#include "platform/ISingleInstance.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"
#include "tests/doubles/FixedScreenMetrics.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "tests/doubles/RecordingUrlOpener.h"
#include "account/frmAlias.h"
#include "account/frmLogin.h"
#include "phonebook/frmPhoneBook.h"
#include "history/frmRecent.h"
#include "mainwindow/frmSoftphone.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>
#include <unistd.h>

using namespace rtc;
using rtc::fake::FakeRTCClient;

namespace {
// Runs work with standard error redirected to a file and returns what it wrote.
QByteArray captureStderr(const std::function<void()> &work)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    work();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

struct Instance : platform::ISingleInstance {
    bool other = false;
    bool AnotherInstanceRunning() override { return other; }
};
} // namespace

class TestFrmSoftphone : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    platform::FixedScreenMetrics screen{15, 15};
    platform::RecordingUrlOpener urls;
    std::shared_ptr<FakeRTCClient> client;
    int clientsMade = 0;
    int loginShown = 0;
    std::function<void(frmLogin &)> loginAction;
    std::function<void(QDialog &)> modalAction; // answers the other modal windows
    std::function<std::unique_ptr<platform::IMixer>()> mixer;

    std::unique_ptr<frmSoftphone> makeForm(const QString &dataFolder = QString())
    {
        PhoneServices s;
        s.phone.dataFolder = dataFolder;
        s.settings = &settings;
        s.messages = &messages;
        s.screen = &screen;
        s.urls = &urls;
        s.phone.createClient = [this]() -> std::shared_ptr<IRTCClient> {
            ++clientsMade;
            return client;
        };
        s.mixer = mixer;
        s.runModal = [this](QDialog &dialog) {
            ++loginShown;
            auto *login = qobject_cast<frmLogin *>(&dialog);
            if (login && loginAction)
                loginAction(*login);
            if (!login && modalAction)
                modalAction(dialog);
            return 0;
        };
        return std::make_unique<frmSoftphone>(s);
    }

    void storeAccount(const QString &sip, const QString &account, const QString &password, const QString &user)
    {
        ProfileStore::SaveProfile(settings, Account{sip, account, password, user});
    }

    // A call that rings in and becomes the phone's current call, then is
    // taken to the state given, as the engine reports it.
    std::shared_ptr<rtc::fake::FakeSession> callIn(RTC_SESSION_STATE state)
    {
        auto session = std::make_shared<rtc::fake::FakeSession>(client->log, RTCSS_INCOMING);
        client->RaiseSession(session, RTCSS_INCOMING);
        if (state != RTCSS_INCOMING)
            client->RaiseSession(session, state);
        return session;
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        messages = platform::RecordingMessageBox{};
        urls = platform::RecordingUrlOpener{};
        client = std::make_shared<FakeRTCClient>();
        clientsMade = loginShown = 0;
        loginAction = nullptr;
        modalAction = nullptr;
        mixer = nullptr;
    }

    void anotherInstanceIsToldAndEnds()
    {
        Instance instance;
        instance.other = true;
        QVERIFY(!frmSoftphone::Form_Initialize(instance, messages));
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].text, QString("Another instance is running."));
        QCOMPARE(messages.shown[0].icon, platform::MsgIcon::Critical);
        instance.other = false;
        QVERIFY(frmSoftphone::Form_Initialize(instance, messages));
        QCOMPARE(messages.shown.size(), 1);
    }

    void loadCallsTheClientInOrderAndRegisters()
    {
        storeAccount("127.0.0.1:5060", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        QCOMPARE(clientsMade, 1);
        QCOMPARE(loginShown, 0);
        QCOMPARE(client->log.calls,
                 QStringList({"Initialize()", "put_EventFilter(39)", "Advise(sink)",
                              "put_ListenForIncomingSessions(2)", "SetPreferredMediaTypes(3, true)",
                              "QueryProvisioning()", "CreateProfile(" + form->phone().provisioningText() + ")",
                              "EnableProfile(profile, 7)"}));
        QCOMPARE(form->lblMsg->text(), QString("Not logged in..."));
        QCOMPARE(form->phone().registrationWord(), QString("NOTREGISTERED"));
        QVERIFY(messages.shown.isEmpty());

        // From now on the registrar's answers drive the label.
        client->RaiseRegistration(RTCRS_REGISTERING);
        QCOMPARE(form->lblMsg->text(), QString("Registering"));
        client->RaiseRegistration(RTCRS_REGISTERED);
        QCOMPARE(form->lblMsg->text(), QString("Registered and Ready..."));
        QCOMPARE(form->phone().registrationWord(), QString("REGISTERED"));
    }

    void windowStateAfterLoad()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->phone().SetAccount(Account{"stale", "stale", "stale", "stale"});
        form->Form_Load();
        QCOMPARE(form->size(), QSize(292, 389));
        QCOMPARE(form->phone().ringTimer().interval(), 2000);
        QCOMPARE(form->phone().callTimer().interval(), 1000);
        QVERIFY(!form->phone().ringTimer().isActive());
        QVERIFY(!form->phone().callTimer().isActive());
        // Idle controls.
        QVERIFY(form->ControlNamed("Call")->isEnabled());
        QVERIFY(form->ControlNamed("Clear number")->isEnabled());
        QVERIFY(form->ControlNamed("Backspace")->isEnabled());
        QVERIFY(form->ControlNamed("Audio wizard")->isEnabled());
        QVERIFY(!form->ControlNamed("End call")->isEnabled());
        QVERIFY(form->cmbPhoneNo->isEnabled());
        QCOMPARE(form->phone().account(), (Account{"h", "1001", "pw", "1001"})); // read from the store
    }

    void controlsSitInTheirPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        // The display's two labels are named by the text they show.
        QTest::newRow("skin") << "Softphone" << QRect(0, 0, 292, 389);
        QTest::newRow("account") << "Account" << QRect(218, 178, 22, 23);
        QTest::newRow("close, fractional top") << "Close" << QRect(256, 9, 12, 12);
        QTest::newRow("call") << "Call" << QRect(20, 230, 39, 52);
        QTest::newRow("end") << "End call" << QRect(228, 230, 40, 51);
        QTest::newRow("key 9, higher") << "Keypad 9" << QRect(174, 284, 48, 27);
        QTest::newRow("key #") << "Keypad #" << QRect(174, 316, 48, 27);
        QTest::newRow("mic thumb, 20/3") << "Microphone volume" << QRect(88, 130, 7, 7);
        QTest::newRow("status") << "(status)" << QRect(74, 58, 121, 20);
        QTest::newRow("balance") << "(balance)" << QRect(162, 58, 57, 17);
        // The speaker slider lives in a frame measured in twips.
        QTest::newRow("speaker track") << "Speaker volume track" << QRect(4, 4, 105, 5);
        QTest::newRow("speaker thumb") << "Speaker volume" << QRect(18, 4, 7, 7);
    }
    void controlsSitInTheirPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        QWidget *w = name == "(status)"    ? form->lblMsg
                     : name == "(balance)" ? form->lblBalance
                                           : form->ControlNamed(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), geometry);
    }

    void everyPlacedControlExists()
    {
        auto form = makeForm();
        // Every control of the layout table, by the name the table gives it.
        for (const ControlPlace &p : ControlLayout::MainWindowPlaces()) {
            QWidget *w = form->findChild<QWidget *>(p.name);
            QVERIFY2(w, qPrintable(p.name));
            // A screen reader can tell what each one is, and no two by one name.
            QVERIFY2(!w->accessibleName().isEmpty() || !w->accessibleDescription().isEmpty(), qPrintable(p.name));
            if (!w->accessibleName().isEmpty())
                QVERIFY2(form->ControlNamed(w->accessibleName()) == w, qPrintable(p.name));
        }
        // The key called "Keypad 5" is the 5 key.
        QTest::mouseClick(form->ControlNamed("Keypad 5"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("5"));
        QCOMPARE(form->ControlNamed("Call")->accessibleDescription(), QString("Click to Make Call"));
        QCOMPARE(form->cmbPhoneNo->objectName(), QString("cmbPhoneNo"));
    }

    void numberBoxPlace()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        QCOMPARE(form->cmbPhoneNo->geometry().topLeft(), QPoint(72, 80));
        QCOMPARE(form->cmbPhoneNo->width(), 120);
    }

    void inCallAndIdleControls()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        callIn(RTCSS_CONNECTED); // the call's timer runs
        QVERIFY(form->phone().callTimer().isActive());
        form->SetInCallControls();
        QVERIFY(!form->ControlNamed("Call")->isEnabled());
        QVERIFY(!form->ControlNamed("Clear number")->isEnabled());
        QVERIFY(!form->ControlNamed("Backspace")->isEnabled());
        QVERIFY(form->ControlNamed("Audio wizard")->isEnabled());
        QVERIFY(form->ControlNamed("End call")->isEnabled());
        QVERIFY(!form->cmbPhoneNo->isEnabled());
        QVERIFY(form->phone().callTimer().isActive()); // in call leaves the timer alone
        form->SetIdleControls();
        QVERIFY(form->ControlNamed("Call")->isEnabled());
        QVERIFY(!form->ControlNamed("End call")->isEnabled());
        QVERIFY(!form->phone().callTimer().isActive());
    }

    void theMixerOpensAsTheWindowLoadsAndClosesWithIt()
    {
        bool opens = false, closed = false;
        mixer = [&] {
            auto m = std::make_unique<platform::FakeMixer>();
            m->opens = opens;
            m->closed = &closed;
            return m;
        };
        QStringList seenAtLogin;
        loginAction = [&](frmLogin &) { seenAtLogin = messages.texts(); };
        makeForm()->Form_Load();
        QCOMPARE(seenAtLogin, QStringList({"No mixer found!"})); // before the account is asked for
        QCOMPARE(messages.texts(), QStringList({"No mixer found!"}));

        opens = true;
        closed = false;
        auto form = makeForm();
        form->Form_Load();
        QVERIFY(!closed);
        form->close();
        QVERIFY(closed);
    }

    void failingClientSetUpIsReportedOnceAndLoadGoesOn()
    {
        storeAccount("h", "1001", "pw", "1001");
        client->log.failures.insert("put_ListenForIncomingSessions", E_FAIL);
        auto form = makeForm();
        const QByteArray logged = captureStderr([&] { form->Form_Load(); });
        QCOMPARE(messages.texts(), QStringList({"An Error Occured and has been logged. FORMLOAD"}));
        // The message says it was logged: it was, with the step and the reason.
        QVERIFY2(logged.contains("put_ListenForIncomingSessions") && logged.contains("0x80004005"), logged.constData());
        QCOMPARE(messages.shown[0].buttons, platform::MsgButtons::OKOnly);
        const QStringList ops = client->operations();
        QVERIFY(!ops.contains("SetPreferredMediaTypes")); // set-up stops at the failure
        QVERIFY(ops.contains("CreateProfile"));           // the load still goes on
    }

    void noClientAtAllLeavesNotLoggedIn()
    {
        storeAccount("h", "1001", "pw", "1001");
        client.reset();
        auto form = makeForm();
        form->Form_Load();
        QCOMPARE(messages.texts(), QStringList({"An Error Occured and has been logged. FORMLOAD"}));
        QCOMPARE(form->lblMsg->text(), QString("Not logged in..."));
        form->close(); // unloading without a client is fine
    }

    void failingProfileEndsLoadQuietly()
    {
        storeAccount("h", "1001", "pw", "1001");
        client->log.failures.insert("CreateProfile", RTC_E_INVALID_PROFILE);
        auto form = makeForm();
        form->Form_Load();
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(form->lblMsg->text(), QString("Not logged in..."));
        QVERIFY(!client->operations().contains("EnableProfile"));
    }

    void emptyStoreAsksForTheAccountFirst()
    {
        auto form = makeForm();
        form->Tag = "callreg"; // only the exact mark registers again
        loginAction = [this](frmLogin &login) {
            QCOMPARE(clientsMade, 0); // before any client exists
            QVERIFY(login.cmdExit->isVisibleTo(&login));
            QVERIFY(!login.cmdClose->isVisibleTo(&login));
            login.txtSip->setText("h:5070");
            login.txtAcctNo->setText("1001");
            login.txtPassword->setText("pw");
            login.cmdLogin->click();
        };
        form->Form_Load();
        QCOMPARE(loginShown, 1);
        QCOMPARE(clientsMade, 1);
        QVERIFY(client->log.calls.last().startsWith("EnableProfile"));
        QVERIFY(form->phone().provisioningText().contains("uri=\"sip:1001@h:5070\""));
        // Saved, so the next start goes straight to registering.
        QCOMPARE(settings.GetSetting("Account", "Parameters", "Validation"), QString("1001"));
        QCOMPARE(settings.GetSetting("User", "Parameters", "Validation"), QString("1001"));
        // Start-up does not re-register on top of its own registration.
        QCOMPARE(client->operations().count("EnableProfile"), 1);
    }

    void anyStoredValueSkipsTheLogin()
    {
        settings.SaveSetting("User", "Parameters", "Validation", "Ann");
        auto form = makeForm();
        form->Form_Load();
        QCOMPARE(loginShown, 0);
        QCOMPARE(clientsMade, 1);
    }

    void exitFromLoginEndsBeforeAnyClient()
    {
        auto form = makeForm();
        loginAction = [](frmLogin &login) { login.cmdExit->click(); };
        form->Form_Load();
        QVERIFY(form->IsExiting());
        QCOMPARE(clientsMade, 0);
        QVERIFY(client->log.calls.isEmpty());
    }

    void closeButtonUnloadsAndEndsTheCallAndRegistration()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        callIn(RTCSS_CONNECTED);
        client->log.calls.clear();
        QTest::mouseClick(form->ControlNamed("Close"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(client->log.calls, QStringList({"Session.Terminate(0)", "Advise(none)", "PrepareForShutdown()",
                                                 "Shutdown()"}));
        QVERIFY(!form->phone().client());
        // A second unload (the destructor) does nothing more.
        client->log.calls.clear();
        form.reset();
        QVERIFY(client->log.calls.isEmpty());
    }

    void ringingCallIsRefusedAtUnload()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        callIn(RTCSS_INCOMING);
        client->log.calls.clear();
        form->close();
        QCOMPARE(client->log.calls.first(), QString("Session.Terminate(2)"));
    }

    void endedCallIsNotTerminatedAgain()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        // The engine has ended the call; its event has not come yet.
        callIn(RTCSS_INCOMING)->state = RTCSS_DISCONNECTED;
        client->log.calls.clear();
        form->close();
        QVERIFY(!client->operations().contains("Session.Terminate"));
        QVERIFY(client->operations().contains("PrepareForShutdown"));
    }

    void accountButtonOpensAFreshLoginThatRegistersAgain()
    {
        storeAccount("h", "1001", "pw", "Ann");
        auto form = makeForm();
        form->Form_Load();
        int opened = 0;
        loginAction = [&](frmLogin &login) {
            ++opened;
            QCOMPARE(form->Tag, QString("CALLREG"));
            QVERIFY(!login.cmdExit->isVisibleTo(&login));
            QVERIFY(login.cmdClose->isVisibleTo(&login));
            QCOMPARE(login.txtAcctNo->text(), QString("1001")); // stored values shown
            login.txtAcctNo->setText("1002");
            login.cmdLogin->click();
        };
        client->log.calls.clear();
        QTest::mouseClick(form->ControlNamed("Account"), Qt::LeftButton);
        QCOMPARE(opened, 1);
        QCOMPARE(form->lblMsg->text(), QString("Re login..."));
        QCOMPARE(client->operations(), QStringList({"QueryProvisioning", "CreateProfile", "EnableProfile"}));
        QVERIFY(form->phone().provisioningText().contains("sip:1002@h"));
        QCOMPARE(form->phone().account().accountId, QString("1002"));

        // CLOSE: nothing registers and the account in use stays, even with
        // "Save" cleared; the mark stays for every later LOGIN.
        loginAction = [&](frmLogin &login) {
            login.chkbxSaveSettings->setChecked(false);
            login.cmdClose->click();
        };
        client->log.calls.clear();
        QTest::mouseClick(form->ControlNamed("Account"), Qt::LeftButton);
        QVERIFY(client->log.calls.isEmpty());
        QCOMPARE(form->Tag, QString("CALLREG"));
        QCOMPARE(form->phone().account().accountId, QString("1002"));
        QCOMPARE(settings.GetSetting("Account", "Parameters", "Validation"), QString());
    }

    void incomingCallRefusedWithTheEndKeyIsRecorded()
    {
        QTemporaryDir data;
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm(data.path());
        form->Form_Load();
        auto session = std::make_shared<rtc::fake::FakeSession>(client->log, RTCSS_INCOMING);
        session->participants.push_back(std::make_shared<rtc::fake::FakeParticipant>("sip:bob@h", "bob"));
        client->RaiseSession(session, RTCSS_INCOMING);
        QCOMPARE(form->lblMsg->text(), QString("Incomingbob"));
        QVERIFY(form->phone().ringTimer().isActive());
        QVERIFY(form->ControlNamed("End call")->isEnabled());
        form->cmbPhoneNo->setEditText("555");
        QTest::mouseClick(form->ControlNamed("End call"), Qt::LeftButton);
        QVERIFY(!form->phone().ringTimer().isActive());
        QVERIFY(client->log.calls.contains("Session.Terminate(2)"));
        QFile history(data.filePath("recentcall.txt"));
        QVERIFY(history.open(QIODevice::ReadOnly));
        QCOMPARE(history.readAll(), QByteArray("555--Duration: 0:0:0\r\n"));
    }

    // The phone book and the recent calls hand a number back; neither dials.
    void phoneBookAndRecentCallsFillTheNumberBoxWithoutDialling()
    {
        QTemporaryDir data;
        QFile book(data.filePath("PhoneBook.txt"));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write("Office--123\r\nHome--456\r\n");
        book.close();
        QFile history(data.filePath("recentcall.txt"));
        QVERIFY(history.open(QIODevice::WriteOnly));
        history.write("789--Duration: 0:1:2\r\n--Duration: 0:0:0\r\n");
        history.close();
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm(data.path());
        form->Form_Load();
        client->RaiseRegistration(RTCRS_REGISTERED);
        form->cmbPhoneNo->setEditText("999");
        client->log.calls.clear();

        QStringList opened;
        modalAction = [&](QDialog &dialog) {
            opened << dialog.objectName();
            // The lit button lets go of the mouse, or the window could not be clicked.
            QCOMPARE(QWidget::mouseGrabber(), nullptr);
            if (auto *b = qobject_cast<frmPhoneBook *>(&dialog)) {
                QCOMPARE(b->lstPhoneBook->count(), 3);
                b->lstPhoneBook->setCurrentRow(2);
                b->lstPhoneBook_Click();
                QCOMPARE(b->txtPhoneNo->text(), QString("456"));
                b->txtPhoneNo->setText("4567"); // changed, not saved
                b->cmdCall->click();
            } else if (auto *r = qobject_cast<frmRecent *>(&dialog)) {
                QCOMPARE(r->Recentlist->count(), 2);
                r->Recentlist->setCurrentRow(0);
                r->Recentlist_DblClick(r->Recentlist->item(0));
            }
        };
        form->show();
        QMouseEvent over(QEvent::MouseMove, QPointF(5, 5), form->ControlNamed("Phone book")->mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(form->ControlNamed("Phone book"), &over); // lit, holding the mouse
        QCOMPARE(QWidget::mouseGrabber(), form->ControlNamed("Phone book"));
        QTest::mouseClick(form->ControlNamed("Phone book"), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("4567"));
        QTest::mouseClick(form->ControlNamed("Recent calls"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("789"));
        QCOMPARE(opened, QStringList({"frmPhoneBook", "frmRecent"}));
        QVERIFY(!client->operations().contains("CreateSession"));
        QVERIFY(!form->phone().session());

        // A fresh window each time; an entry with no number empties the box.
        modalAction = [&](QDialog &dialog) {
            auto *r = qobject_cast<frmRecent *>(&dialog);
            QVERIFY(r);
            r->Recentlist->setCurrentRow(1);
            r->Recentlist_DblClick(r->Recentlist->item(1));
        };
        QTest::mouseClick(form->ControlNamed("Recent calls"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString());
        // The book's file is what it was: CALL saves nothing.
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.readAll(), QByteArray("Office--123\r\nHome--456\r\n"));
    }

    void aliasButtonShowsOneDialogWithoutWaiting()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        form->show();
        QVERIFY(!form->AliasWindow());
        QTest::mouseClick(form->ControlNamed("Alias"), Qt::LeftButton);
        QPointer<frmAlias> first = form->AliasWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(!first->isModal());
        QCOMPARE(loginShown, 0); // not through the modal path
        QVERIFY(first->txtAlias->text().isEmpty());

        // A second click while it is open shows the same one.
        QTest::mouseClick(form->ControlNamed("Alias"), Qt::LeftButton);
        QCOMPARE(form->AliasWindow(), first.data());
        QCOMPARE(form->findChildren<frmAlias *>().size(), 1);

        // Saved and closed: the next click loads a new one with the new alias.
        first->txtAlias->setText("  Ann ");
        first->cmdSave->click();
        QTRY_VERIFY(!first);
        QCOMPARE(messages.shown.last().text, QString("Restart the application to apply changes!"));
        QVERIFY(!form->AliasWindow());
        QTest::mouseClick(form->ControlNamed("Alias"), Qt::LeftButton);
        QVERIFY(form->AliasWindow());
        QCOMPARE(form->AliasWindow()->txtAlias->text(), QString("  Ann "));
        form->AliasWindow()->close();
        // The profile is not touched by the alias.
        QCOMPARE(settings.GetSetting("User", "Parameters", "Validation"), QString("1001"));
    }

    void homePageAndUserGuideGoToTheDesktopUnchanged()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        form->show();
        QTest::mouseClick(form->ControlNamed("Home page"), Qt::LeftButton);
        QTest::mouseClick(form->ControlNamed("User guide"), Qt::LeftButton);
        const QString site = QStringLiteral(SOFTPHONE_WEB_SITE_ROOT);
        QCOMPARE(urls.opened, (QList<QUrl>{QUrl(site + "/"), QUrl(site + "/sip-softphone-user_guide.pdf")}));
    }

    void reLoginWritesItsWordAndRegistersAgain()
    {
        storeAccount("h", "1001", "pw", "1001");
        auto form = makeForm();
        form->Form_Load();
        client->RaiseRegistration(RTCRS_REGISTERED);
        form->phone().SetAccount(Account{"h", "1002", "pw", "1001"});
        QCOMPARE(form->phone().ReLogin(), S_OK);
        QCOMPARE(form->lblMsg->text(), QString("Re login..."));
        QVERIFY(client->log.calls.at(client->log.calls.size() - 2).contains("sip:1002@h"));
        QCOMPARE(form->phone().registrationWord(), QString("REGISTERED")); // until the next event says otherwise
        client->RaiseRegistration(RTCRS_REJECTED);
        QCOMPARE(form->lblMsg->text(), QString("Rejected"));
    }
};

QTEST_MAIN(TestFrmSoftphone)
#include "tst_frmsoftphone.moc"
