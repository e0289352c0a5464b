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
    const bool backspace = c == QChar(8);
    const bool dialling = !ToneName(c).isEmpty();
    if (!dialling && !enter && !backspace)
        return Action::Refuse;
    if (length > 9 && enter)
        return Action::Dial;
    if (dialling)
        return Action::Tone;
    return backspace ? Action::Edit : Action::Ignore;
}

} // namespace NumberKeys
