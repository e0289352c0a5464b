#pragma once
#include <QChar>
#include <QString>

// The dialling characters (0-9, * and #): their tones, and what a character
// typed into the number box does.
namespace NumberKeys {

// The tone name of a dialling character ("Tone5.wav", "Tonestar.wav",
// "Tonepnd.wav"); empty for any other.
QString ToneName(QChar c);
// Whether every character can go into a request URI as a number.
bool IsDiallable(const QString &number);
// The longest number the box takes: room for an international number with
// its prefix and service codes, and short enough that its tones play out in
// a few seconds.
constexpr int kMaxLength = 32;

enum class Action {
    Refuse, // not a dialling key: warn and discard
    Dial,   // Enter with ten or more characters: discard it and dial
    Tone,   // a dialling character: sound it, then let it in
    Edit,   // Backspace, Delete, Tab, Escape: edit the box or move on, silently
    Ignore, // Enter with fewer than ten characters, or a full box: nothing
};

// c: the typed character; length: the box's text before the key applies.
Action Classify(QChar c, int length);

} // namespace NumberKeys
