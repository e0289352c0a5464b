#include "call/ProvisioningText.h"

namespace ProvisioningText {

QString EscapeAttribute(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        // A parser folds raw tabs and line breaks in a value to blanks.
        case '\t': out += QLatin1String("&#9;"); break;
        case '\n': out += QLatin1String("&#10;"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        default:
            if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
                out += c;
                out += value.at(++i);
            } else if (c.unicode() >= 0x20 && !c.isSurrogate() && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF) {
                out += c;
            }
            // Anything else (other control characters, broken surrogates)
            // cannot be carried by XML at all and is left out.
        }
    }
    return out;
}

QString Build(const QString &accountId, const QString &callerName, const QString &password, const QString &server)
{
    ServerAddress udp;
    udp.host = server; // as it stands
    return Build(accountId, callerName, password, udp);
}

QString Build(const QString &accountId, const QString &callerName, const QString &password,
              const ServerAddress &server)
{
    const QString a = EscapeAttribute(accountId);
    const QString u = EscapeAttribute(callerName);
    const QString p = EscapeAttribute(password);
    const QString s = EscapeAttribute(server.domain());
    const QString addr = EscapeAttribute(server.connectTo());
    const QString sipsrv = QStringLiteral("<sipsrv addr=\"") + addr + QStringLiteral("\" protocol=\"")
                           + server.protocol() + QStringLiteral("\" auth=\"digest\" role=\"");
    const QString session = QStringLiteral("<session party=\"first\" type=\"pc2ph\" />");
    return QStringLiteral("<provision key=\"") + kProfileKey + QStringLiteral("\" name=\"") + a
           + QStringLiteral("\" expires=\"200\"><user account=\"") + u + QStringLiteral("\" name=\"") + a
           + QStringLiteral("\" password=\"") + p + QStringLiteral("\" uri=\"sip:") + a + QLatin1Char('@') + s
           + QStringLiteral("\" /> ") + sipsrv + QStringLiteral("registrar\">") + session
           + QStringLiteral("</sipsrv>") + sipsrv + QStringLiteral("proxy\">") + session
           + QStringLiteral("</sipsrv><provider calldisplay=\"sip:") + a + QLatin1Char('@') + s
           + QStringLiteral("\" /></provision>");
}

} // namespace ProvisioningText
