#include "platform/WaveFile.h"

#include <QtEndian>

namespace platform {

namespace {
quint32 u32(const char *p) { return qFromLittleEndian<quint32>(p); }
quint16 u16(const char *p) { return qFromLittleEndian<quint16>(p); }

std::optional<WavePcm> refuse(QString *why, const char *reason)
{
    if (why)
        *why = QString::fromLatin1(reason);
    return std::nullopt;
}
} // namespace

std::optional<WavePcm> parseWave(const QByteArray &bytes, QString *why)
{
    const qsizetype size = bytes.size();
    const char *d = bytes.constData();
    if (size < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return refuse(why, "not a RIFF/WAVE file");
    // The RIFF size may only claim less than is there, never more.
    const qsizetype end = std::min<qsizetype>(size, qsizetype(u32(d + 4)) + 8);

    WavePcm out;
    bool haveFormat = false;
    for (qsizetype pos = 12; pos + 8 <= end;) {
        const QByteArray id(d + pos, 4);
        const qsizetype len = u32(d + pos + 4);
        const qsizetype body = pos + 8;
        if (len > end - body)
            return refuse(why, "chunk runs past the end of the file");
        if (id == "fmt ") {
            if (len < 16)
                return refuse(why, "format chunk too short");
            const quint16 tag = u16(d + body), channels = u16(d + body + 2);
            const quint32 rate = u32(d + body + 4), byteRate = u32(d + body + 8);
            const quint16 align = u16(d + body + 12), bits = u16(d + body + 14);
            if (tag != 1)
                return refuse(why, "not PCM");
            if (channels < 1 || channels > 2 || (bits != 8 && bits != 16))
                return refuse(why, "unsupported channels or sample size");
            if (rate < 1000 || rate > 192000 || align != channels * bits / 8 || byteRate != rate * align)
                return refuse(why, "inconsistent format fields");
            out.sampleRate = int(rate);
            out.channels = channels;
            out.bitsPerSample = bits;
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return refuse(why, "data before format");
            const int align = out.channels * out.bitsPerSample / 8;
            if (len == 0 || len % align != 0)
                return refuse(why, "no whole samples");
            out.samples = bytes.mid(body, len);
            return out;
        }
        pos = body + len + (len & 1);  // chunks are padded to even sizes
    }
    return refuse(why, haveFormat ? "no data chunk" : "no format chunk");
}

} // namespace platform
