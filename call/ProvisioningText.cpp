#include "ProvisioningText.h"

namespace ProvisioningText {

QString EscapeAttribute(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default:
            // Tabs and line breaks would be folded to blanks by a parser;
            // keep them as references so the value arrives unchanged.
            if (c.unicode() < 0x20)
                out += QStringLiteral("&#%1;").arg(c.unicode());
            else
                out += c;
        }
    }
    return out;
}

QString Build(const QString &account, const QString &user, const QString &password, const QString &sip)
{
    const QString a = EscapeAttribute(account);
    const QString u = EscapeAttribute(user);
    const QString p = EscapeAttribute(password);
    const QString s = EscapeAttribute(sip);
    const QString session = QStringLiteral("<session party=\"first\" type=\"pc2ph\" />");
    return QStringLiteral("<provision key=\"") + kProfileKey + QStringLiteral("\" name=\"") + a
           + QStringLiteral("\" expires=\"200\"><user account=\"") + u + QStringLiteral("\" name=\"") + a
           + QStringLiteral("\" password=\"") + p + QStringLiteral("\" uri=\"sip:") + a + QLatin1Char('@') + s
           + QStringLiteral("\" /> <sipsrv addr=\"") + s
           + QStringLiteral("\" protocol=\"UDP\" auth=\"digest\" role=\"registrar\">") + session
           + QStringLiteral("</sipsrv><sipsrv addr=\"") + s
           + QStringLiteral("\" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">") + session
           + QStringLiteral("</sipsrv><provider calldisplay=\"sip:") + a + QLatin1Char('@') + s
           + QStringLiteral("\" /></provision>");
}

} // namespace ProvisioningText
