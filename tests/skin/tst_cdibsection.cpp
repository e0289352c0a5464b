#include "skin/cDIBSection.h"

#include <QtTest>

namespace {

// The colour the buffer holds for image pixel (x, y), read from memory.
QRgb bufferPixel(const cDIBSection &dib, int x, int y)
{
    const uchar *p = dib.DIBSectionBitsPtr() + qint64(dib.Height() - 1 - y) * *dib.BytesPerScanLine() + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

// Colours worth telling apart, one per pixel.
QImage patterned(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba((x * 37 + y) & 0xff, (y * 53 + 7) & 0xff, (x * y + 11) & 0xff, (x + y) % 2 ? 255 : 0));
    return img;
}

} // namespace

class TestDIBSection : public QObject {
    Q_OBJECT

private slots:
    void scanLinePadding_data()
    {
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("bytes");
        QTest::newRow("1") << 1 << 4;
        QTest::newRow("2") << 2 << 8;
        QTest::newRow("3") << 3 << 12;
        QTest::newRow("4") << 4 << 12;
        QTest::newRow("5") << 5 << 16;
        QTest::newRow("largest width") << 715827881 << 2147483644;
    }
    void scanLinePadding()
    {
        QFETCH(qint32, width);
        QFETCH(qint32, bytes);
        QCOMPARE(cDIBSection::BytesPerScanLineFor(width), std::optional<qint32>(bytes));
    }

    void scanLineOverflowIsReported()
    {
        QCOMPARE(cDIBSection::BytesPerScanLineFor(715827882), std::nullopt);
        QCOMPARE(cDIBSection::BytesPerScanLineFor(std::numeric_limits<qint32>::max()), std::nullopt);
        // The object reports it too, for the width it was asked for.
        cDIBSection dib;
        QVERIFY(!dib.Create(715827882, 1));
        QCOMPARE(dib.Width(), 715827882);
        QCOMPARE(dib.BytesPerScanLine(), std::nullopt);
        QVERIFY(!dib.DIBSectionBitsPtr());
    }

    void impossibleSizesAreRefused_data()
    {
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("height");
        QTest::newRow("zero width") << 0 << 10;
        QTest::newRow("zero height") << 10 << 0;
        QTest::newRow("negative") << -5 << 10;
        QTest::newRow("more than 2 GB") << 100000 << 100000;
        QTest::newRow("widest") << 715827881 << 2;
    }
    void impossibleSizesAreRefused()
    {
        QFETCH(qint32, width);
        QFETCH(qint32, height);
        cDIBSection dib;
        QVERIFY(dib.Create(4, 4));
        QVERIFY(!dib.Create(width, height));
        QVERIFY(!dib.DIBSectionBitsPtr()); // the earlier buffer went too
    }

    void createdBufferIsZeroedWithHeader()
    {
        cDIBSection dib;
        QVERIFY(dib.Create(5, 3));
        const cDIBSection::BitmapInfoHeader &h = dib.Header();
        QCOMPARE(h.biSize, 40);
        QCOMPARE(h.biPlanes, qint16(1));
        QCOMPARE(h.biBitCount, qint16(24));
        QCOMPARE(h.biSizeImage, 3 * 16);
        for (int i = 0; i < h.biSizeImage; ++i)
            QCOMPARE(dib.DIBSectionBitsPtr()[i], uchar(0));
        dib.ClearUp();
        QVERIFY(!dib.DIBSectionBitsPtr());
    }

