#include "skin/Region.h"
#include "skin/RegionBands.h"

#include <QRandomGenerator>
#include <QWidget>
#include <QtTest>

namespace {

const QRgb kKey = qRgb(0xff, 0x00, 0xff);
const QRgb kInk = qRgb(0x20, 0x60, 0x30);

// Rows of text, '#' a non-key pixel and '.' a key pixel; the bottom-left
// pixel must be '.' for the key to be picked up.
QImage picture(const QStringList &rows, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, rows[y][x] == QLatin1Char('#') ? kInk : kKey);
    return img.convertToFormat(format);
}

// The rule as the user sees it, pixel by pixel: every pixel that is not the
// key, except those of the last column.
QRegion reference(const QImage &img, QRgb key)
{
    QRegion r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x + 1 < img.width(); ++x)
            if ((img.pixel(x, y) & 0xffffff) != (key & 0xffffff))
                r += QRect(x, y, 1, 1);
    return r;
}

QRegion scan(const QImage &img, quint32 key = 1)
{
    Region region;
    region.ScanPicture(img, key);
    return region.hndRegion;
}

// A key supplied by the caller is packed blue-lowest.
quint32 packed(QRgb c)
{
    return quint32(qBlue(c)) | quint32(qGreen(c)) << 8 | quint32(qRed(c)) << 16;
}

QString describe(const QRegion &r)
{
    QString text;
    QDebug(&text) << r;
    return text;
}

} // namespace

// Regions cover the same pixels. (QRegion's == compares rectangle lists, and
// Qt's own unions do not always merge equal rows, so it can differ for equal
// areas.)
#define COMPARE_AREA(actual, expected)                                                                   \
    do {                                                                                                 \
        const QRegion a_ = (actual), e_ = (expected);                                                    \
        QVERIFY2((a_ ^ e_).isEmpty(),                                                                    \
                 qPrintable(QStringLiteral("got %1, expected %2").arg(describe(a_), describe(e_))));      \
    } while (false)

