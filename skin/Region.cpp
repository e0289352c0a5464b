#include "skin/Region.h"

#include "skin/RegionBands.h"
#include "skin/RowScanner.h"

#include <QPainter>
#include <QWidget>
#include <cmath>

void Region::ScanPicture(const QImage &picture, quint32 &transColor)
{
    hndRegion = QRegion();
    if (!dib_)
        dib_ = std::make_unique<cDIBSection>();
    if (!dib_->CreateFromPicture(picture))
        return;
    const qint32 W = dib_->Width();
    const qint32 H = dib_->Height();
    const std::optional<qint32> S = dib_->BytesPerScanLine();
    const uchar *bits = dib_->DIBSectionBitsPtr();
    if (!S || !bits)
        return;

    if (transColor == 1)
        transColor = PixelAt(bits); // memory row 0 is the picture's bottom row
    const quint32 key = transColor;

    // Runs of non-key pixels per row. The loops stop at the row's last pixel
    // (byte offset L), so that column never joins a run.
    const qint64 L = qint64(W) * 3 - 3;
    const RowScanner scanner(key, L);
    RegionBands bands;
    for (qint32 y = 0; y < H; ++y) {
        const uchar *row = bits + qint64(y) * *S;
        bands.BeginRow(H - 1 - y);
        qint64 x = -3;
        do {
            x += 3;
            x = scanner.SkipKey(row, x);
            const qint64 start = x / 3;
            x = scanner.SkipOther(row, x);
            const qint64 end = x / 3;
            bands.AddRun(int(start), int(end)); // a run starting on the last pixel is empty
        } while (x < L);
        bands.EndRow();
    }
    hndRegion = bands.ToRegion();
}

QPoint Region::HeaderOffset(const QSize &outer, const QSize &client)
{
    const int bx = int(std::nearbyint((outer.width() - client.width()) / 2.0)); // half to even
    const int by = outer.height() - client.height() - bx;
    return {bx, by};
}

void Region::OffsetHeader(QWidget *tmpForm)
{
    if (!tmpForm || tmpForm->windowFlags().testFlag(Qt::FramelessWindowHint))
        return;
    hndRegion.translate(HeaderOffset(tmpForm->frameGeometry().size(), tmpForm->size()));
}

void Region::ApplyRgn(QWidget *hwnd) const
{
    if (!hwnd)
        return;
    // hndRegion is in window coordinates (frame included), a Qt mask in
    // client coordinates: take the frame back off.
    QRegion copy = hndRegion.translated(hwnd->frameGeometry().topLeft() - hwnd->geometry().topLeft());
    if (copy.isEmpty()) {
        // Qt reads an empty mask as "no mask"; a region outside the window
        // keeps the meaning "nothing of the window is visible".
        copy = QRegion(-1, -1, 1, 1);
    }
    hwnd->setMask(copy);
}

QImage Region::CutPicture(const QImage &picture, const QSize &canvas) const
{
    QImage cut(picture.size().expandedTo(canvas), QImage::Format_ARGB32_Premultiplied);
    if (cut.isNull())
        return cut;
    cut.fill(Qt::transparent);
    QPainter p(&cut);
    p.setClipRegion(hndRegion);
    // Opaque inside: a skin with alpha of its own keeps none of it, as the
    // shape keeps none.
    p.drawImage(0, 0, picture.convertToFormat(QImage::Format_RGB32));
    return cut;
}
