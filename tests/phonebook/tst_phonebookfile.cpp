#include "phonebook/PhoneBookFile.h"
#include "tests/phonebook/PhoneBookTestSupport.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "phonebook/frmPhoneBook.h"

#include <QApplication>
#include <QtTest>

using namespace pbtest;
using ReadStatus = PhoneBookFile::ReadStatus;

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

    // Refused whole, in the phone book's own words, and left as it is.
    void hugeFileIsNotLoaded()
    {
        QTemporaryDir dir;
        const PhoneBookFile file(dir.path());
        QCOMPARE(file.path(), dir.filePath("PhoneBook.txt"));
        const QString where = QDir::toNativeSeparators(file.path());
        {
            QFile big(file.path());
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(PhoneBookFile::kMaxFileBytes + 1)); // sparse: costs no disk
        }
        auto result = file.Read();
        QCOMPARE(result.status, ReadStatus::TooLarge);
        QVERIFY(result.lines.isEmpty());
        QCOMPARE(result.problem, where + " is too large to be a phone book (67108865 bytes).");
        QCOMPARE(QFileInfo(file.path()).size(), PhoneBookFile::kMaxFileBytes + 1);

        const QByteArray emptyLines(PhoneBookFile::kMaxLines + 1, '\n');
        QVERIFY(putBytes(file.path(), emptyLines));
        result = file.Read();
        QCOMPARE(result.status, ReadStatus::TooLarge);
        QCOMPARE(result.problem, where + " has too many lines to be a phone book (1000001).");
        QCOMPARE(bytesOf(file.path()), emptyLines);
    }

    // ---- lines and bytes -----------------------------------------------

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
                                   "nul\0--4\r\n"
                                   "lone\rCR--5\r\n"; // text, not a line break
        const QByteArray old(kOld, sizeof kOld - 1);
        QVERIFY(putBytes(dir.filePath("PhoneBook.txt"), old + "last without ending"));
        auto book = openBook(dir.path());
        QCOMPARE(rows(*book), (QStringList{"NEW ITEM", QString::fromUtf8("René--1"), "no separator", "", "a--b--123",
                                           QString::fromUtf8("Zoë--2"), "tab\there--3", QString::fromLatin1("nul\0--4", 7),
                                           "lone\rCR--5", "last without ending"}));

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

};

QTEST_MAIN(TestPhoneBookFile)
#include "tst_phonebookfile.moc"
