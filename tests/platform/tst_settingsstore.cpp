#include "platform/IniSettingsStore.h"
#include "platform/IScreenMetrics.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using platform::IniSettingsStore;

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void missingFileAndMissingValueReadEmpty()
    {
        QTemporaryDir dir;
        IniSettingsStore store(dir.filePath("none/Softphone.ini"));
        QCOMPARE(store.GetSetting("Sip", "Parameters", "Validation"), QString());
        QVERIFY(!QFile::exists(store.filePath())); // reading creates nothing
        store.SaveSetting("Account", "Parameters", "Validation", "1001");
        QCOMPARE(store.GetSetting("Sip", "Parameters", "Validation"), QString());
        QCOMPARE(store.GetSetting("Account", "Parameters", "Other"), QString());
    }

    void valuesRoundTripExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "secret";
        QTest::newRow("blanks kept") << "  two  blanks  ";
        QTest::newRow("only blanks") << "   ";
        QTest::newRow("comma list") << "a, b,c";
        QTest::newRow("quotes") << "say \"hi\" 'there'";
        QTest::newRow("xml") << "p\"&<x>'s";
        QTest::newRow("ini syntax") << "[Sip]\nkey=value;#comment";
        QTest::newRow("at variant") << "@Variant(bogus)";
        QTest::newRow("backslashes") << "C:\\path\\to\\";
        QTest::newRow("unicode") << QString::fromUtf8("Zoë Łódź 電話");
        QTest::newRow("true") << "true";
        QTest::newRow("number") << "007";
        QTest::newRow("tab and cr") << "a\tb\rc";
    }
    void valuesRoundTripExactly()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath("Softphone.ini");
        {
            IniSettingsStore store(path);
            store.SaveSetting("Password", "Parameters", "Validation", value);
        }
        IniSettingsStore again(path); // a new run reads the file afresh
        QCOMPARE(again.GetSetting("Password", "Parameters", "Validation"), value);
    }

    void applicationsAreSeparate()
    {
        QTemporaryDir dir;
        IniSettingsStore store(dir.filePath("Softphone.ini"));
        store.SaveSetting("Sip", "Parameters", "Validation", "sip.example.net");
        store.SaveSetting("User", "Parameters", "Validation", "Ann");
        store.SaveSetting("Sip", "Parameters", "Validation", "");
        QCOMPARE(store.GetSetting("Sip", "Parameters", "Validation"), QString());
        QCOMPARE(store.GetSetting("User", "Parameters", "Validation"), QString("Ann"));
    }

    void fileIsOwnerOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cfg/Softphone/Softphone.ini");
        IniSettingsStore store(path);
        store.SaveSetting("Password", "Parameters", "Validation", "secret");
        store.SaveSetting("Account", "Parameters", "Validation", "1001");
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    void existingLooseFileIsTightenedOnWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Softphone.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[User]\nParameters\\Validation=Bob\n");
        f.close();
        ::chmod(QFile::encodeName(path).constData(), 0644);
        IniSettingsStore store(path);
        QCOMPARE(store.GetSetting("User", "Parameters", "Validation"), QString("Bob"));
        store.SaveSetting("Password", "Parameters", "Validation", "pw");
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QCOMPARE(store.GetSetting("User", "Parameters", "Validation"), QString("Bob"));
    }

    void garbageFileReadsEmptyWithoutCrash()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Softphone.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 131) & 0xff);
        f.write(junk);
        f.close();
        IniSettingsStore store(path);
        store.GetSetting("Sip", "Parameters", "Validation"); // must not crash
        store.SaveSetting("Sip", "Parameters", "Validation", "x");
        QCOMPARE(store.GetSetting("Sip", "Parameters", "Validation"), QString("x"));
    }

    void twipsRoundHalfToEven()
    {
        QCOMPARE(platform::TwipsToPixels(4450, 15), 297);  // 296.67
        QCOMPARE(platform::TwipsToPixels(6540, 15), 436);
        QCOMPARE(platform::TwipsToPixels(37.5, 15), 2);    // 2.5 → 2
        QCOMPARE(platform::TwipsToPixels(52.5, 15), 4);    // 3.5 → 4
        QCOMPARE(platform::TwipsToPixels(100, 0), 0);      // no factor, no division
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
