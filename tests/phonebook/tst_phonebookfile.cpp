#include "phonebook/PhoneBookFile.h"
#include "tests/phonebook/PhoneBookTestSupport.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "phonebook/frmPhoneBook.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace pbtest;
using ReadStatus = PhoneBookFile::ReadStatus;

namespace {
// Two large books with different entries: after a killed write the file must
// be exactly one of them.
QList<QByteArray> oldBook() { return makeBook(32766, "Old entry with a longer name "); }
QList<QByteArray> newBook() { return makeBook(32766, "New "); }

// Child: rewrite the book over and over, alternating the two, until killed.
// "begin" and "end" around each write tell the parent where the kill landed.
int writeForever(const QString &folder)
{
    const PhoneBookFile file(folder);
    const QList<QByteArray> books[2] = {newBook(), oldBook()};
    for (int round = 0;; ++round) {
        std::fputs("begin\n", stdout);
        std::fflush(stdout);
        if (!file.Write(books[round % 2]))
            return 3;
        std::fputs("end\n", stdout);
        std::fflush(stdout);
    }
}

// Child, as an ordinary user: read or write the book in `folder` and say how
// it went.
int ordinaryUser(const QString &what, const QString &folder)
{
    const PhoneBookFile file(folder);
    QByteArray out = euidLine();
    if (what == QLatin1String("read")) {
        const PhoneBookFile::ReadResult result = file.Read();
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

} // namespace

class TestPhoneBookFile : public QObject {
    Q_OBJECT

    platform::RecordingMessageBox messages;

    std::unique_ptr<frmPhoneBook> openBook(const QString &folder)
    {
        return std::make_unique<frmPhoneBook>(folder, messages);
    }
    static void enter(frmPhoneBook &book, const QString &name, const QString &number)
    {
        book.txtName->setText(name);
        book.txtPhoneNo->setText(number);
    }
    static QStringList rows(const frmPhoneBook &book)
    {
        QStringList out;
        for (int row = 0; row < book.lstPhoneBook->count(); ++row)
            out << book.lstPhoneBook->item(row)->text();
        return out;
    }

private slots:
    void init() { messages = platform::RecordingMessageBox{}; }

    // ---- reading -------------------------------------------------------

    void missingFileIsCreatedEmpty()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        QCOMPARE(file.path(), dir.filePath("PhoneBook.txt"));
        const auto first = file.Read();
        QCOMPARE(first.status, ReadStatus::Created);
        QVERIFY(first.lines.isEmpty());
        QVERIFY(QFileInfo(file.path()).isFile());
        QCOMPARE(QFileInfo(file.path()).size(), 0);
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
        const auto result = PhoneBookFile(dir.filePath(folderName)).Read();
        QCOMPARE(result.status, ReadStatus::NotCreated);
        QVERIFY(!result.usable());
        QVERIFY(result.problem.contains("PhoneBook.txt"));
        QCOMPARE(bytesOf(dir.filePath("plainfile")), QByteArray("not a folder"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"plainfile"});
    }

    // Something that is not a plain file stands where the book should be: it
    // is reported, never opened for good (a pipe with no writer) or replaced.
    void notAPlainFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        QVERIFY(QDir(dir.path()).mkdir("PhoneBook.txt"));
        QVERIFY(putBytes(file.path() + "/inside", "keep"));
        auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::NotAFile);
        QVERIFY(result.problem.contains("not a plain file"));
        QCOMPARE(bytesOf(file.path() + "/inside"), QByteArray("keep"));

