#include "platform/DataFile.h"
#include "tests/support/OrdinaryUser.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace testfiles;
using namespace ordinaryuser;
using platform::DataFile;
using Format = platform::DataFileFormat;
using Endings = Format::Endings;
using ReadStatus = DataFile::ReadStatus;

namespace {
// Read whole, lines ending at LF.
const Format kWhole{.endings = Endings::LineFeed, .noun = "a test file"};
// The first five lines of at most 4096 bytes, any line break.
const Format kFirstFive{.endings = Endings::AnyBreak,
                        .maxLines = 5,
                        .beyondMaxLines = Format::BeyondMaxLines::KeepFirst,
                        .maxLineBytes = 4096};

QString fileIn(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("data.txt"));
}

// Two large files with different lines: after a killed write the file must
// be exactly one of them.
QList<QByteArray> oldLines() { return QList<QByteArray>(32766, "Old line, somewhat longer than the new one"); }
QList<QByteArray> newLines() { return QList<QByteArray>(32766, "New line, shorter"); }

// Child: rewrite the file over and over, alternating the two, until killed.
// "begin" and "end" around each write tell the parent where the kill landed.
int writeForever(const QString &folder)
{
    const DataFile file(fileIn(folder), kWhole);
    const QList<QByteArray> contents[2] = {newLines(), oldLines()};
    for (int round = 0;; ++round) {
        std::fputs("begin\n", stdout);
        std::fflush(stdout);
        if (!file.Write(contents[round % 2]))
            return 3;
        std::fputs("end\n", stdout);
        std::fflush(stdout);
    }
}

// Child, as an ordinary user: read or write the file in `folder` and say how
// it went.
int ordinaryUser(const QString &what, const QString &folder)
{
    const DataFile file(fileIn(folder), kWhole);
    QByteArray out = euidLine();
    if (what == QLatin1String("read")) {
        const DataFile::ReadResult result = file.Read();
        out += "status=" + QByteArray::number(int(result.status)) + "\nlines=" + QByteArray::number(result.lines.size()) +
               "\nproblem=" + result.problem.toUtf8() + "\n";
    } else {
        QString problem;
        const bool written = file.Write({"Child--1"}, &problem);
        out += QByteArray("written=") + (written ? "1" : "0") + "\nproblem=" + problem.toUtf8() + "\n";
    }
    std::fputs(out.constData(), stdout);
    return 0;
}

bool makeReadOnly(const QString &folder)
{
    return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}
