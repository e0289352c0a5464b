#include "history/HistoryFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
using namespace testfiles;
const QByteArray kFiveLines = "5--Duration: 0:0:5\r\n4--Duration: 0:0:4\r\n3--Duration: 0:0:3\r\n"
                              "2--Duration: 0:0:2\r\n1--Duration: 0:0:1\r\n";
} // namespace

class TestHistoryFile : public QObject {
    Q_OBJECT
private slots:
    void firstCallCreatesTheFileWithOneLine()
    {
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        QCOMPARE(history.path(), dir.filePath("recentcall.txt"));
        QCOMPARE(history.AddRecentCall("123", 0, 1, 7), HistoryFile::AddResult::Recorded);
        QCOMPARE(bytesOf(history.path()), QByteArray("123--Duration: 0:1:7\r\n"));
        QCOMPARE(history.ReadLines(), QStringList{"123--Duration: 0:1:7"});
    }

    void sixCallsKeepTheFiveNewestNewestFirst()
    {
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        for (int call = 1; call <= 6; ++call)
            QCOMPARE(history.AddRecentCall(QString::number(100 + call), 0, 0, call), HistoryFile::AddResult::Recorded);
        QCOMPARE(bytesOf(history.path()), QByteArray("106--Duration: 0:0:6\r\n105--Duration: 0:0:5\r\n"
                                                     "104--Duration: 0:0:4\r\n103--Duration: 0:0:3\r\n"
                                                     "102--Duration: 0:0:2\r\n"));
    }

