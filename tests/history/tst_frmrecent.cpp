#include "resources/Artwork.h"
#include "history/HistoryFile.h"
#include "tests/doubles/FixedScreenMetrics.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "tests/support/TestFiles.h"
#include "history/frmRecent.h"
#include "skin/modMoveForm.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {
using testfiles::bytesOf;
using testfiles::putBytes;
QStringList itemTexts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
// The user double-clicks a row of the list.
void doubleClickRow(QListWidget *list, int row)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

const QByteArray kTwoCalls = "0044207946000--Duration: 0:12:5\r\n--Duration: 0:0:0\r\n";
} // namespace

class TestFrmRecent : public QObject {
    Q_OBJECT

    platform::FixedScreenMetrics screen{15, 15};
    platform::RecordingMessageBox messages;
    std::unique_ptr<QTemporaryDir> dir;

    QString historyPath() const { return dir->filePath("recentcall.txt"); }
    std::unique_ptr<frmRecent> open()
    {
        auto w = std::make_unique<frmRecent>(dir->path(), messages);
        w->show();
        w->activateWindow();
        [[maybe_unused]] bool active = QTest::qWaitForWindowActive(w.get());
        return w;
    }

private slots:
    void initTestCase()
    {
        modMoveForm::SetScreenMetrics(&screen);
    }
    void init()
    {
        messages = platform::RecordingMessageBox{};
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void withNoFileTheFileIsCreatedAndTheListIsEmpty()
    {
        auto w = open();
        QVERIFY(QFileInfo(historyPath()).isFile());
        QCOMPARE(bytesOf(historyPath()), QByteArray());
        QCOMPARE(w->Recentlist->count(), 0);
        QVERIFY(messages.shown.isEmpty());

        QCOMPARE(w->windowTitle(), QString("Form1"));
        QVERIFY(w->isModal());
        QCOMPARE(w->size(), QSize(216, 228));
        QCOMPARE(w->Picture1->geometry(), QRect(0, 0, 216, 228));
        QCOMPARE(w->Recentlist->geometry(), QRect(20, 32, 177, 108));
        QCOMPARE(w->cmdExit->geometry(), QRect(64, 160, 81, 25));
        QCOMPARE(w->cmdExit->text(), QString("CLOSE"));
        // The list comes first, then CLOSE.
        QTRY_VERIFY(w->Recentlist->hasFocus());
        QTest::keyClick(w.get(), Qt::Key_Tab);
        QVERIFY(w->cmdExit->hasFocus());
    }

    void recordsAreListedInFileOrderExactlyAsStored()
    {
        // A Latin-1 byte, a blank line, a line without separator, blanks kept.
        QVERIFY(putBytes(historyPath(), "5550142--Duration: 0:1:7\r\nRen\xE9--Duration: 0:0:2\r\n\r\n"
                                "no separator here\n  12 34 --Duration: 10:5:60\r\n"));
        const QByteArray before = bytesOf(historyPath());
        auto w = open();
        QCOMPARE(itemTexts(w->Recentlist),
                 QStringList({"5550142--Duration: 0:1:7", QString::fromLatin1("Ren\xE9--Duration: 0:0:2"), "",
                              "no separator here", "  12 34 --Duration: 10:5:60"}));
        QCOMPARE(bytesOf(historyPath()), before); // reading never rewrites
        QVERIFY(messages.shown.isEmpty());
    }

    void doubleClickHandsBackTheNumberAndCloses_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("number");
        QTest::newRow("number") << 0 << "0044207946000";
        QTest::newRow("empty number empties the box") << 1 << "";
    }
    void doubleClickHandsBackTheNumberAndCloses()
    {
        QFETCH(int, row);
        QFETCH(QString, number);
        QVERIFY(putBytes(historyPath(), kTwoCalls));
        auto w = open();
        QSignalSpy spy(w.get(), &frmRecent::CallNumber);
        doubleClickRow(w->Recentlist, row);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toString(), number);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Accepted));
        // Nothing else: no message, the history as it was.
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(bytesOf(historyPath()), kTwoCalls);
    }

    void onlyADoubleClickOnARecordChoosesIt()
    {
        QVERIFY(putBytes(historyPath(), kTwoCalls));
        auto w = open();
        QSignalSpy spy(w.get(), &frmRecent::CallNumber);
        QVERIFY(w->Recentlist->selectedItems().isEmpty());
        // Below the two records: the list's empty part.
        const QPoint empty(20, w->Recentlist->viewport()->height() - 5);
        QVERIFY(!w->Recentlist->itemAt(empty));
        QTest::mouseDClick(w->Recentlist->viewport(), Qt::LeftButton, {}, empty);
        QCOMPARE(spy.size(), 0);
        QVERIFY(w->isVisible());

        // A single click only selects.
        const QPoint first = w->Recentlist->visualItemRect(w->Recentlist->item(0)).center();
        QTest::mouseClick(w->Recentlist->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(w->Recentlist->currentRow(), 0);
        QCOMPARE(spy.size(), 0);
        QVERIFY(w->isVisible());

        // With a record selected, a double-click beside the records still does nothing.
        QTest::mouseDClick(w->Recentlist->viewport(), Qt::LeftButton, {}, empty);
        QCOMPARE(spy.size(), 0);
        QVERIFY(w->isVisible());
        QVERIFY(messages.shown.isEmpty());
    }

    void shownModallyTheChoiceEndsTheDialog()
    {
        QVERIFY(putBytes(historyPath(), kTwoCalls));
        frmRecent w(dir->path(), messages);
        QSignalSpy spy(&w, &frmRecent::CallNumber);
        QTimer::singleShot(0, &w, [&w] {
            [[maybe_unused]] bool exposed = QTest::qWaitForWindowExposed(&w);
            doubleClickRow(w.Recentlist, 0);
        });
        QTimer::singleShot(5000, &w, &QDialog::reject); // never hang the suite
        QCOMPARE(w.exec(), int(QDialog::Accepted));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toString(), QString("0044207946000"));
    }

    void closeButtonClosesAndHandsNothingBack()
    {
        QVERIFY(putBytes(historyPath(), kTwoCalls));
        auto w = open();
        QSignalSpy spy(w.get(), &frmRecent::CallNumber);
        w->Recentlist->setCurrentRow(0);
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Rejected));
        QCOMPARE(spy.size(), 0);
        QCOMPARE(bytesOf(historyPath()), kTwoCalls);
    }

    // A folder stands where the history should be; permission bits would not
    // stop root, a folder does.
    void unreadableHistoryIsReportedOnceAndLeftAlone()
    {
        QVERIFY(QDir(dir->path()).mkdir("recentcall.txt"));
        QVERIFY(putBytes(historyPath() + "/inside", "keep"));
        auto w = open();
        QCOMPARE(messages.texts(), QStringList{"The call history could not be read."});
        QCOMPARE(messages.shown.first().buttons, platform::MsgButtons::OKOnly);
        QCOMPARE(w->Recentlist->count(), 0);
        QVERIFY(w->isVisible());
        QVERIFY(QFileInfo(historyPath()).isDir());
        QCOMPARE(bytesOf(historyPath() + "/inside"), QByteArray("keep"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"recentcall.txt"});
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);
        QCOMPARE(messages.shown.size(), 1);
    }

    void windowHasThePicturesOutline()
    {
        auto w = open();
        const QImage skin(Artwork::skinPath("recent"));
        QCOMPARE(skin.size(), QSize(216, 228));
        const QRgb key = skin.pixel(0, skin.height() - 1) & 0xffffff;
        QRegion picture;
        for (int y = 0; y < skin.height(); ++y)
            for (int x = 0; x < skin.width(); ++x)
                if ((skin.pixel(x, y) & 0xffffff) != key)
                    picture += QRect(x, y, 1, 1);
        // The last column is left to the outline scanner; everything else matches.
        const QRect compared(0, 0, skin.width() - 1, skin.height());
        QVERIFY(!w->mask().isEmpty());
        QVERIFY((w->mask() ^ picture).intersected(compared).isEmpty());
        QVERIFY(!w->mask().contains(QPoint(0, 227)));
        // What the user reads and clicks lies inside.
        for (QWidget *control : {static_cast<QWidget *>(w->Recentlist), static_cast<QWidget *>(w->cmdExit)})
            QCOMPARE(w->mask().intersected(control->geometry()), QRegion(control->geometry()));
    }

    void draggingThePictureMovesTheWindow()
    {
        auto w = open();
        w->move(100, 80);
        QTRY_COMPARE(w->frameGeometry().topLeft(), QPoint(100, 80));
        const QRect before = w->frameGeometry();
        // The title strip: only the picture is there.
        const QPoint grab(110, 12);
        QCOMPARE(w->childAt(grab), static_cast<QWidget *>(w->Picture1));
        QWindow *window = w->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, grab);
        QTest::mouseMove(window, grab + QPoint(20, 15));
        QTest::mouseMove(window, grab + QPoint(40, 30));
        QTest::mouseRelease(window, Qt::LeftButton, {}, grab + QPoint(40, 30));
        QCOMPARE(w->frameGeometry(), before.translated(40, 30));
    }
};

QTEST_MAIN(TestFrmRecent)
#include "tst_frmrecent.moc"
