#include "call/DialLink.h"
#include "call/NumberKeys.h"

#include <QUrl>

namespace DialLink {

QString Number(const QString &link)
{
    QString s = link.trimmed();
    const int colon = s.indexOf(QLatin1Char(':'));
    const QString scheme = colon > 0 ? s.left(colon).toLower() : QString();
    const bool sip = scheme == QLatin1String("sip") || scheme == QLatin1String("sips");
    if (sip || scheme == QLatin1String("tel"))
        s = s.mid(colon + 1);
    // Browsers hand links over percent-encoded ("tel:+49%2030%20123").
    s = QUrl::fromPercentEncoding(s.toUtf8());
    if (sip) {
        // sip:user[:password]@host[;params][?headers]: a link without a user
        // names a host, not a number.
        const int at = s.indexOf(QLatin1Char('@'));
        if (at < 0)
            return {};
        s.truncate(at);
        const int password = s.indexOf(QLatin1Char(':'));
        if (password >= 0)
            s.truncate(password);
    }
    // tel:number[;params], and a sip: user's own parameters (;user=phone).
    const int params = s.indexOf(QLatin1Char(';'));
    if (params >= 0)
        s.truncate(params);

    QString number;
    for (const QChar c : s) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('(')
            || c == QLatin1Char(')'))
            continue;
        if (c == QLatin1Char('+') && number.isEmpty())
            number += QLatin1String("00");
        else
            number += c;
    }
    if (number.isEmpty() || number.size() > NumberKeys::kMaxLength || !NumberKeys::IsDiallable(number))
        return {};
    return number;
}

} // namespace DialLink