    void pictureIsStoredBottomUpAsBlueGreenRed()
    {
        // 3 pixels wide: 9 bytes of pixels and 3 of padding per row.
        QImage img(3, 2, QImage::Format_RGB32);
        img.setPixel(0, 0, qRgb(0x10, 0x20, 0x30));
        img.setPixel(1, 0, qRgb(0x11, 0x21, 0x31));
        img.setPixel(2, 0, qRgb(0x12, 0x22, 0x32));
        img.setPixel(0, 1, qRgb(0xa0, 0xb0, 0xc0));
        img.setPixel(1, 1, qRgb(0xa1, 0xb1, 0xc1));
        img.setPixel(2, 1, qRgb(0xa2, 0xb2, 0xc2));
        cDIBSection dib;
        QVERIFY(dib.CreateFromPicture(img));
        const QByteArray expected = QByteArray::fromHex("c0b0a0c1b1a1c2b2a2000000"  // memory row 0: bottom
                                                        "302010312111322212000000"); // memory row 1: top
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(dib.DIBSectionBitsPtr()), 24), expected);
    }

    // Every picture depth ends up as the same RGB, alpha left aside.
    void anyFormatIsConverted_data()
    {
        QTest::addColumn<int>("format");
        for (QImage::Format f : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
                                 QImage::Format_RGB888, QImage::Format_BGR888, QImage::Format_Indexed8,
                                 QImage::Format_RGB16, QImage::Format_Grayscale8, QImage::Format_Mono,
                                 QImage::Format_RGBA8888, QImage::Format_RGBA64})
            QTest::newRow(QMetaEnum::fromType<QImage::Format>().valueToKey(f)) << int(f);
    }
    void anyFormatIsConverted()
    {
        QFETCH(int, format);
        const QImage source = patterned(7, 5).convertToFormat(QImage::Format(format));
        const QImage reference = source.convertToFormat(QImage::Format_ARGB32);
        cDIBSection dib;
        QVERIFY(dib.CreateFromPicture(source));
        QCOMPARE(dib.Width(), 7);
        QCOMPARE(dib.Height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                QCOMPARE(bufferPixel(dib, x, y), reference.pixel(x, y) | 0xff000000u);
    }

    void transparentPixelsKeepTheirColour()
    {
        QImage img(2, 1, QImage::Format_ARGB32);
        img.setPixel(0, 0, qRgba(0x12, 0x34, 0x56, 0));
        img.setPixel(1, 0, qRgba(0x12, 0x34, 0x56, 255));
        cDIBSection dib;
        QVERIFY(dib.CreateFromPicture(img));
        QCOMPARE(bufferPixel(dib, 0, 0), bufferPixel(dib, 1, 0));
    }

    void indexBeyondTheColourTableReadsBlack()
    {
        QImage img(2, 1, QImage::Format_Indexed8);
        img.setColorTable({qRgb(1, 2, 3)});
        img.setPixel(0, 0, 0);
        img.bits()[1] = 200; // no such colour
        cDIBSection dib;
        QVERIFY(dib.CreateFromPicture(img));
        QCOMPARE(bufferPixel(dib, 0, 0), qRgb(1, 2, 3));
        QCOMPARE(bufferPixel(dib, 1, 0), qRgb(0, 0, 0));
    }

    void blitCopiesTheSourceRectangleToTheTopLeft()
    {
        const QImage source = patterned(10, 8);
        cDIBSection dib;
        QVERIFY(dib.Create(4, 3));
        dib.LoadPictureBlt(source, 5, 2, -1, -1); // -1: the buffer's own size
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(bufferPixel(dib, x, y), source.pixel(5 + x, 2 + y) | 0xff000000u);
    }

    void blitSkipsWhatLiesOutside()
    {
        QImage source(4, 4, QImage::Format_RGB32);
        source.fill(qRgb(9, 9, 9));
        cDIBSection dib;
        QVERIFY(dib.Create(4, 4));
        dib.LoadPictureBlt(source, -2, 2, 4, 4); // covers only columns 2-3, rows 0-1 of the buffer
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(bufferPixel(dib, x, y), (x >= 2 && y < 2) ? qRgb(9, 9, 9) : qRgb(0, 0, 0));
        dib.LoadPictureBlt(source, 100, 100, -1, -1); // nothing in range: nothing happens
        dib.LoadPictureBlt(QImage(), 0, 0, -1, -1);
        QCOMPARE(bufferPixel(dib, 3, 0), qRgb(9, 9, 9));
    }

    void nullPictureMakesNoBuffer()
    {
        cDIBSection dib;
        QVERIFY(!dib.CreateFromPicture(QImage()));
        QVERIFY(!dib.DIBSectionBitsPtr());
    }
};

QTEST_GUILESS_MAIN(TestDIBSection)
#include "tst_cdibsection.moc"
