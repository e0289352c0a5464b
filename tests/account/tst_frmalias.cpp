#include "account/AliasStore.h"
#include "platform/IniSettingsStore.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "account/frmAlias.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
// A store whose writes never land (a full disk, a read-only file).
struct LosingStore final : platform::ISettingsStore {
    platform::MemorySettingsStore kept;
    int writes = 0;
    QString GetSetting(const QString &a, const QString &s, const QString &k) const override
    {
        return kept.GetSetting(a, s, k);
    }
    void SaveSetting(const QString &, const QString &, const QString &, const QString &) override { ++writes; }
};
} // namespace

class TestFrmAlias : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;

    std::unique_ptr<frmAlias> open(platform::ISettingsStore &store)
    {
        auto w = std::make_unique<frmAlias>(store, messages);
        w->show();
        w->activateWindow();
        [[maybe_unused]] bool active = QTest::qWaitForWindowActive(w.get());
        return w;
    }
    QString stored() const { return settings.GetSetting("adstring", "Parameters", "Validation"); }
    // The user empties the box, types and presses Save.
    void typeAndSave(frmAlias &w, const QString &text)
    {
        w.txtAlias->selectAll();
        QTest::keyClick(w.txtAlias, Qt::Key_Delete);
        QTest::keyClicks(w.txtAlias, text);
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        messages = platform::RecordingMessageBox{};
    }

    void firstOpenIsEmptyAndModeless()
    {
        auto w = open(settings);
        QCOMPARE(w->txtAlias->text(), QString());
        QCOMPARE(w->windowTitle(), QString("Set Alias..."));
        QVERIFY(!w->isModal());
        QCOMPARE(w->size(), QSize(262, 53));
        QCOMPARE(w->Label1->text(), QString("Alias :"));
        QCOMPARE(w->Label1->geometry(), QRect(6, 4, 33, 17));
        QCOMPARE(w->txtAlias->geometry(), QRect(44, 2, 209, 19));
        QCOMPARE(w->cmdSave->geometry(), QRect(186, 26, 69, 21));
        QCOMPARE(w->cmdSave->text(), QString("Save"));
        QTRY_VERIFY(w->txtAlias->hasFocus());
        QTest::keyClick(w.get(), Qt::Key_Tab);
        QVERIFY(w->cmdSave->hasFocus());
        QVERIFY(settings.writes.isEmpty()); // opening writes nothing
    }

    void emptySaveIsRefusedAndTheDialogCloses()
    {
        settings.SaveSetting("adstring", "Parameters", "Validation", "Old");
        settings.writes.clear();
        auto w = open(settings);
        QCOMPARE(w->txtAlias->text(), QString("Old"));
        bool openWhileAsked = false;
        messages.onShow = [&](const auto &) { openWhileAsked = w->isVisible(); };
        typeAndSave(*w, "");
        QCOMPARE(messages.texts(), QStringList{"Enter alias to be used"});
        QCOMPARE(messages.shown.first().buttons, platform::MsgButtons::OKOnly);
        QCOMPARE(messages.shown.first().title, platform::defaultMessageTitle());
        QVERIFY(openWhileAsked); // closed only after the user confirmed
        QVERIFY(!w->isVisible());
        QVERIFY(settings.writes.isEmpty());
        QCOMPARE(stored(), QString("Old"));
    }

    void aliasIsStoredAsTypedAndShownNextTime_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::newRow("plain") << "Ann";
        QTest::newRow("blanks around and inside") << "  Ann  Lee ";
        QTest::newRow("only a blank") << " ";
    }
    void aliasIsStoredAsTypedAndShownNextTime()
    {
        QFETCH(QString, alias);
        auto w = open(settings);
        bool openWhileAsked = false;
        messages.onShow = [&](const auto &) { openWhileAsked = w->isVisible(); };
        typeAndSave(*w, alias);
        QCOMPARE(stored(), alias);
        QCOMPARE(settings.writes, QStringList{"adstring/Parameters/Validation"});
        QCOMPARE(messages.texts(), QStringList{"Restart the application to apply changes!"});
        QCOMPARE(messages.shown.first().buttons, platform::MsgButtons::OKOnly);
        QVERIFY(openWhileAsked);
        QVERIFY(!w->isVisible());

        auto again = open(settings); // a new instance loads what is stored now
        QCOMPARE(again->txtAlias->text(), alias);
    }

    void longAliasIsNeitherCutNorLimited()
    {
        const QString alias = QString(40000, QLatin1Char('x')) + "end";
        settings.SaveSetting("adstring", "Parameters", "Validation", alias);
        auto w = open(settings);
        QCOMPARE(w->txtAlias->text(), alias);
        QTest::keyClick(w->txtAlias, Qt::Key_End);
        QTest::keyClicks(w->txtAlias, "+");
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(stored(), alias + "+");
    }

    void closingWithoutSaveStoresNothing()
    {
        auto w = open(settings);
        QTest::keyClicks(w->txtAlias, "Typed");
        w->close(); // the title bar's close button
        QVERIFY(!w->isVisible());

        auto other = open(settings);
        QTest::keyClicks(other->txtAlias, "Typed");
        QTest::keyClick(other->txtAlias, Qt::Key_Escape);
        QVERIFY(!other->isVisible());
        QTest::keyClick(other->txtAlias, Qt::Key_Return); // hidden: does nothing

        QVERIFY(settings.writes.isEmpty());
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(open(settings)->txtAlias->text(), QString());
    }

    void deleteOnCloseDialogGoesAwayAfterSaving()
    {
        QPointer<frmAlias> w = new frmAlias(settings, messages);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.data()));
        typeAndSave(*w, "Ann");
        QTRY_VERIFY(w.isNull());
        QCOMPARE(stored(), QString("Ann"));
    }

    void lostWriteIsReportedNotCelebrated()
    {
        LosingStore store;
        store.kept.SaveSetting("adstring", "Parameters", "Validation", "Old");
        auto w = open(store);
        typeAndSave(*w, "New");
        QCOMPARE(store.writes, 1);
        QCOMPARE(messages.texts(), QStringList{"The alias could not be saved."});
        QVERIFY(!w->isVisible());
        QCOMPARE(AliasStore::Read(store), QString("Old"));
    }

    void iniStoreThatCannotBeWrittenIsReported_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("file");
        QTest::newRow("its folder is a file") << "notafolder" << "notafolder/Softphone.ini";
        QTest::newRow("a folder in its place") << "" << "Softphone.ini";
    }
    void iniStoreThatCannotBeWrittenIsReported()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, file);
        QTemporaryDir dir;
        if (blocker.isEmpty()) {
            QVERIFY(QDir(dir.path()).mkdir(file));
        } else {
            QFile plain(dir.filePath(blocker));
            QVERIFY(plain.open(QIODevice::WriteOnly));
        }
        platform::IniSettingsStore store(dir.filePath(file));
        auto w = open(store);
        typeAndSave(*w, "Ann");
        QCOMPARE(messages.texts(), QStringList{"The alias could not be saved."});
        QVERIFY(!w->isVisible());
        QCOMPARE(AliasStore::Read(store), QString());
    }

    // The real INI file: the alias lands under adstring/Parameters/Validation
    // and comes back unchanged, whatever the INI format makes of it.
    void iniStoreKeepsHardCharacters_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::newRow("commas") << "Lee, Ann, Jr.";
        QTest::newRow("trailing comma") << "a,";
        QTest::newRow("quotes") << "\"Ann\" 'the' \"";
        QTest::newRow("unicode") << QString::fromUtf8("Zoë 日本語 😀");
        QTest::newRow("variant marker") << "@Variant(\\0\\0\\0\\x7f)";
        QTest::newRow("at sign first") << "@Ann";
        QTest::newRow("ini syntax") << "[adstring]\\ a=b; #c";
        QTest::newRow("blanks") << "  padded  ";
        QTest::newRow("backslashes") << "C:\\x\\";
    }
    void iniStoreKeepsHardCharacters()
    {
        QFETCH(QString, alias);
        QTemporaryDir dir;
        const QString path = dir.filePath("Softphone.ini");
        {
            platform::IniSettingsStore store(path);
            auto w = open(store);
            w->txtAlias->setText(alias);
            QTest::mouseClick(w->cmdSave, Qt::LeftButton);
            QCOMPARE(messages.texts(), QStringList{"Restart the application to apply changes!"});
        }
        QVERIFY(QFile(path).size() > 0);
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("adstring/Parameters/Validation"), QVariant(alias));
        platform::IniSettingsStore again(path);
        QCOMPARE(open(again)->txtAlias->text(), alias);
    }
};

QTEST_MAIN(TestFrmAlias)
#include "tst_frmalias.moc"
