#include "call/NumberKeys.h"

namespace NumberKeys {

QString ToneName(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return QStringLiteral("Tone%1.wav").arg(c);
    if (c == QLatin1Char('*'))
        return QStringLiteral("Tonestar.wav");
    if (c == QLatin1Char('#'))
        return QStringLiteral("Tonepnd.wav");
    return QString();
}

bool IsDiallable(const QString &number)
{
    if (number.isEmpty())
        return false;
    for (const QChar c : number)
        if (ToneName(c).isEmpty())
            return false;
    return true;
}

Action Classify(QChar c, int length)
{
    const bool enter = c == QChar(13);
    // Delete, Tab and Escape carry a control character as their text, yet
    // none puts one in the box: they edit or move on, like Backspace.
    const bool editing = c == QChar(8) || c == QChar(0x7F) || c == QChar(9) || c == QChar(0x1B);
    const bool dialling = !ToneName(c).isEmpty();
    if (!dialling && !enter && !editing)
        return Action::Refuse;
    if (length > 9 && enter)
        return Action::Dial;
    if (dialling)
        return length < kMaxLength ? Action::Tone : Action::Ignore;
    return editing ? Action::Edit : Action::Ignore;
}

} // namespace NumberKeys
