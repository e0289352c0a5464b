#include "platform/DataFile.h"
#include "platform/DataFolder.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testfiles::bytesOf;
using testfiles::entriesOf;
using testfiles::putBytes;

class TestDataFolder : public QObject {
    Q_OBJECT
private slots:
    // The user's folder follows XDG_DATA_HOME; files an earlier version kept
    // beside the program move into it byte for byte, owner-only, and the
    // program folder is left empty. Nothing needs saying.
    void oldFilesMoveIntoTheUsersFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("program"));
        const QByteArray book = "Office--0201234567\r\n", calls = "0201234567--Duration: 0:0:5\r\n";
        QVERIFY(putBytes(dir.filePath("program/PhoneBook.txt"), book));
        QVERIFY(putBytes(dir.filePath("program/recentcall.txt"), calls));
        QVERIFY(QFile::setPermissions(dir.filePath("program/PhoneBook.txt"), QFileDevice::Permissions(0x6644)));
        const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
        const QString data = platform::UserDataFolder();
        if (savedHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedHome);
        QCOMPARE(data, dir.filePath("share/Softphone"));

        QCOMPARE(platform::MoveDataFiles(dir.filePath("program"), data, {"PhoneBook.txt", "recentcall.txt"}),
                 QStringList{});
        QCOMPARE(entriesOf(dir.filePath("program")), QStringList{});
        QCOMPARE(bytesOf(data + "/PhoneBook.txt"), book);
        QCOMPARE(bytesOf(data + "/recentcall.txt"), calls);
        QCOMPARE(QFileInfo(data + "/PhoneBook.txt").permissions() & 0x0777, QFileDevice::Permissions(0x0600));
    }

    // Where both folders hold a file, neither is lost: the user's stays in
    // use, a different old one is kept beside it under a free name and the
    // user is told once; an identical old one is simply gone.
    void bothCopiesAreKept()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("program") && QDir(dir.path()).mkpath("data"));
        QVERIFY(putBytes(dir.filePath("program/PhoneBook.txt"), "Old--1\r\n"));
        QVERIFY(putBytes(dir.filePath("data/PhoneBook.txt"), "New--2\r\n"));
        QVERIFY(putBytes(dir.filePath("data/PhoneBook (old).txt"), "Older--3\r\n"));
        QVERIFY(putBytes(dir.filePath("program/recentcall.txt"), "1--Duration: 0:0:1\r\n"));
        QVERIFY(putBytes(dir.filePath("data/recentcall.txt"), "1--Duration: 0:0:1\r\n"));
        const QStringList names{"PhoneBook.txt", "recentcall.txt"};

        const QStringList told = platform::MoveDataFiles(dir.filePath("program"), dir.filePath("data"), names);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(dir.filePath("data/PhoneBook (old 2).txt")), qPrintable(told[0]));
        QCOMPARE(entriesOf(dir.filePath("program")), QStringList{});
        QCOMPARE(entriesOf(dir.filePath("data")),
                 (QStringList{"PhoneBook (old 2).txt", "PhoneBook (old).txt", "PhoneBook.txt", "recentcall.txt"}));
        QCOMPARE(bytesOf(dir.filePath("data/PhoneBook.txt")), QByteArray("New--2\r\n"));
        QCOMPARE(bytesOf(dir.filePath("data/PhoneBook (old 2).txt")), QByteArray("Old--1\r\n"));
        QCOMPARE(bytesOf(dir.filePath("data/PhoneBook (old).txt")), QByteArray("Older--3\r\n"));
        QCOMPARE(platform::MoveDataFiles(dir.filePath("program"), dir.filePath("data"), names), QStringList{});
    }

    // From another file system the file is copied, checked, then removed.
    void movesAcrossFileSystems()
    {
        QTemporaryDir program(QDir::tempPath() + "/move-XXXXXX");
        QTemporaryDir data("/dev/shm/move-XXXXXX");
        struct stat a {}, b {};
        if (!data.isValid() || ::stat(QFile::encodeName(program.path()).constData(), &a) != 0
            || ::stat(QFile::encodeName(data.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("no second file system here");
        QVERIFY(putBytes(program.filePath("PhoneBook.txt"), "Office--0201234567\r\n"));
        QCOMPARE(platform::MoveDataFiles(program.path(), data.path(), {"PhoneBook.txt"}), QStringList{});
        QCOMPARE(entriesOf(program.path()), QStringList{});
        QCOMPARE(bytesOf(data.filePath("PhoneBook.txt")), QByteArray("Office--0201234567\r\n"));
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