class TestRegion : public QObject {
    Q_OBJECT

private slots:
    void scanEdgeCases_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QRegion>("expected");
        QTest::newRow("all key") << QStringList{"....", "...."} << QRegion();
        QTest::newRow("one pixel wide") << QStringList{"#", ".", "#"} << QRegion();
        QTest::newRow("run starting on the last pixel") << QStringList{"...#", "...."} << QRegion();
        QTest::newRow("run reaching the last pixel") << QStringList{".###", "...."} << QRegion(1, 0, 2, 1);
        QTest::newRow("runs split by one key pixel")
            << QStringList{"##.##.", "#.#.#.", "......"}
            << (QRegion(0, 0, 2, 1) + QRegion(3, 0, 2, 1) + QRegion(0, 1, 1, 1) + QRegion(2, 1, 1, 1)
                + QRegion(4, 1, 1, 1));
        QTest::newRow("two pixels wide") << QStringList{"##", "#.", ".."} << QRegion(0, 0, 1, 2);
    }
    void scanEdgeCases()
    {
        QFETCH(QStringList, rows);
        QFETCH(QRegion, expected);
        COMPARE_AREA(scan(picture(rows)), expected);
    }

    void pictureWithoutKeyLosesOnlyTheLastColumn()
    {
        QImage img(9, 6, QImage::Format_RGB32);
        img.fill(kInk);
        quint32 key = packed(kKey); // the key is nowhere in the picture
        Region region;
        region.ScanPicture(img, key);
        COMPARE_AREA(region.hndRegion, QRegion(0, 0, 8, 6));
        QCOMPARE(region.hndRegion.rectCount(), 1); // rows with the same runs merge
    }

    void keyIsTheBottomLeftPixelHandedBackBlueLowest()
    {
        QImage img(3, 2, QImage::Format_RGB32);
        img.fill(qRgb(0x33, 0x22, 0x11));
        img.setPixel(0, 1, qRgb(0x11, 0x22, 0x33)); // bottom-left
        img.setPixel(0, 0, qRgb(0x11, 0x22, 0x33));
        quint32 key = 1;
        Region region;
        region.ScanPicture(img, key);
        QCOMPARE(key, 0x112233u); // red 0x11 highest, blue 0x33 lowest
        COMPARE_AREA(region.hndRegion, QRegion(1, 0, 1, 2));
    }

    void suppliedKeyIsUsedUnchanged()
    {
        QImage img = picture({"#..", "#.."}); // bottom-left is not the key
        img.setPixel(1, 0, qRgb(1, 2, 3));
        quint32 key = packed(kKey);
        Region region;
        region.ScanPicture(img, key);
        QCOMPARE(key, packed(kKey));
        COMPARE_AREA(region.hndRegion, QRegion(0, 0, 1, 2) + QRegion(1, 0, 1, 1));
        // A value with bits above the colour's matches no pixel.
        key = packed(kKey) | 0x01000000u;
        region.ScanPicture(img, key);
        COMPARE_AREA(region.hndRegion, QRegion(0, 0, 2, 2));
    }

    void nearKeyColoursAreKept()
    {
        QImage img(4, 1, QImage::Format_RGB32);
        img.fill(kKey);
        img.setPixel(1, 0, kKey ^ 0x000001); // one step off in blue
        img.setPixel(2, 0, kKey ^ 0x010000); // and in red
        COMPARE_AREA(scan(img), QRegion(1, 0, 2, 1));
    }

    // Widths where rows carry 0 to 3 padding bytes; padding must never be
    // read as a pixel, even when it happens to hold the key's bytes.
    void oddWidthsMatchTheReference_data()
    {
        QTest::addColumn<int>("width");
        for (int w : {2, 3, 4, 5, 6, 7, 13})
            QTest::newRow(qPrintable(QString::number(w))) << w;
    }
    void oddWidthsMatchTheReference()
    {
        QFETCH(int, width);
        QImage img(width, 5, QImage::Format_RGB32);
        img.fill(kInk);
        img.setPixel(0, 4, kKey);
        img.setPixel(width - 1, 2, kKey);
        COMPARE_AREA(scan(img), reference(img, kKey));
    }

    void randomPicturesMatchTheReference_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("format");
        for (quint32 seed = 1; seed <= 24; ++seed)
            QTest::newRow(qPrintable(QString::number(seed)))
                << seed << int(seed % 3 == 0 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    }
    void randomPicturesMatchTheReference()
    {
        QFETCH(quint32, seed);
        QFETCH(int, format);
        QRandomGenerator rng(seed);
        const int w = rng.bounded(1, 60), h = rng.bounded(1, 40);
        // Blobs of ink on the key, some near-key colours, and a key-coloured
        // bottom-left so the key is picked up.
        const QRgb colours[] = {kKey, kKey, kInk, qRgb(0xff, 0x00, 0xfe), qRgb(0, 0, 0)};
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, colours[rng.bounded(rng.bounded(2) ? 2 : 5)]);
        img.setPixel(0, h - 1, kKey);
        img = img.convertToFormat(QImage::Format(format));
        quint32 key = 1;
        Region region;
        region.ScanPicture(img, key);
        QCOMPARE(key, packed(kKey));
        COMPARE_AREA(region.hndRegion, reference(img, kKey));
    }

    void badPicturesGiveAnEmptyRegion()
    {
        Region region;
        quint32 key = 1;
        region.hndRegion = QRegion(0, 0, 5, 5);
        region.ScanPicture(QImage(), key);
        QVERIFY(region.hndRegion.isEmpty());
        QCOMPARE(key, 1u);
    }

    void bandsComeOutEqualToUnions()
    {
        // Rows fed bottom-up, as the scan does.
        RegionBands bands;
        QRegion unions;
        const int runs[][4] = {{0, 3, 5, 6}, {0, 3, 5, 6}, {1, 2, 4, 7}, {0, 0, 0, 0}, {2, 9, 0, 0}, {2, 9, 0, 0}};
        for (int y = 5; y >= 0; --y) {
            bands.BeginRow(y);
            for (int i = 0; i < 4; i += 2) {
                bands.AddRun(runs[y][i], runs[y][i + 1]);
                if (runs[y][i + 1] > runs[y][i])
                    unions += QRect(runs[y][i], y, runs[y][i + 1] - runs[y][i], 1);
            }
            bands.EndRow();
        }
        const QRegion built = bands.ToRegion();
        COMPARE_AREA(built, unions);
        // Bands top to bottom, runs left to right, equal neighbouring rows merged.
        const QList<QRect> expected{QRect(0, 0, 3, 2), QRect(5, 0, 1, 2), QRect(1, 2, 1, 1),
                                    QRect(4, 2, 3, 1), QRect(2, 4, 7, 2)};
        QCOMPARE(QList<QRect>(built.begin(), built.end()), expected);
        QCOMPARE(built.boundingRect(), unions.boundingRect());
    }

    void framelessFormKeepsTheRegion()
    {
        QWidget form(nullptr, Qt::FramelessWindowHint);
        form.resize(40, 30);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Region region;
        region.hndRegion = QRegion(1, 2, 3, 4);
        region.OffsetHeader(&form);
        QCOMPARE(region.hndRegion, QRegion(1, 2, 3, 4));
    }

    // On a framed window the region moves into window coordinates, and the
    // mask it gives lands back on the client area where the picture is.
    void framedFormRegionLandsOnTheClientArea()
    {
        QWidget form;
        form.resize(40, 30);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QMargins frame(form.geometry().left() - form.frameGeometry().left(),
                             form.geometry().top() - form.frameGeometry().top(), 0, 0);
        if (frame.left() == 0 && frame.top() == 0)
            QSKIP("this window system gives top-level windows no frame");
        const QImage img = picture({"##..", ".##.", "...."});
        quint32 key = 1;
        Region region;
        region.ScanPicture(img, key);
        const QRegion scanned = region.hndRegion;
        region.OffsetHeader(&form);
        QCOMPARE(region.hndRegion, scanned.translated(frame.left(), frame.top()));
        region.ApplyRgn(&form);
        QCOMPARE(form.mask(), scanned);
    }

    void headerOffsetRoundsHalfToEven_data()
    {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("even frame") << QSize(300, 420) << QPoint(4, 27);
        QTest::newRow("4.5 rounds down") << QSize(301, 420) << QPoint(4, 27);
        QTest::newRow("5.5 rounds up") << QSize(303, 420) << QPoint(6, 25);
        QTest::newRow("no frame") << QSize(292, 389) << QPoint(0, 0);
    }
    void headerOffsetRoundsHalfToEven()
    {
        QFETCH(QSize, outer);
        QFETCH(QPoint, offset);
        QCOMPARE(Region::HeaderOffset(outer, QSize(292, 389)), offset);
    }

    void windowKeepsItsCopyOfTheRegion()
    {
        QWidget form(nullptr, Qt::FramelessWindowHint);
        form.resize(10, 10);
        {
            Region region;
            region.hndRegion = QRegion(2, 2, 5, 5);
            region.ApplyRgn(&form);
            region.hndRegion = QRegion(0, 0, 1, 1); // later changes are the object's own
        }
        QCOMPARE(form.mask(), QRegion(2, 2, 5, 5));
    }

    void emptyRegionLeavesNothingVisible()
    {
        QWidget form(nullptr, Qt::FramelessWindowHint);
        form.resize(10, 10);
        Region region;
        region.ApplyRgn(&form);
        QVERIFY(!form.mask().isEmpty()); // an empty mask would mean "no mask" to Qt
        QVERIFY(form.mask().intersected(form.rect()).isEmpty());
    }
};

QTEST_MAIN(TestRegion)
#include "tst_region.moc"