    // Counters go down as they stand: no padding, no carrying of 60 seconds.
    void recordLinesOnDisk_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QList<int>>("counters");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty number") << QString() << QList<int>{0, 0, 0} << QByteArray("--Duration: 0:0:0");
        QTest::newRow("sixty seconds kept") << "123" << QList<int>{0, 2, 60} << QByteArray("123--Duration: 0:2:60");
        QTest::newRow("no leading zeros") << "0044 20" << QList<int>{10, 5, 9} << QByteArray("0044 20--Duration: 10:5:9");
        QTest::newRow("blanks and dashes kept") << " 1-2--3 " << QList<int>{0, 0, 1} << QByteArray(" 1-2--3 --Duration: 0:0:1");
        QTest::newRow("Latin-1 letters one byte each") << QString::fromUtf8("Zoë ÿ") << QList<int>{0, 0, 1}
                                                       << QByteArray("Zo\xEB \xFF--Duration: 0:0:1");
        QTest::newRow("beyond Latin-1 refused as ?") << QString::fromUtf8("€5") << QList<int>{0, 0, 1}
                                                     << QByteArray("?5--Duration: 0:0:1");
        QTest::newRow("line breaks cannot split a record") << "1\r\n2\n3\r" << QList<int>{0, 0, 1}
                                                           << QByteArray("1  2 3 --Duration: 0:0:1");
    }
    void recordLinesOnDisk()
    {
        QFETCH(QString, number);
        QFETCH(QList<int>, counters);
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        QCOMPARE(history.AddRecentCall(number, counters[0], counters[1], counters[2]), HistoryFile::AddResult::Recorded);
        QCOMPARE(bytesOf(history.path()), line + "\r\n");
    }

    void foreignBytesSurviveReadingAndRewriting()
    {
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        // Latin-1, UTF-8 and a stray NUL, none of them ours to change.
        const QByteArray old = QByteArray("Ren\xE9--Duration: 0:0:1\r\n", 23) + QByteArray("\xC3\xA9\x00x--Duration: 0:0:2\r\n", 23);
        QVERIFY(putBytes(history.path(), old));
        QCOMPARE(history.AddRecentCall("9", 0, 0, 3), HistoryFile::AddResult::Recorded);
        QCOMPARE(bytesOf(history.path()), "9--Duration: 0:0:3\r\n" + old);

        // Redialling from the list hands the number back as text; recording it
        // again must give the very same bytes.
        const QStringList lines = *history.ReadLines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(history.AddRecentCall(HistoryFile::NumberOf(lines[1]), 0, 0, 4), HistoryFile::AddResult::Recorded);
        QVERIFY(bytesOf(history.path()).startsWith("Ren\xE9--Duration: 0:0:4\r\n"));
    }

    // Any line break ends a record in a foreign file; ours come back CR LF.
    void longerForeignFileKeepsItsFirstFive()
    {
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        QVERIFY(putBytes(history.path(), "5--Duration: 0:0:5\r\n4--Duration: 0:0:4\n3--Duration: 0:0:3\r"
                                         "2--Duration: 0:0:2\r\n1--Duration: 0:0:1\n"
                                         "0--Duration: 0:0:0\r\n-1--Duration: 0:0:0\r\n"));
        QCOMPARE(history.ReadLines()->size(), 5);
        QCOMPARE(history.AddRecentCall("6", 0, 0, 6), HistoryFile::AddResult::Recorded);
        QCOMPARE(bytesOf(history.path()), "6--Duration: 0:0:6\r\n" + kFiveLines.left(kFiveLines.lastIndexOf("1--")));
    }

    void numberIsTheTextBeforeTheFirstSeparator_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("number");
        QTest::newRow("record") << "123--Duration: 0:1:7" << "123";
        QTest::newRow("empty number") << "--Duration: 0:0:0" << "";
        QTest::newRow("first of several") << "a-b--c--d" << "a-b";
        QTest::newRow("no separator") << "plain" << "plain";
        QTest::newRow("empty line") << "" << "";
    }
    void numberIsTheTextBeforeTheFirstSeparator()
    {
        QFETCH(QString, line);
        QFETCH(QString, number);
        QCOMPARE(HistoryFile::NumberOf(line), number);
    }

    // Something that is not a plain file stands where the history should be,
    // or there is no folder to make it in: a record is never written over it.
    void unusableHistoryIsNeverRewritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder in its place") << "folder";
        QTest::newRow("pipe in its place") << "fifo";
        QTest::newRow("folder is a file") << "plainfile";
        QTest::newRow("folder missing") << "missing/deeper";
    }
    void unusableHistoryIsNeverRewritten()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(putBytes(dir.filePath("plainfile"), "not a folder"));
        const bool inFolder = kind == "folder" || kind == "fifo";
        HistoryFile history(inFolder ? dir.path() : dir.filePath(kind));
        if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("recentcall.txt"));
            QVERIFY(putBytes(history.path() + "/inside", "keep"));
        } else if (kind == "fifo") {
            // A pipe with no writer would block a plain open for good.
            QCOMPARE(::mkfifo(QFile::encodeName(history.path()).constData(), 0600), 0);
        }
        const QStringList before = entriesOf(dir.path());
        QCOMPARE(history.ReadLines(), std::nullopt);
        QCOMPARE(history.AddRecentCall("1", 0, 0, 1), HistoryFile::AddResult::NotRead);
        QCOMPARE(entriesOf(dir.path()), before);
        QCOMPARE(bytesOf(dir.filePath("plainfile")), QByteArray("not a folder"));
        if (kind == "folder") {
            QVERIFY(QFileInfo(history.path()).isDir());
            QCOMPARE(bytesOf(history.path() + "/inside"), QByteArray("keep"));
        }
        if (kind == "fifo")
            QVERIFY(QFileInfo(history.path()).exists() && !QFileInfo(history.path()).isFile());
    }

    void unreadablePermissionsKeepTheContent()
    {
        if (::geteuid() == 0)
            QSKIP("permission bits do not stop root; the pipe row of unusableHistoryIsNeverRewritten covers it");
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        QVERIFY(putBytes(history.path(), kFiveLines));
        // Writable but not readable: recreating the file here would empty it.
        QVERIFY(QFile::setPermissions(history.path(), QFileDevice::WriteOwner));
        QCOMPARE(history.ReadLines(), std::nullopt);
        QCOMPARE(history.AddRecentCall("1", 0, 0, 1), HistoryFile::AddResult::NotRead);
        QVERIFY(QFile::setPermissions(history.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(bytesOf(history.path()), kFiveLines);
    }

    // The disk fills while the new history is written (a file-size limit does
    // this for real, root included): the call is reported as not written.
    void failedWriteIsReported()
    {
        QTemporaryDir dir;
        HistoryFile history(dir.path());
        QVERIFY(putBytes(history.path(), kFiveLines));
        HistoryFile::AddResult result = HistoryFile::AddResult::Recorded;
        {
            const FileSizeLimit limit(16);
            result = history.AddRecentCall("6", 0, 0, 6);
        }
        QCOMPARE(result, HistoryFile::AddResult::NotWritten);
        // And the next call, with room again, records normally.
        QCOMPARE(history.AddRecentCall("6", 0, 0, 6), HistoryFile::AddResult::Recorded);
        QVERIFY(bytesOf(history.path()).startsWith("6--Duration: 0:0:6\r\n5--"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
