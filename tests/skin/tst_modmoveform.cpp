#include "tests/doubles/FixedScreenMetrics.h"
#include "skin/modMoveForm.h"

#include <QWindow>
#include <QtTest>
#include <memory>

namespace {

// A borderless skinned window: its picture covers the whole client area.
struct SkinnedForm {
    std::unique_ptr<QWidget> form{new QWidget(nullptr, Qt::FramelessWindowHint)};
    QWidget *picture1 = new QWidget(form.get());

    SkinnedForm()
    {
        form->setGeometry(100, 80, 200, 150);
        picture1->setObjectName(QStringLiteral("Picture1"));
        picture1->setGeometry(0, 0, 200, 150);
        modMoveForm::WireDrag(picture1, form.get());
        form->show();
    }
};

bool outlineShownAt(const QRect &r)
{
    const QWidget *outline = modMoveForm::OutlineWindow();
    return outline && outline->isVisible() && outline->geometry() == r;
}

bool outlineHidden()
{
    const QWidget *outline = modMoveForm::OutlineWindow();
    return !outline || !outline->isVisible();
}

} // namespace

class TestMoveForm : public QObject {
    Q_OBJECT

    platform::FixedScreenMetrics screen{15, 15};

private slots:
    void initTestCase()
    {
        modMoveForm::SetScreenMetrics(&screen);
    }

    void clickWithoutMovementLeavesTheWindow()
    {
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QRect before = f.form->frameGeometry();
        QWindow *window = f.form->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(outlineShownAt(before));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(outlineHidden());
        QCOMPARE(f.form->frameGeometry(), before);
    }

    // Left-button drags as the user makes them, through the window system's
    // mouse events: the outline follows, the window moves once at release.
    void leftDrag_data()
    {
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("5 right stays") << QPoint(55, 50) << QPoint(0, 0);
        QTest::newRow("5 up and 5 left stays") << QPoint(45, 45) << QPoint(0, 0);
        QTest::newRow("6 right moves") << QPoint(56, 50) << QPoint(6, 0);
        QTest::newRow("6 up moves") << QPoint(50, 44) << QPoint(0, -6);
        QTest::newRow("6 left and 3 down moves") << QPoint(44, 53) << QPoint(-6, 3);
        QTest::newRow("far outside the window") << QPoint(-120, 300) << QPoint(-170, 250);
    }
    void leftDrag()
    {
        QFETCH(QPoint, release);
        QFETCH(QPoint, moved);
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QRect before = f.form->frameGeometry();
        QWindow *window = f.form->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(window, QPoint(50, 50) + (release - QPoint(50, 50)) / 2);
        QTest::mouseMove(window, release);
        QVERIFY(outlineShownAt(before.translated(release - QPoint(50, 50))));
        QCOMPARE(f.form->frameGeometry(), before); // nothing moves before the release
        QTest::mouseRelease(window, Qt::LeftButton, {}, release);
        QVERIFY(outlineHidden());
        QCOMPARE(f.form->frameGeometry(), before.translated(moved));
    }

    void windowMovesToTheReleasePointNotTheLastMove()
    {
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QRect before = f.form->frameGeometry();
        QWindow *window = f.form->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(window, QPoint(120, 90));
        QTest::mouseMove(window, QPoint(30, 20));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(60, 57));
        QCOMPARE(f.form->frameGeometry(), before.translated(10, 7));
    }

    void rightDragShowsTheOutlineInPlaceUntilRelease_data()
    {
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("20 right, 10 down") << QPoint(70, 60) << QPoint(20, 10);
        QTest::newRow("5 down stays") << QPoint(50, 55) << QPoint(0, 0);
    }
    void rightDragShowsTheOutlineInPlaceUntilRelease()
    {
        QFETCH(QPoint, release);
        QFETCH(QPoint, moved);
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QRect before = f.form->frameGeometry();
        QWindow *window = f.form->windowHandle();
        QTest::mousePress(window, Qt::RightButton, {}, QPoint(50, 50));
        QTest::mouseMove(window, QPoint(90, 90));
        QTest::mouseMove(window, release);
        QVERIFY(outlineShownAt(before));
        QTest::mouseRelease(window, Qt::RightButton, {}, release);
        QVERIFY(outlineHidden());
        QCOMPARE(f.form->frameGeometry(), before.translated(moved));
    }

    void movesWithAnotherButtonHeldDoNotTrack()
    {
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QRect before = f.form->frameGeometry();
        modMoveForm::SkinMouseDown(f.form.get(), 50, 50);
        modMoveForm::SkinMouseMove(f.form.get(), Qt::LeftButton | Qt::RightButton, 90, 90);
        modMoveForm::SkinMouseMove(f.form.get(), Qt::NoButton, 90, 90);
        QVERIFY(outlineShownAt(before));
        modMoveForm::SkinMouseMove(f.form.get(), Qt::LeftButton, 90, 90);
        QVERIFY(outlineShownAt(before.translated(40, 40)));
        modMoveForm::SkinMouseUp(f.form.get(), 50, 50);
        QVERIFY(outlineHidden());
    }

    // The grab point rounds half to even, and the final position comes back
    // unchanged through twips whatever the screen's factor.
    void positionsRoundHalfToEven_data()
    {
        QTest::addColumn<double>("twipsPerPixel");
        QTest::newRow("96 dpi") << 15.0;
        QTest::newRow("100 dpi") << 14.4;
        QTest::newRow("120 dpi") << 12.0;
    }
    void positionsRoundHalfToEven()
    {
        QFETCH(double, twipsPerPixel);
        platform::FixedScreenMetrics metrics(twipsPerPixel, twipsPerPixel);
        modMoveForm::SetScreenMetrics(&metrics);
        SkinnedForm f;
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QPoint origin = f.form->pos();
        modMoveForm::SkinMouseDown(f.form.get(), 10.5, 11.5);
        QCOMPARE(modMoveForm::State().grabPoint, QPoint(10, 12));
        QCOMPARE(modMoveForm::State().twipsPerPixelX, float(twipsPerPixel));
        modMoveForm::SkinMouseUp(f.form.get(), 30.5, 111.5); // 20.5 and 99.5 from the grab point
        modMoveForm::SetScreenMetrics(&screen);
        QCOMPARE(f.form->pos(), origin + QPoint(20, 100));
        QCOMPARE(f.form->size(), QSize(200, 150));
    }

    void eachWindowDragsItself()
    {
        SkinnedForm a, b;
        b.form->move(400, 300);
        QVERIFY(QTest::qWaitForWindowExposed(b.form.get()));
        const QPoint aBefore = a.form->pos(), bBefore = b.form->pos();
        QTest::mousePress(b.form->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(b.form->windowHandle(), Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(a.form->pos(), aBefore);
        QCOMPARE(b.form->pos(), bBefore + QPoint(20, 0));
    }
};

QTEST_MAIN(TestMoveForm)
#include "tst_modmoveform.moc"
