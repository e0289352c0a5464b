#include "platform/IniSettingsStore.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"

#include <QTemporaryDir>
#include <QtTest>

using platform::MemorySettingsStore;

namespace {
Account account(const QString &sip, const QString &account, const QString &password, const QString &user)
{
    return Account{sip, account, password, user};
}
QStringList values(const Account &a) { return {a.server, a.accountId, a.password, a.callerName}; }
} // namespace

class TestProfileStore : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreReadsFourEmptyValues()
    {
        MemorySettingsStore store;
        const Account read = ProfileStore::ReadProfile(store);
        QCOMPARE(values(read), QStringList({"", "", "", ""}));
        QVERIFY(read.IsEmpty());
        // Any one value makes an account.
        store.SaveSetting("User", "Parameters", "Validation", "Ann");
        QVERIFY(!ProfileStore::ReadProfile(store).IsEmpty());
    }

    void saveWritesTheFourApplicationsInOrder()
    {
        MemorySettingsStore store;
        ProfileStore::SaveProfile(store, account("sip.example.net", "1001", "pw", "Ann"));
        QCOMPARE(store.writes, QStringList({"Password/Parameters/Validation", "Account/Parameters/Validation",
                                            "Sip/Parameters/Validation", "User/Parameters/Validation"}));
        QCOMPARE(store.values.value("Sip/Parameters/Validation"), QString("sip.example.net"));
        QCOMPARE(store.values.value("Account/Parameters/Validation"), QString("1001"));
        QCOMPARE(store.values.value("Password/Parameters/Validation"), QString("pw"));
        QCOMPARE(store.values.value("User/Parameters/Validation"), QString("Ann"));
    }

    void roundTripThroughTheRealFileKeepsBlanks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Softphone.ini");
        {
            platform::IniSettingsStore store(path);
            ProfileStore::SaveProfile(store, account(" 10.0.0.1:5070 ", "  1001", "p\"&<x>'s ", "Ann  Lee "));
        }
        platform::IniSettingsStore nextRun(path);
        QCOMPARE(values(ProfileStore::ReadProfile(nextRun)), QStringList({" 10.0.0.1:5070 ", "  1001", "p\"&<x>'s ", "Ann  Lee "}));
    }

    void eraseLeavesFourEmptyValues()
    {
        MemorySettingsStore store;
        ProfileStore::SaveProfile(store, account("sip.example.net", "1001", "pw", "Ann"));
        store.writes.clear();
        ProfileStore::EraseProfile(store);
        QCOMPARE(store.writes, QStringList({"Password/Parameters/Validation", "Account/Parameters/Validation",
                                            "Sip/Parameters/Validation", "User/Parameters/Validation"}));
        for (const char *app : {"Password", "Account", "Sip", "User"}) {
            QVERIFY(store.contains(app, "Parameters", "Validation")); // present, not deleted
            QCOMPARE(store.GetSetting(app, "Parameters", "Validation"), QString());
        }
    }

    void aliasValueIsNotPartOfTheProfile()
    {
        MemorySettingsStore store;
        store.SaveSetting("adstring", "Parameters", "Validation", "My Alias");
        ProfileStore::EraseProfile(store);
        QCOMPARE(store.GetSetting("adstring", "Parameters", "Validation"), QString("My Alias"));
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
