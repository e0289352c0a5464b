#include "phonebook/PhoneBookFile.h"
#include "tests/phonebook/PhoneBookTestSupport.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "phonebook/frmPhoneBook.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace pbtest;

namespace {
const QString kDigitsOnly = QStringLiteral("Numbers 0 to 9 only, please!");

// Child, as an ordinary user: open the book, try one ADD, report rows and
// messages.
int openAndAdd(const QString &folder, int argc, char *argv[])
{
    QApplication app(argc, argv);
    platform::RecordingMessageBox messages;
    QByteArray out = euidLine();
    {
        frmPhoneBook book(folder, messages);
        out += "rows=" + QByteArray::number(book.lstPhoneBook->count()) + "\n";
        book.txtName->setText(QStringLiteral("Child"));
        book.txtPhoneNo->setText(QStringLiteral("42"));
        book.cmdAdd_Click();
        out += "rows=" + QByteArray::number(book.lstPhoneBook->count()) + "\n";
        out += "name=" + book.txtName->text().toUtf8() + "\n";
    }
    for (const auto &shown : messages.shown)
        out += "message=" + shown.text.simplified().toUtf8() + "\n";
    std::fputs(out.constData(), stdout);
    return 0;
}
} // namespace

class TestFrmPhoneBook : public QObject {
    Q_OBJECT

    platform::RecordingMessageBox messages;

    std::unique_ptr<frmPhoneBook> open(const QString &folder, QWidget *owner = nullptr)
    {
        auto w = std::make_unique<frmPhoneBook>(folder, messages, owner);
        w->show();
        w->activateWindow();
        [[maybe_unused]] bool active = QTest::qWaitForWindowActive(w.get());
        return w;
    }
    static QString bookPath(const QTemporaryDir &dir) { return dir.filePath("PhoneBook.txt"); }
    static QStringList rows(const frmPhoneBook &w)
    {
        QStringList out;
        for (int row = 0; row < w.lstPhoneBook->count(); ++row)
            out << w.lstPhoneBook->item(row)->text();
        return out;
    }
    static void clickRow(frmPhoneBook &w, int row)
    {
        QListWidgetItem *item = w.lstPhoneBook->item(row);
        w.lstPhoneBook->scrollToItem(item);
        QTest::mouseClick(w.lstPhoneBook->viewport(), Qt::LeftButton, {}, w.lstPhoneBook->visualItemRect(item).center());
    }
    static void retype(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }
    static bool inInitialState(const frmPhoneBook &w)
    {
        return w.txtName->text().isEmpty() && w.txtPhoneNo->text().isEmpty() && w.cmdAdd->isEnabled() &&
               !w.cmdEdit->isEnabled() && !w.cmdDelete->isEnabled() && !w.cmdCall->isEnabled() &&
               w.lstPhoneBook->currentRow() == 0 && w.lstPhoneBook->item(0)->isSelected();
    }

private slots:
    void init() { messages = platform::RecordingMessageBox{}; }

    void opensCentredWithEveryControlInPlace()
    {
        QTemporaryDir dir;
        QWidget owner;
        owner.setGeometry(120, 90, 600, 420);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        auto w = open(dir.path(), &owner);
        QCOMPARE(w->windowTitle(), QString("Phone Book"));
        QCOMPARE(w->size(), QSize(280, 296));
        QVERIFY(w->isModal());
        QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!w->mask().isEmpty()); // shaped by the skin's outline
        QVERIFY(qAbs(w->frameGeometry().center().x() - owner.frameGeometry().center().x()) <= 1);
        QVERIFY(qAbs(w->frameGeometry().center().y() - owner.frameGeometry().center().y()) <= 1);

