#include "skin/cDIBSection.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Formats copied directly; anything else is converted to ARGB32 first.
bool copiedDirectly(QImage::Format f)
{
    switch (f) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_Indexed8:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return true;
    default:
        return false;
    }
}

// Writes four colours as twelve blue-green-red bytes with three word stores,
// which keeps the copy of a large picture near memory speed.
inline void storeFour(uchar *dest, QRgb c0, QRgb c1, QRgb c2, QRgb c3)
{
    const quint32 w0 = qToLittleEndian((c0 & 0xffffffu) | c1 << 24);
    const quint32 w1 = qToLittleEndian(((c1 >> 8) & 0xffffu) | c2 << 16);
    const quint32 w2 = qToLittleEndian(((c2 >> 16) & 0xffu) | c3 << 8);
    std::memcpy(dest, &w0, 4); // one store each: no staging through the stack
    std::memcpy(dest + 4, &w1, 4);
    std::memcpy(dest + 8, &w2, 4);
}

inline void storeOne(uchar *dest, QRgb c)
{
    dest[0] = uchar(c);
    dest[1] = uchar(c >> 8);
    dest[2] = uchar(c >> 16);
}

} // namespace

std::optional<qint32> cDIBSection::BytesPerScanLineFor(qint32 width)
{
    const qint64 bytes = qint64(width) * 3 + 3;
    if (bytes > std::numeric_limits<qint32>::max() || bytes < std::numeric_limits<qint32>::min())
        return std::nullopt;
    return qint32(bytes & ~qint64(3));
}

bool cDIBSection::Create(qint32 lWidth, qint32 lHeight)
{
    return allocate(lWidth, lHeight, true);
}

bool cDIBSection::CreateDIB(qint32 lWidth, qint32 lHeight)
{
    return allocate(lWidth, lHeight, true);
}

bool cDIBSection::allocate(qint32 lWidth, qint32 lHeight, bool zeroed)
{
    bits_ = nullptr;
    header_ = BitmapInfoHeader{};
    header_.biSize = 40;
    header_.biWidth = lWidth;
    header_.biHeight = lHeight; // positive: bottom-up rows
    header_.biPlanes = 1;
    header_.biBitCount = 24;
    const std::optional<qint32> stride = BytesPerScanLine();
    const qint64 size = stride ? qint64(*stride) * lHeight : -1;
    if (lWidth <= 0 || lHeight <= 0 || size < 0 || size > std::numeric_limits<qint32>::max()) {
        ClearUp(); // biSizeImage is 32-bit
        return false;
    }
    header_.biSizeImage = qint32(size);
    const size_t bytes = size_t(size) + kTailBytes;
    if (memory_ && capacity_ >= bytes) {
        // Memory already touched is much cheaper than fresh pages.
        if (zeroed)
            std::memset(memory_.get(), 0, bytes);
    } else {
        ClearUp();
        // calloc: fresh memory comes zeroed from the system at no extra cost.
        memory_.reset(static_cast<uchar *>(std::calloc(bytes, 1)));
        if (!memory_)
            return false;
        capacity_ = bytes;
    }
    bits_ = memory_.get();
    return true;
}

bool cDIBSection::CreateFromPicture(const QImage &picThis)
{
    if (picThis.isNull())
        return false;
    // Every pixel is written below; only the row padding needs clearing.
    if (!allocate(picThis.width(), picThis.height(), false))
        return false;
    const qint32 stride = *BytesPerScanLine();
    const qint32 used = Width() * 3;
    for (qint32 y = 0; y < Height(); ++y)
        std::memset(bits_ + qint64(y) * stride + used, 0, size_t(stride - used));
    std::memset(bits_ + header_.biSizeImage, 0, kTailBytes);
    LoadPictureBlt(picThis, 0, 0, -1, -1);
    return true;
}

void cDIBSection::LoadPictureBlt(const QImage &source, qint32 lSrcLeft, qint32 lSrcTop, qint32 lSrcWidth,
                                 qint32 lSrcHeight)
{
    if (!bits_ || source.isNull())
        return;
    const qint64 w = lSrcWidth < 0 ? Width() : lSrcWidth;
    const qint64 h = lSrcHeight < 0 ? Height() : lSrcHeight;
    // Clip to the source picture and to the buffer (destination at 0, 0).
    const qint64 x0 = std::max<qint64>(lSrcLeft, 0);
    const qint64 y0 = std::max<qint64>(lSrcTop, 0);
    const qint64 x1 = std::min<qint64>({qint64(lSrcLeft) + w, source.width(), qint64(lSrcLeft) + Width()});
    const qint64 y1 = std::min<qint64>({qint64(lSrcTop) + h, source.height(), qint64(lSrcTop) + Height()});
    if (x1 <= x0 || y1 <= y0)
        return;
    const int count = int(x1 - x0);
    const qint32 stride = *BytesPerScanLine(); // a created buffer's width always fits

    QImage converted;
    const QImage *from = &source;
    int fromX = int(x0), fromY = int(y0);
    if (!copiedDirectly(source.format())) {
        // The system's conversion; colours keep their RGB whatever the alpha.
        converted = source.copy(int(x0), int(y0), count, int(y1 - y0)).convertToFormat(QImage::Format_ARGB32);
        from = &converted;
        fromX = fromY = 0;
    }
    // Indices beyond the colour table read as black.
    QRgb table[256] = {};
    if (from->format() == QImage::Format_Indexed8) {
        const QList<QRgb> colours = from->colorTable();
        std::copy_n(colours.begin(), std::min<qsizetype>(colours.size(), 256), table);
    }
    for (qint64 sy = y0; sy < y1; ++sy) {
        const qint64 destImageRow = sy - lSrcTop;
        uchar *dest = bits_ + qint64(Height() - 1 - destImageRow) * stride + (x0 - lSrcLeft) * 3;
        copyRow(*from, table, fromX, int(fromY + (sy - y0)), count, dest);
    }
}

void cDIBSection::copyRow(const QImage &source, const QRgb *table, int srcX, int srcY, int count, uchar *dest)
{
    const uchar *src = source.constScanLine(srcY);
    switch (source.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32: {
        const QRgb *p = reinterpret_cast<const QRgb *>(src) + srcX;
        int i = 0;
        for (; i + 4 <= count; i += 4, dest += 12)
            storeFour(dest, p[i], p[i + 1], p[i + 2], p[i + 3]);
        for (; i < count; ++i, dest += 3)
            storeOne(dest, p[i]);
        break;
    }
    case QImage::Format_Indexed8: {
        const uchar *p = src + srcX;
        int i = 0;
        for (; i + 4 <= count; i += 4, dest += 12)
            storeFour(dest, table[p[i]], table[p[i + 1]], table[p[i + 2]], table[p[i + 3]]);
        for (; i < count; ++i, dest += 3)
            storeOne(dest, table[p[i]]);
        break;
    }
    case QImage::Format_RGB888: {
        const uchar *p = src + qsizetype(srcX) * 3;
        for (int i = 0; i < count; ++i, dest += 3, p += 3) {
            dest[0] = p[2];
            dest[1] = p[1];
            dest[2] = p[0];
        }
        break;
    }
    case QImage::Format_BGR888:
        std::memcpy(dest, src + qsizetype(srcX) * 3, size_t(count) * 3);
        break;
    default:
        break;
    }
}

void cDIBSection::ClearUp()
{
    bits_ = nullptr;
    memory_.reset();
    capacity_ = 0;
}
