#include "skin/SkinnedWindow.h"

#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <QtTest>

#ifdef SKIN_HAVE_ARTWORK
#include "resources/Artwork.h"
#endif
#include "skin/Region.h"

namespace {

const QRgb kKey = qRgb(0xff, 0x00, 0xff);

QImage discSkin()
{
    QImage skin(120, 100, QImage::Format_RGB32);
    skin.fill(kKey);
    QPainter p(&skin);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x90, 0x40));
    p.drawEllipse(QPoint(60, 50), 40, 40);
    return skin;
}

// Every non-key pixel except those of the last column, pixel by pixel.
QRegion reference(const QImage &img, QRgb key)
{
    QRegion r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x + 1 < img.width(); ++x)
            if ((img.pixel(x, y) & 0xffffff) != (key & 0xffffff))
                r += QRect(x, y, 1, 1);
    return r;
}

} // namespace

class TestSkinnedWindow : public QObject {
    Q_OBJECT

private slots:
    void windowTakesTheSkinsOutlineAndPaintsIt()
    {
        const QImage skin = discSkin();
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.resize(skin.size());
        QCOMPARE(SkinnedWindow::ApplySkin(&window, skin), 0xff00ffu);
        QVERIFY((window.mask() ^ reference(skin, kKey)).isEmpty());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The artwork is painted at the client origin.
        const QImage shown = window.grab().toImage();
        for (const QPoint &p : {QPoint(60, 50), QPoint(25, 50), QPoint(60, 12)})
            QCOMPARE(shown.pixel(p), skin.pixel(p));
    }

    // Where the compositor draws the outline (Wayland) the window has
    // alpha, the same outline by alpha as by shape, and the pointer still
    // kept to it; neither the background nor the picture that shows the
    // skin can put the key colour on the screen.
    void alphaOutlineIsTheShapesOutline()
    {
        const QImage skin = discSkin();
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.resize(skin.width(), skin.height() + 20); // taller than its skin
        auto *picture = new QLabel(&window);
        picture->setPixmap(QPixmap::fromImage(skin));
        picture->resize(skin.size());
        SkinnedWindow::ApplySkin(&window, skin, picture, SkinnedWindow::Outline::Alpha);
        QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
        const QRegion outline = reference(skin, kKey);
        QVERIFY((window.mask() ^ outline).isEmpty());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.size(), window.size());
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb px = shown.pixel(x, y);
                if (outline.contains(QPoint(x, y)))
                    QCOMPARE(px, skin.pixel(x, y) | 0xff000000);
                else
                    QVERIFY2(qAlpha(px) == 0, qPrintable(QStringLiteral("%1,%2 shows %3").arg(x).arg(y).arg(px, 8, 16)));
            }
    }

    void windowWithoutASkinShowsNothing()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.resize(50, 50);
        SkinnedWindow::ApplySkin(&window, QImage());
        QVERIFY(window.mask().intersected(window.rect()).isEmpty());
    }

    // The phone's own skins: the outline follows the artwork's every edge,
    // the key is the artwork's key colour, and the places the user clicks or
    // reads lie inside.
    void realSkins_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"main", "login", "phonebook", "recent"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void realSkins()
    {
#ifndef SKIN_HAVE_ARTWORK
        QSKIP("the artwork library is not part of this build");
#else
        QFETCH(QString, name);
        const QString path = Artwork::skinPath(name);
        if (!QFile::exists(path))
            QSKIP(qPrintable(QStringLiteral("no skin %1 yet").arg(path)));
        const QImage skin(path);
        QVERIFY(!skin.isNull());
        const QRgb key = Artwork::keyColour().rgb();
        QCOMPARE(skin.pixel(0, skin.height() - 1) & 0xffffff, key & 0xffffff);

        Region region;
        quint32 transColor = 1;
        region.ScanPicture(skin, transColor);
        QCOMPARE(transColor, quint32(qBlue(key) | qGreen(key) << 8 | qRed(key) << 16));
        QVERIFY((region.hndRegion ^ reference(skin, key)).isEmpty());
        QVERIFY(QRect(0, 0, skin.width() - 1, skin.height()).contains(region.hndRegion.boundingRect()));
        QVERIFY(!region.hndRegion.contains(QPoint(0, 0)));
        QVERIFY(!region.hndRegion.contains(QPoint(0, skin.height() - 1)));
        if (name == QLatin1String("main")) {
            QCOMPARE(skin.size(), QSize(292, 389));
            // The display, the close and hide buttons, the call and end buttons, the keypad.
            const QRect inside[] = {{64, 50, 164, 55}, {256, 9, 12, 12}, {268, 22, 12, 12},
                                    {20, 230, 39, 52}, {228, 230, 40, 51}, {66, 228, 158, 115}};
            for (const QRect &r : inside)
                QVERIFY2(region.hndRegion.intersected(r) == QRegion(r),
                         qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
        }
#endif
    }
};

QTEST_MAIN(TestSkinnedWindow)
#include "tst_skinnedwindow.moc"