        const QList<std::pair<QWidget *, QRect>> places = {
            {w->Picture1, {0, 0, 280, 296}},      {w->Picture2, {254, 12, 12, 12}},
            {w->lstPhoneBook, {30, 36, 217, 72}}, {w->Label1, {70, 116, 65, 17}},
            {w->txtName, {70, 132, 129, 19}},     {w->Label2, {70, 156, 65, 25}},
            {w->txtPhoneNo, {70, 172, 129, 19}},  {w->cmdAdd, {70, 204, 65, 25}},
            {w->cmdCall, {142, 204, 57, 25}},     {w->cmdDelete, {70, 236, 65, 25}},
            {w->cmdEdit, {142, 236, 57, 25}},
        };
        for (const auto &[control, place] : places)
            QVERIFY2(control->geometry() == place, qPrintable(control->objectName()));
        QCOMPARE(w->Picture1->pixmap().size(), QSize(280, 296));
        QCOMPARE(w->Picture2->pixmap().size(), QSize(12, 12));
        QCOMPARE(QStringList({w->Label1->text(), w->Label2->text(), w->cmdAdd->text(), w->cmdCall->text(),
                              w->cmdDelete->text(), w->cmdEdit->text()}),
                 QStringList({"Name", "Phone No.", "ADD", "CALL", "DELETE", "EDIT"}));
        QCOMPARE(w->txtName->maxLength(), 30);
        QCOMPARE(w->txtPhoneNo->maxLength(), 25);
        QVERIFY(QFontInfo(w->lstPhoneBook->font()).fixedPitch()); // a fixed font was really found

        // Tab order: name, number, ADD, DELETE, CALL, EDIT, list.
        QList<QWidget *> chain;
        QWidget *next = w->txtName;
        do {
            if (next->focusPolicy() & Qt::TabFocus)
                chain << next;
            next = next->nextInFocusChain();
        } while (next != w->txtName && chain.size() < 20);
        QCOMPARE(chain, (QList<QWidget *>{w->txtName, w->txtPhoneNo, w->cmdAdd, w->cmdDelete, w->cmdCall, w->cmdEdit,
                                           w->lstPhoneBook}));

