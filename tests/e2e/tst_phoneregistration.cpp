// The phone window with the real engine against a real registrar on loopback.
#include "rtc/linphone/LinphoneClient.h"
#include "tests/support/LocalProvider.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"
#include "tests/doubles/FixedScreenMetrics.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "account/frmLogin.h"
#include "mainwindow/frmSoftphone.h"

#include <QTemporaryDir>
#include <QtTest>


class TestPhoneRegistration : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    platform::FixedScreenMetrics screen;
    std::unique_ptr<QTemporaryDir> engineDir;
    std::function<void(frmLogin &)> loginAction;

    void storeAccount(const QString &sip, const QString &account, const QString &password,
                      const QString &callerId = QString())
    {
        // Empty: the alias was left at its prompt.
        ProfileStore::SaveProfile(settings, Account{sip, account, password, callerId.isEmpty() ? account : callerId});
    }

    std::unique_ptr<frmSoftphone> startPhone()
    {
        PhoneServices s;
        s.settings = &settings;
        s.messages = &messages;
        s.screen = &screen;
        const QString folder = engineDir->path();
        s.phone.createClient = [folder]() -> std::shared_ptr<rtc::IRTCClient> {
            rtc::LinphoneClientOptions options;
            options.folder = folder;
            options.bindAddress = QStringLiteral("127.0.0.1");
            options.registrationRetrySeconds = 2;
            return std::make_shared<rtc::LinphoneClient>(options);
        };
        s.runModal = [this](QDialog &dialog) {
            if (auto *login = qobject_cast<frmLogin *>(&dialog); login && loginAction)
                loginAction(*login);
            return 0;
        };
        auto form = std::make_unique<frmSoftphone>(s);
        form->Form_Load();
        return form;
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        messages = platform::RecordingMessageBox{};
        engineDir = std::make_unique<QTemporaryDir>();
        loginAction = nullptr;
    }

    void storedProfileRegisters()
    {
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "1001", "1001pw");
        auto phone = startPhone();
        QCOMPARE(phone->lblMsg->text(), QString("Not logged in..."));
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);
        QCOMPARE(phone->phone().registrationWord(), QString("REGISTERED"));
        QVERIFY(!provider.contacts("1001").isEmpty());
        QVERIFY(messages.shown.isEmpty());

        // Closing unregisters before the program goes.
        phone->close();
        QVERIFY(provider.contacts("1001").isEmpty());
    }

    void callerIdNameOfItsOwnStillRegisters()
    {
        // The account signs in under its ID whatever name callers are shown.
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "1001", "1001pw", "Ann Smith");
        auto phone = startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);
        QVERIFY(!provider.contacts("1001").isEmpty());
    }

    void wrongPasswordIsRejected()
    {
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "1001", "not-the-password");
        auto phone = startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Rejected"), 10000);
        QCOMPARE(phone->phone().registrationWord(), QString("REJECTED"));
        QVERIFY(provider.contacts("1001").isEmpty());
    }

    void passwordWithXmlCharactersRegisters()
    {
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "carol", "p\"&<x>'s");
        auto phone = startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);
        QVERIFY(!provider.contacts("carol").isEmpty());
    }

    void loginWindowInCloseModeRegistersTheNewAccount()
    {
        LocalProvider provider;
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "alice", "alice-secret");
        auto phone = startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);

        // The account button's login window, as a user fills it in.
        loginAction = [](frmLogin &login) {
            login.txtAcctNo->setText("bob");
            login.txtuserid->setText("Bob B.");
            login.txtPassword->setText("bob-secret");
            login.cmdLogin->click();
        };
        QTest::mouseClick(phone->ControlNamed("Account"), Qt::LeftButton);
        QCOMPARE(phone->lblMsg->text(), QString("Re login..."));
        QCOMPARE(settings.GetSetting("Account", "Parameters", "Validation"), QString("bob"));
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!provider.contacts("bob").isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(provider.contacts("alice").isEmpty(), 5000);
    }

    void lostRegistrarIsShownAndRegainedByItself()
    {
        LocalProvider provider(/*maxExpires=*/4);
        QVERIFY2(provider.start(), qPrintable(provider.error()));
        storeAccount(provider.hostPort(), "1001", "1001pw");
        auto phone = startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 10000);

        provider.stop();
        // The next refresh finds nobody there.
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Not Registered"), 40000);
        QCOMPARE(phone->phone().registrationWord(), QString("NOTREGISTERED"));

        QVERIFY(provider.restart());
        QTRY_COMPARE_WITH_TIMEOUT(phone->lblMsg->text(), QString("Registered and Ready..."), 30000);
        QVERIFY(!provider.contacts("1001").isEmpty());
    }
};

QTEST_MAIN(TestPhoneRegistration)
#include "tst_phoneregistration.moc"
