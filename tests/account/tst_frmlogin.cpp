#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "account/frmLogin.h"

#include <QtTest>

namespace {
const QString kApp[] = {"Sip", "Account", "Password", "User"};
QStringList values(const Account &a) { return {a.server, a.accountId, a.password, a.callerName}; }
} // namespace

class TestFrmLogin : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    QList<Account> loggedIn; // what LOGIN handed back, in order
    int exits = 0;

    std::unique_ptr<frmLogin> open()
    {
        auto w = std::make_unique<frmLogin>(settings, messages);
        connect(w.get(), &frmLogin::LoggedIn, this, [this](const Account &a) { loggedIn << a; });
        connect(w.get(), &frmLogin::ExitChosen, this, [this] { ++exits; });
        w->show();
        w->activateWindow();
        [[maybe_unused]] bool active = QTest::qWaitForWindowActive(w.get());
        return w;
    }
    void store(const QString &sip, const QString &account, const QString &password, const QString &user)
    {
        ProfileStore::SaveProfile(settings, Account{sip, account, password, user});
    }
    QString stored(const QString &app) { return settings.GetSetting(app, "Parameters", "Validation"); }
    void fill(frmLogin &w, const QString &sip, const QString &account, const QString &password)
    {
        w.txtSip->setText(sip);
        w.txtAcctNo->setText(account);
        w.txtPassword->setText(password);
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        messages = platform::RecordingMessageBox{};
        loggedIn.clear();
        exits = 0;
    }

    void opensWithPlaceholdersAndControlsInPlace()
    {
        auto w = open();
        QCOMPARE(w->size(), QSize(216, 228));
        // The first box in tab order takes the focus, which clears its prompt.
        QTRY_VERIFY(w->txtSip->hasFocus());
        QCOMPARE(w->txtSip->text(), QString());
        QCOMPARE(w->txtuserid->text(), QString("CallerID/Alias (if any)"));
        QCOMPARE(w->txtAcctNo->text(), QString("User ID"));
        QCOMPARE(w->txtPassword->text(), QString("Password"));
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Normal); // the word is readable
        QCOMPARE(w->txtSip->geometry(), QRect(92, 34, 105, 19));
        QCOMPARE(w->txtPassword->geometry(), QRect(92, 106, 105, 19));
        QCOMPARE(w->chkbxSaveSettings->text(), QString("Save "));
        QCOMPARE(w->cmdExit->geometry(), w->cmdClose->geometry());
        QVERIFY(w->cmdExit->isVisible());
        QVERIFY(!w->cmdClose->isVisible());
        QCOMPARE(w->txtAcctNo->maxLength(), 255);
        QCOMPARE(w->txtuserid->maxLength(), 255);
        w->UseCloseMode();
        QVERIFY(!w->cmdExit->isVisible());
        QVERIFY(w->cmdClose->isVisible());
    }

    void storedProfileIsShownWithThePasswordMasked()
    {
        store("sip.example.net", "1001", "s3cret", "");
        auto w = open();
        QVERIFY(w->chkbxSaveSettings->isChecked());
        QCOMPARE(w->txtSip->text(), QString("sip.example.net"));
        QCOMPARE(w->txtAcctNo->text(), QString("1001"));
        QCOMPARE(w->txtuserid->text(), QString("CallerID/Alias (if any)")); // empty value: placeholder stays
        QCOMPARE(w->txtPassword->text(), QString("s3cret"));
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Password); // never shown on screen
        QCOMPARE(w->StoredAccount().accountId, QString("1001")); // read afresh on opening

        // Entering the box keeps the stored password (it is not the prompt).
        w->txtPassword->setFocus();
        QTRY_VERIFY(w->txtPassword->hasFocus());
        QCOMPARE(w->txtPassword->text(), QString("s3cret"));
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Password);
        // Emptied and left: the prompt comes back readable; the next visit masks again.
        w->txtPassword->clear();
        w->txtSip->setFocus();
        QTRY_COMPARE(w->txtPassword->text(), QString("Password"));
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Normal);
        w->txtPassword->setFocus();
        QTRY_COMPARE(w->txtPassword->text(), QString());
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Password);
    }

    void onlyTheAliasStoredStillShowsPlaceholders()
    {
        settings.SaveSetting("User", "Parameters", "Validation", "Ann");
        auto w = open();
        QCOMPARE(w->txtuserid->text(), QString("CallerID/Alias (if any)"));
        QCOMPARE(w->StoredAccount().callerName, QString("Ann"));
    }

    void promptsClearOnFocusWhateverTheirCase_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::newRow("exact") << "txtSip" << "Sip Server Address" << "";
        QTest::newRow("other case") << "txtSip" << "SIP SERVER ADDRESS" << "";
        QTest::newRow("prompt and more") << "txtAcctNo" << "user idXYZ" << "";
        QTest::newRow("alias prompt") << "txtuserid" << "callerid/alias (IF ANY)" << "";
        QTest::newRow("not the prompt") << "txtAcctNo" << "my User ID" << "my User ID";
        QTest::newRow("password prompt") << "txtPassword" << "PASSWORD1" << "";
    }
    void promptsClearOnFocusWhateverTheirCase()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, after);
        auto w = open();
        auto *edit = w->findChild<QLineEdit *>(box);
        w->cmdLogin->setFocus();
        QTRY_VERIFY(w->cmdLogin->hasFocus());
        edit->setText(text);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(edit->text(), after);
        if (edit == w->txtPassword)
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }

    void checksInOrderWithTheirMessagesAndFocus()
    {
        auto w = open();
        // 1. blank password or account, focus stays where it was
        w->txtAcctNo->setText("");
        w->cmdLogin->setFocus();
        QTRY_VERIFY(w->cmdLogin->hasFocus());
        w->cmdLogin_Click();
        QCOMPARE(messages.texts().last(), QString("User Name and Password must not be blank"));
        QCOMPARE(messages.shown.last().buttons, platform::MsgButtons::OKOnly);
        QCOMPARE(messages.shown.last().title, platform::defaultMessageTitle());
        QVERIFY(w->cmdLogin->hasFocus());
        QCOMPARE(w->txtAcctNo->text(), QString()); // the user's entries stay

        // 2. server still at its prompt: focus there, which clears it
        w->txtSip->setText("Sip Server Address");
        w->txtAcctNo->setText("User ID");
        w->cmdLogin_Click();
        QCOMPARE(messages.texts().last(), QString("Enter Sip server Address."));
        QTRY_VERIFY(w->txtSip->hasFocus());
        QCOMPARE(w->txtSip->text(), QString());

        // An empty server passes that check; 3. account at its prompt
        w->cmdLogin_Click();
        QCOMPARE(messages.texts().last(), QString("Enter your Accont ID/User ID."));
        QTRY_VERIFY(w->txtAcctNo->hasFocus());
        QCOMPARE(w->txtAcctNo->text(), QString());

        // Left empty, the server box got its prompt back.
        QCOMPARE(w->txtSip->text(), QString("Sip Server Address"));
        // 4. password at its prompt
        w->txtSip->setText("h");
        w->txtAcctNo->setText("1001");
        w->txtPassword->setText("Password");
        w->txtPassword->setEchoMode(QLineEdit::Normal);
        w->cmdLogin_Click();
        QCOMPARE(messages.texts().last(), QString("Enter your password"));
        QTRY_VERIFY(w->txtPassword->hasFocus());
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Password);

        QCOMPARE(messages.shown.size(), 4);
        QVERIFY(settings.writes.isEmpty()); // nothing stored while a check fails
        QVERIFY(loggedIn.isEmpty());        // nor handed back
        QVERIFY(w->isVisible());
    }

    void serverThePhoneCannotUseIsRefusedSayingWhatToType()
    {
        auto w = open();
        fill(*w, "provider.example;transport=tls", "1001", "pw");
        w->cmdLogin->setFocus();
        w->cmdLogin_Click();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.last().title, QString("Input Error"));
        QCOMPARE(messages.shown.last().icon, platform::MsgIcon::Exclamation);
        QVERIFY(messages.texts().last().contains("sips:provider.example"));
        QTRY_VERIFY(w->txtSip->hasFocus());
        QCOMPARE(w->txtSip->text(), QString("provider.example;transport=tls")); // left to be mended
        QVERIFY(settings.writes.isEmpty());
        QVERIFY(loggedIn.isEmpty());
        QVERIFY(w->isVisible());

        // An empty server, which would never register, is refused the same way.
        w->txtSip->setText("");
        w->cmdLogin_Click();
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(loggedIn.isEmpty());

        w->txtSip->setText("sips:provider.example");
        w->cmdLogin_Click();
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(stored("Sip"), QString("sips:provider.example")); // stored as typed
        QCOMPARE(values(loggedIn.value(0)).value(0), QString("sips:provider.example"));
    }

    void loginWithAliasUntouchedAndSaveTicked()
    {
        auto w = open();
        fill(*w, "10.0.0.1:5070", "1001", " pw ");
        QVERIFY(w->chkbxSaveSettings->isChecked());
        w->cmdLogin_Click();
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(w->txtuserid->text(), QString("1001"));
        QCOMPARE(loggedIn.size(), 1);
        QCOMPARE(values(loggedIn[0]), QStringList({"10.0.0.1:5070", "1001", " pw ", "1001"}));
        QCOMPARE(stored("Sip"), QString("10.0.0.1:5070"));
        QCOMPARE(stored("Account"), QString("1001"));
        QCOMPARE(stored("Password"), QString(" pw ")); // exactly as typed
        QCOMPARE(stored("User"), QString("1001"));
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Accepted));
    }

    void loginWithSaveClearedErasesTheStoreButKeepsMemory()
    {
        store("old", "0001", "oldpw", "Old");
        auto w = open();
        fill(*w, "new.example", "1002", "pw");
        w->txtuserid->setText("Ann");
        w->chkbxSaveSettings->setChecked(false);
        w->cmdLogin_Click();
        for (const QString &app : kApp)
            QCOMPARE(stored(app), QString());
        QCOMPARE(values(loggedIn.value(0)), QStringList({"new.example", "1002", "pw", "Ann"}));
        // Opening again reads the now empty store.
        auto again = open();
        QVERIFY(again->StoredAccount().IsEmpty());
        QCOMPARE(again->txtAcctNo->text(), QString("User ID"));
    }

    void loginInCloseModeHandsTheAccountBack()
    {
        auto w = open();
        w->UseCloseMode();
        fill(*w, "h", "1001", "pw");
        w->cmdLogin_Click();
        QCOMPARE(values(loggedIn.value(0)), QStringList({"h", "1001", "pw", "1001"}));
        QVERIFY(!w->isVisible());
    }

    void closeErasesOnlyWhenSaveIsCleared()
    {
        store("h", "1001", "pw", "Ann");
        auto w = open();
        w->UseCloseMode();
        w->cmdClose_Click();
        QCOMPARE(stored("Account"), QString("1001"));
        QVERIFY(!w->isVisible());

        auto again = open();
        again->UseCloseMode();
        again->chkbxSaveSettings->setChecked(false);
        again->cmdClose_Click();
        for (const QString &app : kApp)
            QCOMPARE(stored(app), QString());
        QVERIFY(loggedIn.isEmpty()); // the phone's account is left as it was
    }

    void escapeAndEnterDoWhatTheButtonsDo()
    {
        // At the first start Escape is EXIT: without an account there is no phone.
        auto first = open();
        QTest::keyClick(first->txtAcctNo, Qt::Key_Escape);
        QCOMPARE(exits, 1);
        QVERIFY(!first->isVisible());
        QVERIFY(settings.writes.isEmpty());

        // From the account button it is CLOSE, erasing when "Save" is cleared.
        store("h", "1001", "pw", "Ann");
        auto later = open();
        later->UseCloseMode();
        later->chkbxSaveSettings->setChecked(false);
        QTest::keyClick(later->txtSip, Qt::Key_Escape);
        QCOMPARE(exits, 1);
        QCOMPARE(stored("Account"), QString());
        QVERIFY(loggedIn.isEmpty());
        QVERIFY(!later->isVisible());

        // Enter in a box is LOGIN, with its checks.
        auto third = open();
        fill(*third, "h", "1002", "pw");
        QTest::keyClick(third->txtPassword, Qt::Key_Return);
        QCOMPARE(values(loggedIn.value(0)), QStringList({"h", "1002", "pw", "1002"}));
    }

    void exitLeavesItsWordAndStoresNothing()
    {
        auto w = open();
        fill(*w, "h", "1001", "pw");
        w->cmdExit->click();
        QCOMPARE(exits, 1);
        QVERIFY(settings.writes.isEmpty());
        QVERIFY(loggedIn.isEmpty());
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestFrmLogin)
#include "tst_frmlogin.moc"