        QCOMPARE(rows(*w), QStringList{"NEW ITEM"});
        QVERIFY(inInitialState(*w));
        QVERIFY(messages.shown.isEmpty());
    }

    // ---- the number box takes digits only ------------------------------

    void numberBoxRefusesEveryOtherCharacter_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << 0;
        QTest::newRow("plus") << int(Qt::Key_Plus) << "+" << 0;
        QTest::newRow("star") << int(Qt::Key_Asterisk) << "*" << 0;
        QTest::newRow("hash") << int(Qt::Key_NumberSign) << "#" << 0;
        QTest::newRow("blank") << int(Qt::Key_Space) << " " << 0;
        QTest::newRow("Return") << int(Qt::Key_Return) << "\r" << 0;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << "\r" << int(Qt::KeypadModifier);
        QTest::newRow("Ctrl+V as X11 sends it") << int(Qt::Key_V) << "\x16" << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+V as QTest sends it") << int(Qt::Key_V) << "v" << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << "\x18" << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << "\x03" << int(Qt::ControlModifier);
        QTest::newRow("accented letter") << int(Qt::Key_Eacute) << QString::fromUtf8("é") << 0;
        QTest::newRow("other digits") << int(Qt::Key_unknown) << QString::fromUtf8("٣") << 0;
    }
    void numberBoxRefusesEveryOtherCharacter()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QTemporaryDir dir;
        auto w = open(dir.path());
        w->txtPhoneNo->setFocus();
        QTest::keyClicks(w->txtPhoneNo, "12");
        w->txtPhoneNo->setCursorPosition(1);
        QVERIFY(messages.shown.isEmpty());

        QTest::sendKeyEvent(QTest::Click, w->txtPhoneNo, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(messages.texts(), QStringList{kDigitsOnly});
        QCOMPARE(messages.shown.last().title, QString("Input Error"));
        QCOMPARE(messages.shown.last().icon, platform::MsgIcon::Exclamation);
        QCOMPARE(messages.shown.last().buttons, platform::MsgButtons::OKOnly);
        QCOMPARE(w->txtPhoneNo->text(), QString("12"));
        QVERIFY(w->isVisible()); // Enter pressed nothing and closed nothing
        QCOMPARE(rows(*w), QStringList{"NEW ITEM"});
    }

    void numberBoxEditsAsUsual()
    {
        QTemporaryDir dir;
        auto w = open(dir.path());
        w->txtPhoneNo->setFocus();
        QTest::keyClicks(w->txtPhoneNo, "0123456789");
        QCOMPARE(w->txtPhoneNo->text(), QString("0123456789"));
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Backspace);
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Home);
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Delete);
        QTest::keyClick(w->txtPhoneNo, Qt::Key_End);
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Left);
        QTest::keyClick(w->txtPhoneNo, Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(w->txtPhoneNo->text(), QString("123456758"));
        QTest::keyClicks(w->txtPhoneNo, QString(30, '9'));
        QCOMPARE(w->txtPhoneNo->text().size(), 25);
        // Tab leaves the box, no message.
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Tab);
        QVERIFY(w->cmdAdd->hasFocus());
        QVERIFY(messages.shown.isEmpty());
        // The name box takes anything.
        QTest::keyClicks(w->txtName, "Ann + Bob #1");
        QCOMPARE(w->txtName->text(), QString("Ann + Bob #1"));
        QVERIFY(messages.shown.isEmpty());
    }

    void pasteCannotBringInOtherCharacters()
    {
        QTemporaryDir dir;
        auto w = open(dir.path());
        w->txtPhoneNo->setFocus();
        QTest::keyClicks(w->txtPhoneNo, "45");
        QGuiApplication::clipboard()->setText("12a3");
        w->txtPhoneNo->paste(); // as the box's context menu does
        QCOMPARE(w->txtPhoneNo->text(), QString("45"));
        QTest::keyClick(w->txtPhoneNo, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(w->txtPhoneNo->text(), QString("45"));
        QGuiApplication::clipboard()->setText("+44");
        w->txtPhoneNo->paste();
        QCOMPARE(w->txtPhoneNo->text(), QString("45"));
        // Digits paste in.
        QGuiApplication::clipboard()->setText("789");
        w->txtPhoneNo->paste();
        QCOMPARE(w->txtPhoneNo->text(), QString("45789"));
    }

    // ---- ADD, EDIT, DELETE through the buttons --------------------------

    void checksComeInOrderAndMoveTheFocus()
    {
        QTemporaryDir dir;
        auto w = open(dir.path());
        w->txtPhoneNo->setFocus();
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{"Enter Name."});
        QCOMPARE(messages.shown.last().title, platform::defaultMessageTitle());
        QCOMPARE(messages.shown.last().buttons, platform::MsgButtons::OKOnly);
        QTRY_VERIFY(w->txtName->hasFocus());

        QTest::keyClicks(w->txtName, "Ann");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.texts().last(), QString("Enter Phone Number."));
        QTRY_VERIFY(w->txtPhoneNo->hasFocus());
        QCOMPARE(rows(*w), QStringList{"NEW ITEM"});
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray());
        QCOMPARE(w->txtName->text(), QString("Ann")); // what was typed stays

        // A name of blanks is not empty: it passes and is stored trimmed.
        retype(w->txtName, "   ");
        QTest::keyClicks(w->txtPhoneNo, "5");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "--5"}));

        // EDIT runs the same checks on the selected entry.
        clickRow(*w, 1);
        w->txtName->clear();
        w->txtPhoneNo->clear();
        QTest::mouseClick(w->cmdEdit, Qt::LeftButton);
        QCOMPARE(messages.texts().last(), QString("Enter Name."));
        QTRY_VERIFY(w->txtName->hasFocus());
        QTest::keyClicks(w->txtName, "Bo");
        QTest::mouseClick(w->cmdEdit, Qt::LeftButton);
        QCOMPARE(messages.texts().last(), QString("Enter Phone Number."));
        QTRY_VERIFY(w->txtPhoneNo->hasFocus());
        QCOMPARE(messages.shown.size(), 4);
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "--5"}));
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("--5\r\n"));
    }

    void addEditDeleteKeepListAndFileInStep()
    {
        QTemporaryDir dir;
        auto w = open(dir.path());
        QTest::keyClicks(w->txtName, " Office ");
        QTest::keyClicks(w->txtPhoneNo, "123");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QTest::keyClicks(w->txtName, "Home");
        QTest::keyClicks(w->txtPhoneNo, "456");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "Office--123", "Home--456"}));
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Office--123\r\nHome--456\r\n"));
        QVERIFY(inInitialState(*w));

        clickRow(*w, 1);
        QCOMPARE(w->txtName->text(), QString("Office"));
        QCOMPARE(w->txtPhoneNo->text(), QString("123"));
        QVERIFY(!w->cmdAdd->isEnabled());
        QVERIFY(w->cmdEdit->isEnabled() && w->cmdDelete->isEnabled() && w->cmdCall->isEnabled());
        retype(w->txtPhoneNo, "1234");
        QTest::mouseClick(w->cmdEdit, Qt::LeftButton);
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "Office--1234", "Home--456"}));
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Office--1234\r\nHome--456\r\n"));
        QVERIFY(inInitialState(*w));

        clickRow(*w, 1);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton); // no confirmation
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "Home--456"}));
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Home--456\r\n"));
        QVERIFY(inInitialState(*w));
        QVERIFY(messages.shown.isEmpty());
    }

    void newItemCannotBeDeleted()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(bookPath(dir), "A--1\r\n"));
        auto w = open(dir.path());
        w->txtName->setText("typed");
        w->cmdDelete_Click(); // the button is off; the operation still refuses
        QCOMPARE(messages.texts(), QStringList{"Can't Delete."});
        QCOMPARE(messages.shown.last().buttons, platform::MsgButtons::OKOnly);
        QCOMPARE(rows(*w), (QStringList{"NEW ITEM", "A--1"}));
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("A--1\r\n"));
        QCOMPARE(w->txtName->text(), QString("typed"));
    }

    void selectingRowsFillsTheBoxes()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(bookPath(dir), "a--b--123\r\nno separator\r\n\r\nx--\r\n"));
        auto w = open(dir.path());
        const QList<std::pair<QString, QString>> shown = {{"a", "b"}, {"no separator", ""}, {"", ""}, {"x", ""}};
        for (int row = 1; row <= 4; ++row) {
            clickRow(*w, row);
            QCOMPARE(w->txtName->text(), shown[row - 1].first);
            QCOMPARE(w->txtPhoneNo->text(), shown[row - 1].second);
            QVERIFY(w->cmdEdit->isEnabled() && !w->cmdAdd->isEnabled());
        }
        // Arrow keys select as clicks do; back on NEW ITEM the boxes empty.
        QTest::keyClick(w->lstPhoneBook, Qt::Key_Up);
        QCOMPARE(w->txtName->text(), QString());
        QCOMPARE(w->lstPhoneBook->currentRow(), 3);
        w->txtName->setText("changed");
        clickRow(*w, 3); // the same row again brings its saved text back
        QCOMPARE(w->txtName->text(), QString());
        clickRow(*w, 0);
        QVERIFY(inInitialState(*w));
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("a--b--123\r\nno separator\r\n\r\nx--\r\n"));
    }

    // ---- leaving the window --------------------------------------------

    void callHandsOverTheNumberAsShownAndCloses()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(bookPath(dir), "Ann--123\r\n"));
        auto w = open(dir.path());
        QSignalSpy calls(w.get(), &frmPhoneBook::CallNumber);
        clickRow(*w, 1);
        w->txtPhoneNo->setFocus();
        w->txtPhoneNo->end(false);
        QTest::keyClicks(w->txtPhoneNo, "4"); // not saved
        QTest::mouseClick(w->cmdCall, Qt::LeftButton);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().first().toString(), QString("1234"));
        QVERIFY(!w->isVisible());
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Ann--123\r\n"));
    }

    void cornerPictureCloses()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(bookPath(dir), "Ann--123\r\n"));
        auto w = open(dir.path());
        QSignalSpy calls(w.get(), &frmPhoneBook::CallNumber);
        clickRow(*w, 1);
        w->txtName->setText("unsaved");
        // Pressed, then released off the picture: no click.
        QTest::mousePress(w->Picture2, Qt::LeftButton, {}, {6, 6});
        QTest::mouseRelease(w->Picture2, Qt::LeftButton, {}, {30, 6});
        QVERIFY(w->isVisible());
        QTest::mouseClick(w->Picture2, Qt::LeftButton, {}, {6, 6});
        QVERIFY(!w->isVisible());
        QCOMPARE(calls.size(), 0);
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Ann--123\r\n"));
        // Escape, in the number box or anywhere, is the same way out.
        auto again = open(dir.path());
        clickRow(*again, 1);
        again->txtPhoneNo->setText("999");
        QTest::keyClick(again->txtPhoneNo, Qt::Key_Escape);
        QVERIFY(!again->isVisible());
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(bytesOf(bookPath(dir)), QByteArray("Ann--123\r\n"));
    }

    // ---- a file that cannot be used ------------------------------------

    void unusableFileOpensEmptyAndRefusesChanges_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("folder in its place") << "folder" << "could not be read";
        QTest::newRow("pipe in its place") << "fifo" << "could not be read";
        QTest::newRow("no folder to create it in") << "nofolder" << "could not be created";
    }
    void unusableFileOpensEmptyAndRefusesChanges()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (kind == "folder") {
            QVERIFY(QDir(folder).mkdir("PhoneBook.txt"));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(bookPath(dir)).constData(), 0600), 0);
        } else {
            QVERIFY(putBytes(dir.filePath("plainfile"), "x"));
            folder = dir.filePath("plainfile");
        }
        const QStringList before = entriesOf(dir.path());
        auto w = open(folder);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown[0].text.contains(says), qPrintable(messages.shown[0].text));
        QVERIFY(messages.shown[0].text.contains("PhoneBook.txt"));
        QCOMPARE(rows(*w), QStringList{"NEW ITEM"});
        QVERIFY(inInitialState(*w));
        QVERIFY(!w->CanChange());

        QTest::keyClicks(w->txtName, "Ann");
        QTest::keyClicks(w->txtPhoneNo, "1");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(messages.shown[1].text.contains("cannot be changed"));
        w->cmdEdit_Click();
        QCOMPARE(messages.shown.size(), 3);
        QVERIFY(messages.shown[2].text.contains("cannot be changed"));
        QVERIFY(!w->WriteFile());
        QCOMPARE(messages.shown.size(), 4);
        QCOMPARE(rows(*w), QStringList{"NEW ITEM"});
        QCOMPARE(entriesOf(dir.path()), before);
        if (kind == "folder")
            QVERIFY(QFileInfo(bookPath(dir)).isDir());
        if (kind == "fifo")
            QVERIFY(!QFileInfo(bookPath(dir)).isFile() && QFileInfo::exists(bookPath(dir)));
    }

    // Permission bits stop user nobody (root reads everything), so the
    // window runs in a child that drops to nobody.
    void unreadableFileOpensEmptyAndStaysUntouched()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const QString path = QDir(dir->path()).filePath("PhoneBook.txt");
        QVERIFY(putBytes(path, "Secret--1\r\n"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::WriteOther));
        const ChildRun run = runSelfAsOrdinaryUser({"--open-and-add", dir->path()});
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the window still ran as root");
        QVERIFY2(run.out.contains("\nrows=1\nrows=1\n"), run.out.constData());
        QVERIFY(run.out.contains("message=The phone book could not be read."));
        QVERIFY(run.out.contains("Permission denied"));
        QVERIFY(run.out.contains("message=The phone book cannot be changed: its file could not be read"));
        QCOMPARE(bytesOf(path), QByteArray("Secret--1\r\n"));
        QCOMPARE(entriesOf(dir->path()), QStringList{"PhoneBook.txt"});
    }

    void readOnlyFolderRefusesTheAddAndKeepsTheList()
    {
        auto dir = sharedTempDir();
        QVERIFY(dir->isValid());
        const QString path = QDir(dir->path()).filePath("PhoneBook.txt");
        QVERIFY(putBytes(path, "Old--1\r\n"));
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
        const ChildRun run = runSelfAsOrdinaryUser({"--open-and-add", dir->path()});
        QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QVERIFY2(run.finished && run.exitCode == 0, run.out.constData());
        QVERIFY2(!run.out.startsWith("euid=0\n"), "the window still ran as root");
        QVERIFY2(run.out.contains("\nrows=2\nrows=2\nname=Child\n"), run.out.constData()); // typed text kept to retry
        QVERIFY(run.out.contains("message=The phone book could not be saved, so the change was not made."));
        QCOMPARE(bytesOf(path), QByteArray("Old--1\r\n"));
        QCOMPARE(entriesOf(dir->path()), QStringList{"PhoneBook.txt"});
    }

    // The disk fills during a save (a file-size limit does this for real,
    // root included): the old file stays whole and so does the list.
    void failedSaveKeepsFileAndList()
    {
        QTemporaryDir dir;
        const QByteArray old = "A--1\r\nB--2\r\nC--3\r\n";
        QVERIFY(putBytes(bookPath(dir), old));
        auto w = open(dir.path());
        const QStringList listed = rows(*w);

        clickRow(*w, 2);
        retype(w->txtName, "Bea");
        {
            const FileSizeLimit limit(8);
            QTest::mouseClick(w->cmdEdit, Qt::LeftButton);
        }
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].text.contains("could not be saved"));
        QCOMPARE(messages.shown[0].icon, platform::MsgIcon::Critical);
        QCOMPARE(rows(*w), listed);
        QCOMPARE(w->txtName->text(), QString("Bea"));
        QCOMPARE(bytesOf(bookPath(dir)), old);

        clickRow(*w, 3);
        {
            const FileSizeLimit limit(8);
            QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        }
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(rows(*w), listed);

        clickRow(*w, 0);
        QTest::keyClicks(w->txtName, "D");
        QTest::keyClicks(w->txtPhoneNo, "4");
        {
            const FileSizeLimit limit(8);
            QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        }
        QCOMPARE(messages.shown.size(), 3);
        QCOMPARE(rows(*w), listed);
        QCOMPARE(bytesOf(bookPath(dir)), old);
        QCOMPARE(entriesOf(dir.path()), QStringList{"PhoneBook.txt"});

        // With room again the same ADD goes through.
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 3);
        QCOMPARE(bytesOf(bookPath(dir)), old + "D--4\r\n");
    }

    // ---- big books -------------------------------------------------------

    void fullBookRefusesAnotherEntry()
    {
        QTemporaryDir dir;
        const QByteArray full = fileText(makeBook(32766, "Entry"));
        QVERIFY(putBytes(bookPath(dir), full));
        auto w = open(dir.path());
        QCOMPARE(w->lstPhoneBook->count(), 32767);
        QCOMPARE(w->lstPhoneBook->item(32766)->text(), QString("Entry32766--5582766"));
        QTest::keyClicks(w->txtName, "One more");
        QTest::keyClicks(w->txtPhoneNo, "1");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown[0].text.contains("full"), qPrintable(messages.shown[0].text));
        QCOMPARE(w->lstPhoneBook->count(), 32767);
        QCOMPARE(bytesOf(bookPath(dir)), full);

        // One out, one in.
        clickRow(*w, 1);
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QTest::keyClicks(w->txtName, "One more");
        QTest::keyClicks(w->txtPhoneNo, "1");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(w->lstPhoneBook->count(), 32767);
        QCOMPARE(bytesOf(bookPath(dir)), full.mid(full.indexOf('\n') + 1) + "One more--1\r\n");
    }

    // Longer than this program would make it: shown whole, and a change to
    // one entry keeps all the others.
    void longerForeignBookIsKeptWhole()
    {
        QTemporaryDir dir;
        QList<QByteArray> lines = makeBook(40000, "Foreign");
        QVERIFY(putBytes(bookPath(dir), fileText(lines)));
        auto w = open(dir.path());
        QCOMPARE(w->lstPhoneBook->count(), 40001);
        clickRow(*w, 5);
        retype(w->txtPhoneNo, "5");
        QTest::mouseClick(w->cmdEdit, Qt::LeftButton);
        QVERIFY(messages.shown.isEmpty());
        lines[4] = "Foreign00005--5";
        QCOMPARE(bytesOf(bookPath(dir)), fileText(lines));
        QTest::keyClicks(w->txtName, "More");
        QTest::keyClicks(w->txtPhoneNo, "1");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 1); // already past the limit
        QCOMPARE(bytesOf(bookPath(dir)), fileText(lines));
    }

    // A big book loads in steps with the phone's timers served in between;
    // nothing can change the book before the last row is in.
    void timersRunWhileABigBookLoads()
    {
        QTemporaryDir dir;
        const QByteArray full = fileText(makeBook(32766, "Entry"));
        QVERIFY(putBytes(bookPath(dir), full));
        QWidget owner;
        QList<int> rowsAtTick;
        bool wroteMeanwhile = false;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, &owner, [&] {
            auto *book = owner.findChild<frmPhoneBook *>();
            if (!book)
                return;
            rowsAtTick << book->lstPhoneBook->count();
            book->txtName->setText("X");
            book->txtPhoneNo->setText("1");
            book->cmdAdd_Click();
            wroteMeanwhile = wroteMeanwhile || book->WriteFile();
        });
        tick.start();
        frmPhoneBook w(dir.path(), messages, &owner);
        tick.stop();
        QVERIFY2(!rowsAtTick.isEmpty(), "the timer never ran while the book loaded");
        QVERIFY(rowsAtTick.first() < 32767);
        QVERIFY(!wroteMeanwhile);
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(w.lstPhoneBook->count(), 32767);
        QVERIFY(inInitialState(w));
        QCOMPARE(bytesOf(bookPath(dir)), full);
    }
};

int main(int argc, char *argv[])
{
    // Child role of this binary, used by the permission tests above.
    if (argc == 3 && qstrcmp(argv[1], "--open-and-add") == 0)
        return openAndAdd(QString::fromLocal8Bit(argv[2]), 1, argv);
    QApplication app(argc, argv);
    TestFrmPhoneBook test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmphonebook.moc"
