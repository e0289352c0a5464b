#pragma once
#include <QtEndian>
#include <QtGlobal>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A pixel's three bytes packed with the first byte lowest. The buffer keeps
// spare bytes after its last pixel, so the fourth byte read is always ours.
inline quint32 PixelAt(const uchar *p)
{
    quint32 v;
    std::memcpy(&v, p, sizeof v);
    return qFromLittleEndian(v) & 0xFFFFFFu;
}

// Finds the ends of runs along one row of the buffer. Blocks of four pixels
// are compared at once where the processor allows; each answer is the same
// as stepping pixel by pixel.
class RowScanner {
public:
    // lastPixel: byte offset of the last pixel of a row (width × 3 − 3).
    RowScanner(quint32 key, qint64 lastPixel) : key_(key), L_(lastPixel)
    {
#if defined(__SSE2__)
        blocks_ = key <= 0xFFFFFFu; // a key with higher bits matches no pixel
        uchar pattern[16];
        for (int i = 0; i < 16; ++i)
            pattern[i] = uchar(key >> (8 * (i % 3)));
        pattern_ = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pattern));
#endif
    }

    // From byte offset x, steps over key pixels while x < L.
    qint64 SkipKey(const uchar *row, qint64 x) const
    {
#if defined(__SSE2__)
        if (blocks_) {
            for (; x + 9 < L_; x += 12) {
                if (const unsigned other = ~keyBits(row + x) & 0x249u)
                    return x + std::countr_zero(other);
            }
        }
#endif
        while (x < L_ && PixelAt(row + x) == key_)
            x += 3;
        return x;
    }

    // From byte offset x, steps over pixels other than the key while x < L.
    qint64 SkipOther(const uchar *row, qint64 x) const
    {
#if defined(__SSE2__)
        if (blocks_) {
            for (; x + 9 < L_; x += 12) {
                if (const unsigned keys = keyBits(row + x))
                    return x + std::countr_zero(keys);
            }
        }
#endif
        while (x < L_ && PixelAt(row + x) != key_)
            x += 3;
        return x;
    }

private:
#if defined(__SSE2__)
    // Bit 3i set when pixel i of the four at p has the key. Reads 16 bytes;
    // callers stay 4 bytes short of the buffer's end.
    unsigned keyBits(const uchar *p) const
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern_)));
        return m & (m >> 1) & (m >> 2) & 0x249u;
    }
    __m128i pattern_;
    bool blocks_ = false;
#endif
    quint32 key_;
    qint64 L_;
};
