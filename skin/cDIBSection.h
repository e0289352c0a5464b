#pragma once
#include <QImage>
#include <QtGlobal>
#include <cstdlib>
#include <memory>
#include <optional>

// A 24-bit bottom-up pixel buffer: blue, green, red per pixel, each row padded
// to 4 bytes, memory row 0 holding the bottom row of the image. Pictures are
// copied in so their pixels can be read straight from memory.
class cDIBSection {
public:
    // Same fields and meaning as the system's BITMAPINFOHEADER.
    struct BitmapInfoHeader {
        qint32 biSize = 0;
        qint32 biWidth = 0;
        qint32 biHeight = 0;
        qint16 biPlanes = 0;
        qint16 biBitCount = 0;
        qint32 biCompression = 0;
        qint32 biSizeImage = 0;
        qint32 biXPelsPerMeter = 0;
        qint32 biYPelsPerMeter = 0;
        qint32 biClrUsed = 0;
        qint32 biClrImportant = 0;
    };

    cDIBSection() = default;
    ~cDIBSection() { ClearUp(); }
    cDIBSection(const cDIBSection &) = delete;
    cDIBSection &operator=(const cDIBSection &) = delete;

    // Makes a zeroed buffer of the size, in place of any previous one (whose
    // memory is reused when large enough); false, with no buffer, when the
    // size is not positive or the memory cannot be had.
    bool Create(qint32 lWidth, qint32 lHeight);
    // Fills the header and provides the pixel memory.
    bool CreateDIB(qint32 lWidth, qint32 lHeight);
    // Makes a buffer of the picture's size and copies the picture in.
    // False (and nothing copied) for a null picture or a failed allocation.
    bool CreateFromPicture(const QImage &picThis);
    // Copies the source rectangle to the buffer's top-left corner; a negative
    // width or height means the buffer's own. Parts outside either are skipped.
    void LoadPictureBlt(const QImage &source, qint32 lSrcLeft, qint32 lSrcTop, qint32 lSrcWidth,
                        qint32 lSrcHeight);

    // Width × 3 rounded up to a multiple of 4; nullopt when that does not fit
    // a 32-bit signed integer (widths above 715,827,881).
    std::optional<qint32> BytesPerScanLine() const { return BytesPerScanLineFor(header_.biWidth); }
    static std::optional<qint32> BytesPerScanLineFor(qint32 width);

    qint32 Width() const { return header_.biWidth; }
    qint32 Height() const { return header_.biHeight; }
    // The pixels; nullptr when there is no buffer. At least 4 bytes follow
    // the last pixel, so a 32-bit load of any pixel stays inside the buffer.
    const uchar *DIBSectionBitsPtr() const { return bits_; }
    static constexpr int kTailBytes = 4;
    const BitmapInfoHeader &Header() const { return header_; }
    void ClearUp();

private:
    struct FreeBits {
        void operator()(uchar *p) const { std::free(p); }
    };
    bool allocate(qint32 width, qint32 height, bool zeroed);
    static void copyRow(const QImage &source, const QRgb *table, int srcX, int srcY, int count, uchar *dest);

    std::unique_ptr<uchar, FreeBits> memory_;
    size_t capacity_ = 0; // bytes of memory_, tail included
    uchar *bits_ = nullptr; // memory_ while a buffer exists
    BitmapInfoHeader header_;
};
