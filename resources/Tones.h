#pragma once
#include <QByteArray>
#include <QString>

// The twelve key tones, compiled in as Qt resources ":/tones/TONE0.WAV" ...
// ":/tones/TONE9.WAV", ":/tones/TONESTAR.WAV", ":/tones/TONEPND.WAV":
// complete WAVE files, found by tone name without regard to case.
namespace Tones {

// ":/tones/TONE0.WAV" for "Tone0.wav"; empty when no tone has that name.
QString resourcePath(const QString &toneName);
// The WAVE file's bytes; empty when no tone has that name.
QByteArray load(const QString &toneName);

} // namespace Tones
