#include "platform/DataFile.h"
#include "platform/DataFolder.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testfiles::entriesOf;
using testfiles::putBytes;

class TestDataFolder : public QObject {
    Q_OBJECT
private slots:
    void programFolderWhenWritable()
    {
        QTemporaryDir dir;
        QCOMPARE(platform::ChooseDataFolder(dir.path()), dir.path());
        QCOMPARE(entriesOf(dir.path()), QStringList{}); // the probe is gone
    }

    void userFolderOtherwise()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(dir.filePath("program"), "an executable's folder that is not one"));
        const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
        const QString chosen = platform::ChooseDataFolder(dir.filePath("program"));
        if (savedHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedHome);

        QCOMPARE(chosen, dir.filePath("share/Softphone"));
        QVERIFY(QFileInfo(chosen).isDir());
        const platform::DataFile file(QDir(chosen).filePath("recentcall.txt"), platform::DataFileFormat{});
        QVERIFY(file.Write({"1--Duration: 0:0:1"}));
    }

    // Contacts, calls and the engine's files are the user's alone, whatever
    // the umask; a folder that was there keeps its mode.
    void whatIsMadeIsOwnerOnly()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("shared"));
        QVERIFY(QFile::setPermissions(dir.filePath("shared"), QFileDevice::Permissions(0x7777)));
        const mode_t saved = ::umask(0);
        const bool made = platform::MakePrivateFolder(dir.filePath("shared/a/b"));
        const platform::DataFile file(dir.filePath("shared/a/b/PhoneBook.txt"), platform::DataFileFormat{});
        const bool created = file.Read().status == platform::DataFile::ReadStatus::Created;
        QVERIFY(putBytes(dir.filePath("shared/a/b/old.txt"), "x"));
        QVERIFY(QFile::setPermissions(dir.filePath("shared/a/b/old.txt"), QFileDevice::Permissions(0x6644)));
        const platform::DataFile old(dir.filePath("shared/a/b/old.txt"), platform::DataFileFormat{});
        const bool written = old.Write({"y"});
        ::umask(saved);
        QVERIFY(made && created && written);
        auto mode = [&](const char *path) {
            struct stat st {};
            return ::stat(QFile::encodeName(dir.filePath(path)).constData(), &st) == 0 ? st.st_mode & 07777 : 0u;
        };
        QCOMPARE(mode("shared"), 0777u);
        QCOMPARE(mode("shared/a"), 0700u);
        QCOMPARE(mode("shared/a/b"), 0700u);
        QCOMPARE(mode("shared/a/b/PhoneBook.txt"), 0600u);
        QCOMPARE(mode("shared/a/b/old.txt"), 0600u);
        QVERIFY(!platform::MakePrivateFolder(dir.filePath("shared/a/b/old.txt/c"))); // a file in the way
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
