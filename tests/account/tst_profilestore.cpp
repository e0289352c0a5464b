#include "account/AccountProfile.h"
#include "platform/IniSettingsStore.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"

#include <QTemporaryDir>
#include <QtTest>

using platform::MemorySettingsStore;

namespace {
void setProfile(const QString &sip, const QString &account, const QString &password, const QString &user)
{
    g_strSip = sip;
    g_strAccount = account;
    g_strPassword = password;
    g_strUser = user;
}
QStringList profile() { return {g_strSip, g_strAccount, g_strPassword, g_strUser}; }
} // namespace

class TestProfileStore : public QObject {
    Q_OBJECT
private slots:
    void init() { setProfile({}, {}, {}, {}); }

    void emptyStoreReadsFourEmptyValues()
    {
        setProfile("left", "over", "from", "before");
        MemorySettingsStore store;
        ProfileStore::ReadProfile(store);
        QCOMPARE(profile(), QStringList({"", "", "", ""}));
    }

    void saveWritesTheFourApplicationsInOrder()
    {
        MemorySettingsStore store;
        setProfile("sip.example.net", "1001", "pw", "Ann");
        ProfileStore::SaveProfile(store);
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
        setProfile(" 10.0.0.1:5070 ", "  1001", "p\"&<x>'s ", "Ann  Lee ");
        {
            platform::IniSettingsStore store(path);
            ProfileStore::SaveProfile(store);
        }
        setProfile({}, {}, {}, {});
        platform::IniSettingsStore nextRun(path);
        ProfileStore::ReadProfile(nextRun);
        QCOMPARE(profile(), QStringList({" 10.0.0.1:5070 ", "  1001", "p\"&<x>'s ", "Ann  Lee "}));
    }

    void eraseLeavesFourEmptyValuesAndMemoryAlone()
    {
        MemorySettingsStore store;
        setProfile("sip.example.net", "1001", "pw", "Ann");
        ProfileStore::SaveProfile(store);
        store.writes.clear();
        ProfileStore::EraseProfile(store);
        QCOMPARE(store.writes, QStringList({"Password/Parameters/Validation", "Account/Parameters/Validation",
                                            "Sip/Parameters/Validation", "User/Parameters/Validation"}));
        for (const char *app : {"Password", "Account", "Sip", "User"}) {
            QVERIFY(store.contains(app, "Parameters", "Validation")); // present, not deleted
            QCOMPARE(store.GetSetting(app, "Parameters", "Validation"), QString());
        }
        QCOMPARE(profile(), QStringList({"sip.example.net", "1001", "pw", "Ann"}));
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
