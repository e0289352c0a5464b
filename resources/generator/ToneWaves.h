#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// The twelve key tones as complete RIFF/WAVE files: 80 ms of 8 kHz mono
// unsigned 8-bit PCM holding the key's two DTMF frequencies (ITU-T Q.23).
namespace ToneWaves {

struct Key {
    QString file;  // "TONE0.WAV" ... "TONESTAR.WAV", "TONEPND.WAV"
    int low;       // Hz, 697/770/852/941
    int high;      // Hz, 1209/1336/1477
};

QList<Key> keys();
QByteArray wave(const Key &key);
// Writes every tone into FOLDER; false when a file cannot be written.
bool writeAll(const QString &folder);

} // namespace ToneWaves