bool makeWritable(const QString &folder)
{
    return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
} // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private slots:
    // ---- reading -------------------------------------------------------

    void missingFileIsCreatedEmpty()
    {
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), kWhole);
        const auto first = file.Read();
        QCOMPARE(first.status, ReadStatus::Created);
        QVERIFY(first.usable());
        QVERIFY(first.lines.isEmpty());
        QVERIFY(QFileInfo(file.path()).isFile());
        QCOMPARE(bytesOf(file.path()), QByteArray());
        const auto again = file.Read();
        QCOMPARE(again.status, ReadStatus::Read);
        QVERIFY(again.lines.isEmpty());
    }

    void folderThatCannotHoldTheFile_data()
    {
        QTest::addColumn<QString>("folderName");
        QTest::newRow("folder is a plain file") << "plainfile";
        QTest::newRow("folder missing") << "missing/deeper";
    }
    void folderThatCannotHoldTheFile()
    {
        QFETCH(QString, folderName);
        QTemporaryDir dir;
        QVERIFY(putBytes(dir.filePath("plainfile"), "not a folder"));
        const auto result = DataFile(fileIn(dir.filePath(folderName)), kWhole).Read();
        QCOMPARE(result.status, ReadStatus::NotCreated);
        QVERIFY(!result.usable());
        QVERIFY2(result.problem.contains("data.txt could not be created: "), qPrintable(result.problem));
        QCOMPARE(bytesOf(dir.filePath("plainfile")), QByteArray("not a folder"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"plainfile"});
    }

    void readOnlyFolderCannotHoldANewFile()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        QVERIFY(makeReadOnly(dir->path()));
        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "read", dir->path()});
        QVERIFY(makeWritable(dir->path()));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the reader still ran as root");
        QVERIFY2(run.out.contains("\nstatus=" + QByteArray::number(int(ReadStatus::NotCreated)) + "\n"), run.out.constData());
        QVERIFY(run.out.contains("could not be created: Permission denied"));
        QCOMPARE(entriesOf(dir->path()), QStringList{});
    }

    // Something that is not a plain file stands where the file should be: it
    // is reported, never opened for good (a pipe with no writer) or replaced.
    void notAPlainFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), kWhole);
        QVERIFY(QDir(dir.path()).mkdir("data.txt"));
        QVERIFY(putBytes(file.path() + "/inside", "keep"));
        auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::NotAFile);
        QCOMPARE(result.problem, QDir::toNativeSeparators(file.path()) + " is not a plain file.");
        QCOMPARE(bytesOf(file.path() + "/inside"), QByteArray("keep"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"data.txt"});

        QVERIFY(QDir(file.path()).removeRecursively());
        QCOMPARE(::mkfifo(QFile::encodeName(file.path()).constData(), 0600), 0);
        result = file.Read();
        QCOMPARE(result.status, ReadStatus::NotAFile);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file.path()).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
        QCOMPARE(entriesOf(dir.path()), QStringList{"data.txt"});
    }

    // Permission bits: run as user nobody, since root reads everything.
    // Writable but not readable: recreating the file here would empty it.
    void unreadableFileIsLeftAlone()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const QString path = fileIn(dir->path());
        const QByteArray old = "Secret--1\r\n";
        QVERIFY(putBytes(path, old));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));

        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "read", dir->path()});
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the reader still ran as root");
        QVERIFY2(run.out.contains("\nstatus=" + QByteArray::number(int(ReadStatus::Unreadable)) + "\n"), run.out.constData());
        QVERIFY(run.out.contains("\nlines=0\n"));
        QVERIFY(run.out.contains("Permission denied"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(entriesOf(dir->path()), QStringList{"data.txt"});
    }

    // A file beyond either limit is refused whole and left as it is.
    void tooLargeFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lines");     // -1: refused
        QTest::addColumn<QString>("problem"); // after the path
        QTest::newRow("at both limits") << QByteArray("aaaa\nbbbb\ncccccc") << 3 << "";
        QTest::newRow("one byte more") << QByteArray("aaaa\nbbbb\nccccccc") << -1
                                       << " is too large to be a test file (17 bytes).";
        QTest::newRow("one line more") << QByteArray("a\nb\nc\n\n") << -1 << " has too many lines to be a test file (4).";
        QTest::newRow("one line more, last not ended") << QByteArray("a\nb\nc\nd") << -1
                                                       << " has too many lines to be a test file (4).";
    }
    void tooLargeFileIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lines);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        Format limited = kWhole;
        limited.maxFileBytes = 16;
        limited.maxLines = 3;
        const DataFile file(fileIn(dir.path()), limited);
        QVERIFY(putBytes(file.path(), bytes));
        const auto result = file.Read();
        if (lines < 0) {
            QCOMPARE(result.status, ReadStatus::TooLarge);
            QVERIFY(result.lines.isEmpty());
            QCOMPARE(result.problem, QDir::toNativeSeparators(file.path()) + problem);
        } else {
            QCOMPARE(result.status, ReadStatus::Read);
            QCOMPARE(result.lines.size(), lines);
        }
        QCOMPARE(bytesOf(file.path()), bytes);
    }

    // Beyond the line limit the rest is never read: here it is a terabyte
    // of hole that would take minutes to get through.
    void onlyTheFirstLinesAreRead()
    {
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), kFirstFive);
        QVERIFY(putBytes(file.path(), "1\r\n2\n3\r4\r\n5\r\n6\r\n7\r\n"));
        {
            QFile grow(file.path());
            QVERIFY(grow.open(QIODevice::ReadWrite));
            QVERIFY(grow.resize(qint64(1) << 40)); // sparse: costs no disk
        }
        const auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::Read);
        QCOMPARE(result.lines, (QList<QByteArray>{"1", "2", "3", "4", "5"}));
    }

    // ---- lines -----------------------------------------------------------

    void lineEndings_data()
    {
        QTest::addColumn<Endings>("endings");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QByteArray chunk(65535, 'x'); // the next byte starts a new read
        const auto lf = Endings::LineFeed;
        QTest::newRow("LF: empty file") << lf << QByteArray() << QList<QByteArray>{};
        QTest::newRow("LF: CR LF") << lf << QByteArray("a--1\r\nb--2\r\n") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("LF: LF only") << lf << QByteArray("a--1\nb--2\n") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("LF: last line without ending") << lf << QByteArray("a--1\r\nb--2") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("LF: empty lines kept in place") << lf << QByteArray("a\r\n\r\n\nb\r\n")
                                                       << QList<QByteArray>{"a", "", "", "b"};
        QTest::newRow("LF: one empty line") << lf << QByteArray("\r\n") << QList<QByteArray>{""};
        QTest::newRow("LF: lone CR is text") << lf << QByteArray("a\rb\r\n") << QList<QByteArray>{"a\rb"};
        QTest::newRow("LF: only the CR before LF goes") << lf << QByteArray("a\r\r\n") << QList<QByteArray>{"a\r"};
        QTest::newRow("LF: CR at the very end") << lf << QByteArray("a\r") << QList<QByteArray>{"a\r"};
        QTest::newRow("LF: NUL is text") << lf << QByteArray("a\0b--1\r\n", 8) << QList<QByteArray>{QByteArray("a\0b--1", 6)};
        QTest::newRow("LF: CR LF across two reads") << lf << chunk + "\r\nnext\r\n" << QList<QByteArray>{chunk, "next"};
        QTest::newRow("LF: lone CR across two reads") << lf << chunk + "\ry\n" << QList<QByteArray>{chunk + "\ry"};

        const auto any = Endings::AnyBreak;
        QTest::newRow("any: LF only") << any << QByteArray("a--1\nb--2\n") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("any: CR only") << any << QByteArray("a--1\rb--2\r") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("any: mixed") << any << QByteArray("a\r\nb\nc\rd") << QList<QByteArray>{"a", "b", "c", "d"};
        QTest::newRow("any: no ending on last line") << any << QByteArray("a--1\r\nb--2") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("any: blank line kept in place") << any << QByteArray("a\r\n\r\nb\r\n") << QList<QByteArray>{"a", "", "b"};
        QTest::newRow("any: no separator") << any << QByteArray("just text\r\n") << QList<QByteArray>{"just text"};
        QTest::newRow("any: long line cut") << any << QByteArray(10000, '7') + "\r\nnext\r\n"
                                            << QList<QByteArray>{QByteArray(4096, '7'), "next"};
        QTest::newRow("any: CR LF across two reads") << any << chunk + "\r\nnext\r\n"
                                                     << QList<QByteArray>{chunk.left(4096), "next"};
    }
    void lineEndings()
    {
        QFETCH(Endings, endings);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), endings == Endings::LineFeed ? kWhole : kFirstFive);
        QVERIFY(putBytes(file.path(), bytes));
        const auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::Read);
        QCOMPARE(result.lines, lines);
        // Written back, every line keeps its bytes and gets CR LF.
        QVERIFY(file.Write(result.lines));
        QCOMPARE(bytesOf(file.path()), fileText(lines));
        QCOMPARE(file.Read().lines, lines);
    }

    // ---- writes that fail ------------------------------------------------

    // The disk fills while the new file is written (a file-size limit does
    // this for real, root included): the old file stays whole, no leftovers.
    void failedWriteLeavesTheOldFileWhole()
    {
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), kWhole);
        const QList<QByteArray> old{"Old1--1", "Old2--2", "Old3--3"};
        const QList<QByteArray> longer(50, "New--5550000");
        QVERIFY(file.Write(old));
        QString problem;
        bool written = true;
        {
            const FileSizeLimit limit(16);
            written = file.Write(longer, &problem);
        }
        QVERIFY(!written);
        QVERIFY2(problem.contains("data.txt could not be written: "), qPrintable(problem));
        QCOMPARE(bytesOf(file.path()), fileText(old));
        QCOMPARE(entriesOf(dir.path()), QStringList{"data.txt"});
        // With room again the same write goes through.
        QVERIFY(file.Write(longer));
        QCOMPARE(bytesOf(file.path()), fileText(longer));
    }

    void readOnlyFolderKeepsTheOldFile()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const QString path = fileIn(dir->path());
        const QByteArray old = "Old--1\r\n";
        QVERIFY(putBytes(path, old));
        QVERIFY(makeReadOnly(dir->path()));
        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "write", dir->path()});
        QVERIFY(makeWritable(dir->path()));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the writer still ran as root");
        QVERIFY2(run.out.contains("\nwritten=0\n"), run.out.constData());
        QVERIFY(run.out.contains("problem=") && run.out.contains("data.txt could not be written"));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(entriesOf(dir->path()), QStringList{"data.txt"});
    }

    // A writer killed at random moments while it rewrites a large file: the
    // file is always exactly the old or the new one, never a mix or a stump.
    void killedWriterLeavesOldOrNewFile()
    {
        QTemporaryDir dir;
        const DataFile file(fileIn(dir.path()), kWhole);
        const QByteArray oldText = fileText(oldLines());
        const QByteArray newText = fileText(newLines());
        QVERIFY(putBytes(file.path(), oldText));

        int interrupted = 0; // kills that landed inside a write
        for (int round = 0; round < 20; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(), {"--write-forever", dir.path()});
            QVERIFY(writer.waitForStarted());
            QVERIFY2(writer.waitForReadyRead(30000), "the writer did not start writing");
            QThread::msleep(QRandomGenerator::global()->bounded(5, 120));
            QVERIFY(writer.state() == QProcess::Running); // still writing when killed
            QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
            QVERIFY(writer.waitForFinished(30000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            if (writer.readAllStandardOutput().trimmed().endsWith("begin"))
                ++interrupted;

            const QByteArray now = bytesOf(file.path());
            QVERIFY2(now == oldText || now == newText,
                     qPrintable(QStringLiteral("round %1: %2 bytes, neither file").arg(round).arg(now.size())));
            // Where the system has no unnamed temporary files a named one
            // may be left behind; it is not the file.
            for (const QString &name : entriesOf(dir.path())) {
                if (name != QLatin1String("data.txt"))
                    QVERIFY(QFile::remove(dir.filePath(name)));
            }
        }
        qInfo("%d of 20 kills landed inside a write", interrupted);
        // Otherwise the rounds above proved nothing about interrupted writes.
        QVERIFY2(interrupted > 0, "no kill landed in the middle of a write");
        QCOMPARE(file.Read().status, ReadStatus::Read);
    }
};

int main(int argc, char *argv[])
{
    // Child roles of this binary, used by the tests above.
    if (argc == 3 && qstrcmp(argv[1], "--write-forever") == 0)
        return writeForever(QString::fromLocal8Bit(argv[2]));
    if (argc == 4 && qstrcmp(argv[1], "--ordinary-user") == 0)
        return ordinaryUser(QString::fromLatin1(argv[2]), QString::fromLocal8Bit(argv[3]));
    QCoreApplication app(argc, argv);
    TestDataFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datafile.moc"