        QVERIFY(QDir(file.path()).removeRecursively());
        QCOMPARE(::mkfifo(QFile::encodeName(file.path()).constData(), 0600), 0);
        result = file.Read();
        QCOMPARE(result.status, ReadStatus::NotAFile);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file.path()).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
        QCOMPARE(entriesOf(dir.path()), QStringList{"PhoneBook.txt"});
    }

    void hugeFileIsNotLoaded()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        {
            QFile big(file.path());
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(PhoneBookFile::kMaxFileBytes + 1)); // sparse: costs no disk
        }
        const auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::TooLarge);
        QVERIFY(result.lines.isEmpty());
        QCOMPARE(QFileInfo(file.path()).size(), PhoneBookFile::kMaxFileBytes + 1);
    }

    // Permission bits: run as user nobody, since root reads everything.
    void unreadableFileSurvivesUntouched()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const PhoneBookFile file(dir->path());
        const QByteArray old = "Secret--1\r\n";
        QVERIFY(putBytes(file.path(), old));
        QVERIFY(QFile::setPermissions(file.path(), QFileDevice::WriteOwner));

        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "read", dir->path()});
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the reader still ran as root");
        QVERIFY2(run.out.contains("\nstatus=" + QByteArray::number(int(ReadStatus::Unreadable)) + "\n"), run.out.constData());
        QVERIFY(run.out.contains("\nlines=0\n"));
        QVERIFY(run.out.contains("Permission denied"));
        QVERIFY(QFile::setPermissions(file.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(bytesOf(file.path()), old);
        QCOMPARE(entriesOf(dir->path()), QStringList{"PhoneBook.txt"});
    }

    void readOnlyFolderWithoutABookCannotCreateOne()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                       QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "read", dir->path()});
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the reader still ran as root");
        QVERIFY2(run.out.contains("\nstatus=" + QByteArray::number(int(ReadStatus::NotCreated)) + "\n"), run.out.constData());
        QVERIFY(run.out.contains("could not be created: Permission denied"));
        QCOMPARE(entriesOf(dir->path()), QStringList{});
    }

    // ---- lines and bytes -----------------------------------------------

    void linesEndAtLineFeed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        QTest::newRow("CR LF") << QByteArray("a--1\r\nb--2\r\n") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("LF only") << QByteArray("a--1\nb--2\n") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("last line without ending") << QByteArray("a--1\r\nb--2") << QList<QByteArray>{"a--1", "b--2"};
        QTest::newRow("empty lines kept in place") << QByteArray("a\r\n\r\n\nb\r\n") << QList<QByteArray>{"a", "", "", "b"};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QList<QByteArray>{""};
        QTest::newRow("lone CR is text") << QByteArray("a\rb\r\n") << QList<QByteArray>{"a\rb"};
        QTest::newRow("only the CR before LF goes") << QByteArray("a\r\r\n") << QList<QByteArray>{"a\r"};
        QTest::newRow("CR at the very end") << QByteArray("a\r") << QList<QByteArray>{"a\r"};
        QTest::newRow("NUL is text") << QByteArray("a\0b--1\r\n", 8) << QList<QByteArray>{QByteArray("a\0b--1", 6)};
    }
    void linesEndAtLineFeed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        QVERIFY(putBytes(file.path(), bytes));
        const auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::Read);
        QCOMPARE(result.lines, lines);
        // Written back, every line keeps its bytes and gets CR LF.
        QVERIFY(file.Write(result.lines));
        QCOMPARE(bytesOf(file.path()), fileText(lines));
        QCOMPARE(file.Read().lines, lines);
    }

    void entryLineIsBuiltFromTrimmedParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "Office" << "123" << "Office--123";
        QTest::newRow("blanks around both") << "  Ann Lee  " << " 0044 " << "Ann Lee--0044";
        QTest::newRow("inner blanks kept") << "A  B" << "1" << "A  B--1";
        QTest::newRow("only blanks") << "   " << "5" << "--5";
        QTest::newRow("separator in the name unchanged") << "a--b" << "123" << "a--b--123";
        QTest::newRow("line breaks cannot split an entry") << "Ann\r\nLee" << "1\n2" << "Ann  Lee--1 2";
    }
    void entryLineIsBuiltFromTrimmedParts()
    {
        QFETCH(QString, name);
        QFETCH(QString, number);
        QFETCH(QString, line);
        QCOMPARE(PhoneBookFile::EntryText(name, number), line);
    }

    void nameAndNumberAreTheFirstTwoPieces_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::newRow("entry") << "Office--123" << "Office" << "123";
        QTest::newRow("separator in the name") << "a--b--123" << "a" << "b";
        QTest::newRow("no separator") << "just text" << "just text" << "";
        QTest::newRow("empty line") << "" << "" << "";
        QTest::newRow("empty name") << "--5" << "" << "5";
        QTest::newRow("empty number") << "x--" << "x" << "";
        QTest::newRow("three dashes") << "a---1" << "a" << "-1";
    }
    void nameAndNumberAreTheFirstTwoPieces()
    {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, number);
        QCOMPARE(PhoneBookFile::NameOf(line), name);
        QCOMPARE(PhoneBookFile::NumberOf(line), number);
    }

    void storedLinesShowAsUtf8ElseLatin1_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("Office--1") << "Office--1";
        QTest::newRow("UTF-8") << QByteArray("Zo\xC3\xAB--1") << QString::fromUtf8("Zoë--1");
        QTest::newRow("UTF-8 beyond Latin-1") << QByteArray("\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0--2") << QString::fromUtf8("Анна--2");
        QTest::newRow("Latin-1") << QByteArray("Ren\xE9--3") << QString::fromUtf8("René--3");
        QTest::newRow("UTF-8 cut off at the end") << QByteArray("x\xC3") << QString::fromUtf8("xÃ");
        QTest::newRow("Latin-1 that looks half UTF-8") << QByteArray("\xC3\xA9\xE9") << QString::fromUtf8("Ã©é");
    }
    void storedLinesShowAsUtf8ElseLatin1()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, shown);
        QCOMPARE(PhoneBookFile::Decode(raw), shown);
        // Unchanged text goes back as the very same bytes; new text as UTF-8.
        QCOMPARE(PhoneBookFile::Encode(shown, &raw), raw);
        QCOMPARE(PhoneBookFile::Encode(shown + "9", &raw), (shown + "9").toUtf8());
    }

    // ---- the book through the window's operations -----------------------

    void addAppendsEveryEntryInListOrder()
    {
        QTemporaryDir dir;
        auto book = openBook(dir.path());
        QCOMPARE(bytesOf(dir.filePath("PhoneBook.txt")), QByteArray()); // created on opening
        enter(*book, "  Zed  ", " 999 ");
        book->cmdAdd_Click();
        enter(*book, "Ann", "123");
        book->cmdAdd_Click();
        enter(*book, "Ann", "123"); // duplicates are the user's business
        book->cmdAdd_Click();
        enter(*book, "a--b", "5");
        book->cmdAdd_Click();
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(rows(*book), (QStringList{"NEW ITEM", "Zed--999", "Ann--123", "Ann--123", "a--b--5"}));
        QCOMPARE(bytesOf(book->filePath()), QByteArray("Zed--999\r\nAnn--123\r\nAnn--123\r\na--b--5\r\n"));

        // A second window reads the same list back.
        auto again = openBook(dir.path());
        QCOMPARE(rows(*again), rows(*book));
    }

    void editKeepsThePlaceDeleteRemovesOneRow()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(dir.filePath("PhoneBook.txt"), "A--1\r\nB--2\r\nC--3\r\nB--2\r\n"));
        auto book = openBook(dir.path());
        book->lstPhoneBook->setCurrentRow(2);
        QCOMPARE(book->txtName->text(), QString("B"));
        enter(*book, "Bea", "22");
        book->cmdEdit_Click();
        QCOMPARE(bytesOf(book->filePath()), QByteArray("A--1\r\nBea--22\r\nC--3\r\nB--2\r\n"));
        QCOMPARE(rows(*book), (QStringList{"NEW ITEM", "A--1", "Bea--22", "C--3", "B--2"}));

        book->lstPhoneBook->setCurrentRow(4);
        book->cmdDelete_Click();
        QCOMPARE(bytesOf(book->filePath()), QByteArray("A--1\r\nBea--22\r\nC--3\r\n"));
        book->lstPhoneBook->setCurrentRow(1);
        book->cmdDelete_Click();
        QCOMPARE(bytesOf(book->filePath()), QByteArray("Bea--22\r\nC--3\r\n"));
        QCOMPARE(rows(*book), (QStringList{"NEW ITEM", "Bea--22", "C--3"}));
        QVERIFY(messages.shown.isEmpty());
    }

    // Lines written by other programs go back unchanged when the user changes
    // something else, and the one the user edits becomes UTF-8.
    void foreignLinesKeepTheirBytes()
    {
        QTemporaryDir dir;
        static const char kOld[] = "Ren\xE9--1\r\n" // Latin-1
                                   "no separator\r\n"
                                   "\r\n"
                                   "a--b--123\r\n"
                                   "Zo\xC3\xAB--2\r\n" // UTF-8
                                   "tab\there--3\r\n"
                                   "nul\0--4\r\n";
        const QByteArray old(kOld, sizeof kOld - 1);
        QVERIFY(putBytes(dir.filePath("PhoneBook.txt"), old + "last without ending"));
        auto book = openBook(dir.path());
        QCOMPARE(rows(*book), (QStringList{"NEW ITEM", QString::fromUtf8("René--1"), "no separator", "", "a--b--123",
                                           QString::fromUtf8("Zoë--2"), "tab\there--3", QString::fromLatin1("nul\0--4", 7),
                                           "last without ending"}));

        enter(*book, "New", "7");
        book->cmdAdd_Click();
        QCOMPARE(bytesOf(book->filePath()), old + "last without ending\r\nNew--7\r\n");

        // EDIT without changing anything: the Latin-1 bytes stay.
        book->lstPhoneBook->setCurrentRow(1);
        QCOMPARE(book->txtName->text(), QString::fromUtf8("René"));
        book->cmdEdit_Click();
        QCOMPARE(bytesOf(book->filePath()), old + "last without ending\r\nNew--7\r\n");
        // Changed: UTF-8 from now on.
        book->lstPhoneBook->setCurrentRow(1);
        book->txtName->setText(QString::fromUtf8("René Ö"));
        book->cmdEdit_Click();
        QVERIFY(bytesOf(book->filePath()).startsWith("Ren\xC3\xA9 \xC3\x96--1\r\nno separator\r\n"));
        QVERIFY(messages.shown.isEmpty());
    }

    // ---- writes that fail ------------------------------------------------

    void fileSizeLimitKeepsTheOldBook()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        const QList<QByteArray> old = makeBook(3, "Old");
        QVERIFY(file.Write(old));
        QString problem;
        bool written = true;
        {
            const FileSizeLimit limit(16);
            written = file.Write(makeBook(50, "New"), &problem);
        }
        QVERIFY(!written);
        QVERIFY2(problem.contains("PhoneBook.txt"), qPrintable(problem));
        QCOMPARE(bytesOf(file.path()), fileText(old));
        QCOMPARE(entriesOf(dir.path()), QStringList{"PhoneBook.txt"}); // no half-written leftovers
    }

    void readOnlyFolderKeepsTheOldBook()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const PhoneBookFile file(dir->path());
        const QByteArray old = "Old--1\r\n";
        QVERIFY(putBytes(file.path(), old));
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                       QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
        const ChildRun run = runSelfAsOrdinaryUser({"--ordinary-user", "write", dir->path()});
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the writer still ran as root");
        QVERIFY2(run.out.contains("\nwritten=0\n"), run.out.constData());
        QVERIFY(run.out.contains("problem=") && run.out.contains("PhoneBook.txt could not be written"));
        QCOMPARE(bytesOf(file.path()), old);
        QCOMPARE(entriesOf(dir->path()), QStringList{"PhoneBook.txt"});
    }

    // A writer killed at random moments while it rewrites a large book: the
    // file is always exactly the old or the new book, never a mix or a stump.
    void killedWriterLeavesOldOrNewBook()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        const QByteArray oldText = fileText(oldBook());
        const QByteArray newText = fileText(newBook());
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
                     qPrintable(QStringLiteral("round %1: %2 bytes, neither book").arg(round).arg(now.size())));
            // Where the system has no unnamed temporary files a named one
            // may be left behind; it is not the book.
            for (const QString &name : entriesOf(dir.path())) {
                if (name != QLatin1String("PhoneBook.txt"))
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
    QApplication app(argc, argv);
    TestPhoneBookFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_phonebookfile.moc"
