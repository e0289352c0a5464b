#include "resources/generator/ToneWaves.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ToneWaves {

namespace {
constexpr int rate = 8000;
constexpr int samples = 640;        // 80 ms
constexpr double amplitude = 32.0;  // per component: the sum peaks at about +-64

void putU32(QByteArray &b, quint32 v)
{
    char raw[4];
    qToLittleEndian(v, raw);
    b.append(raw, 4);
}
void putU16(QByteArray &b, quint16 v)
{
    char raw[2];
    qToLittleEndian(v, raw);
    b.append(raw, 2);
}
} // namespace

QList<Key> keys()
{
    return {
        {"TONE1.WAV", 697, 1209}, {"TONE2.WAV", 697, 1336}, {"TONE3.WAV", 697, 1477},
        {"TONE4.WAV", 770, 1209}, {"TONE5.WAV", 770, 1336}, {"TONE6.WAV", 770, 1477},
        {"TONE7.WAV", 852, 1209}, {"TONE8.WAV", 852, 1336}, {"TONE9.WAV", 852, 1477},
        {"TONESTAR.WAV", 941, 1209}, {"TONE0.WAV", 941, 1336}, {"TONEPND.WAV", 941, 1477},
    };
}

QByteArray wave(const Key &key)
{
    QByteArray b;
    b.append("RIFF");
    putU32(b, 4 + (8 + 16) + (8 + samples));
    b.append("WAVE");
    b.append("fmt ");
    putU32(b, 16);
    putU16(b, 1);     // PCM
    putU16(b, 1);     // mono
    putU32(b, rate);
    putU32(b, rate);  // bytes per second
    putU16(b, 1);     // block align
    putU16(b, 8);     // bits per sample
    b.append("data");
    putU32(b, samples);
    const double w1 = 2 * M_PI * key.low / rate, w2 = 2 * M_PI * key.high / rate;
    for (int n = 0; n < samples; ++n) {
        const double v = 128.0 + amplitude * (std::sin(w1 * n) + std::sin(w2 * n));
        b.append(char(std::clamp(int(std::lround(v)), 0, 255)));
    }
    return b;
}

bool writeAll(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "skingen: cannot create %s\n", qPrintable(folder));
        return false;
    }
    bool ok = true;
    for (const Key &k : keys()) {
        QFile f(folder + "/" + k.file);
        if (!f.open(QIODevice::WriteOnly) || f.write(wave(k)) != 684) {
            std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(f.fileName()));
            ok = false;
        }
    }
    return ok;
}

} // namespace ToneWaves
