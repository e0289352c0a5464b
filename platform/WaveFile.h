#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// The PCM samples and format of a RIFF/WAVE file.
struct WavePcm {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;  // 8 (unsigned) or 16 (signed)
    QByteArray samples;
};

// Reads uncompressed PCM (8 or 16 bits, 1 or 2 channels). Anything else,
// or a file cut short or inconsistent, gives nullopt and a reason in *why.
std::optional<WavePcm> parseWave(const QByteArray &bytes, QString *why = nullptr);

} // namespace platform
