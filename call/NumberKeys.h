#pragma once
#include <QChar>
#include <QString>

// What a character typed into the number box does.
namespace NumberKeys {

enum class Action {
    Refuse, // not a dialling key: warn and discard
    Dial,   // Enter with ten or more characters: discard it and dial
    Tone,   // a dialling character: sound it, then let it in
    Edit,   // Backspace: let it edit the box, silently
    Ignore, // Enter with fewer than ten characters: nothing
};

// c: the typed character; length: the box's text before the key applies.
Action Classify(QChar c, int length);

} // namespace NumberKeys
