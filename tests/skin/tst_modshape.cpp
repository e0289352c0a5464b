#include "tests/doubles/FixedScreenMetrics.h"
#include "skin/modShape.h"

#include <QTransform>
#include <QWidget>
#include <QtTest>

class TestShape : public QObject {
    Q_OBJECT

private slots:
    void roundedOutlineOfTheMainWindow_data()
    {
        QTest::addColumn<double>("twipsPerPixel");
        QTest::newRow("96 dpi") << 15.0;
        QTest::newRow("144 dpi") << 10.0;
        QTest::newRow("100 dpi") << 14.4;
    }
    void roundedOutlineOfTheMainWindow()
    {
        QFETCH(double, twipsPerPixel);
        QWidget form(nullptr, Qt::FramelessWindowHint);
        form.resize(292, 389);
        modShape::MakeRoundedForm(&form, platform::FixedScreenMetrics(twipsPerPixel, twipsPerPixel));
        const QRegion mask = form.mask();
        // Left 10, top 10, right 292 and bottom 389 - 45, both exclusive.
        QCOMPARE(mask.boundingRect(), QRect(QPoint(10, 10), QPoint(291, 343)));
        // Straight edges between the corner arcs (radii 75 across, 50 down).
        QVERIFY(mask.contains(QPoint(10 + 75, 10)));
        QVERIFY(mask.contains(QPoint(291 - 75, 343)));
        QVERIFY(mask.contains(QPoint(10, 10 + 50)));
        QVERIFY(mask.contains(QPoint(291, 343 - 50)));
        QVERIFY(mask.contains(QPoint(150, 200)));
        // Corners are cut.
        for (const QPoint &corner : {QPoint(10, 10), QPoint(291, 10), QPoint(10, 343), QPoint(291, 343),
                                     QPoint(20, 15), QPoint(281, 338)})
            QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
        // Symmetric about the rectangle's centre lines.
        const QRegion mirrored = QTransform(-1, 0, 0, 1, 10 + 292, 0).map(mask);
        QVERIFY((mirrored ^ mask).isEmpty());
        const QRegion flipped = QTransform(1, 0, 0, -1, 0, 10 + 344).map(mask);
        QVERIFY((flipped ^ mask).isEmpty());
    }

    void ellipseLargerThanTheRectangleIsClamped()
    {
        // A 40 x 20 rectangle with a 150 x 100 ellipse is a full ellipse.
        const QRegion r = modShape::RoundRectRegion(0, 0, 40, 20, 150, 100);
        QCOMPARE(r.boundingRect(), QRect(0, 0, 40, 20));
        QVERIFY(r.contains(QPoint(20, 0)));
        QVERIFY(r.contains(QPoint(0, 10)));
        QVERIFY(!r.contains(QPoint(2, 2)));
    }

    void cornersInEitherOrder()
    {
        QVERIFY((modShape::RoundRectRegion(50, 40, 10, 10, 20, 10) ^ modShape::RoundRectRegion(10, 10, 50, 40, 20, 10))
                    .isEmpty());
        QCOMPARE(modShape::RoundRectRegion(0, 0, 30, 20, 0, 0), QRegion(0, 0, 30, 20));
    }

    void formTooSmallForTheShapeShowsNothing()
    {
        QWidget form(nullptr, Qt::FramelessWindowHint);
        form.resize(10, 55);
        modShape::MakeRoundedForm(&form, platform::FixedScreenMetrics());
        QVERIFY(!form.mask().isEmpty());
        QVERIFY(form.mask().intersected(form.rect()).isEmpty());
    }
};

QTEST_MAIN(TestShape)
#include "tst_modshape.moc"
