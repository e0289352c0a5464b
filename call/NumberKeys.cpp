#include "call/NumberKeys.h"

#include "call/CallControl.h"

namespace NumberKeys {

Action Classify(QChar c, int length)
{
    const bool enter = c == QChar(13);
    const bool backspace = c == QChar(8);
    const bool dialling = !CallControl::ToneName(c).isEmpty();
    if (!dialling && !enter && !backspace)
        return Action::Refuse;
    if (length > 9 && enter)
        return Action::Dial;
    if (dialling)
        return Action::Tone;
    return backspace ? Action::Edit : Action::Ignore;
}

} // namespace NumberKeys
