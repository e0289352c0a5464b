#include "rtc/ProvisioningParser.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace rtc {

namespace {

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

// host or host:port, port 1..65535: a host name, an IPv4 address or an
// IPv6 address in brackets. Nothing that would add parameters or headers to
// the URIs built from it (";", "?", "@", "<", blanks).
bool validServerAddress(const QString &addr)
{
    static const QRegularExpression hostPort(QStringLiteral(
        R"(^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9]([A-Za-z0-9._-]*[A-Za-z0-9])?)(:([0-9]{1,5}))?$)"));
    const QRegularExpressionMatch m = hostPort.match(addr);
    if (!m.hasMatch())
        return false;
    if (m.capturedLength(4) == 0)
        return true;
    const int port = m.captured(4).toInt();
    return port > 0 && port <= 65535;
}

// The characters a SIP user part may hold as they stand.
bool validUser(const QString &user)
{
    static const QRegularExpression userPart(QStringLiteral(R"(^[A-Za-z0-9\-_.!~*'()&=+$,%/]+$)"));
    return userPart.match(user).hasMatch();
}

// sip:user@host[:port][;params] with a non-empty user and host.
bool validUserUri(const QString &uri)
{
    if (!uri.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive))
        return false;
    QString rest = uri.mid(4);
    const qsizetype semicolon = rest.indexOf(QLatin1Char(';'));
    if (semicolon >= 0)
        rest.truncate(semicolon);
    const qsizetype at = rest.indexOf(QLatin1Char('@'));
    if (at <= 0)
        return false;
    return validUser(rest.left(at)) && validServerAddress(rest.mid(at + 1));
}

bool readServer(const QXmlStreamAttributes &attrs, SipServerData *server, const QString &role,
                QString *error)
{
    server->addr = attrs.value(QLatin1String("addr")).toString().trimmed();
    server->protocol = attrs.value(QLatin1String("protocol")).toString().trimmed().toUpper();
    server->auth = attrs.value(QLatin1String("auth")).toString().trimmed();
    if (server->protocol.isEmpty())
        server->protocol = QStringLiteral("UDP");
    if (!validServerAddress(server->addr))
        return fail(error, QStringLiteral("%1 address \"%2\" is not host[:port]").arg(role, server->addr));
    if (server->protocol != QLatin1String("UDP") && server->protocol != QLatin1String("TCP")
        && server->protocol != QLatin1String("TLS"))
        return fail(error, QStringLiteral("%1 protocol \"%2\" is not UDP, TCP or TLS").arg(role, server->protocol));
    return true;
}

} // namespace

bool ProvisioningParser::parse(const QString &text, ProvisioningData *data, QString *error)
{
    if (!data)
        return fail(error, QStringLiteral("no place for the result"));
    if (text.trimmed().isEmpty())
        return fail(error, QStringLiteral("provisioning text is empty"));
    if (text.size() > MaxTextLength)
        return fail(error, QStringLiteral("provisioning text is too long (%1 characters)").arg(text.size()));

    ProvisioningData out;
    bool sawUser = false;
    bool sawRegistrar = false;
    bool sawProxy = false;

    QXmlStreamReader xml(text);
    if (!xml.readNextStartElement()) {
        if (xml.hasError())
            return fail(error, QStringLiteral("not XML: %1").arg(xml.errorString()));
        return fail(error, QStringLiteral("no root element"));
    }
    if (xml.name() != QLatin1String("provision"))
        return fail(error, QStringLiteral("root element is <%1>, expected <provision>").arg(xml.name().toString()));

    const QXmlStreamAttributes root = xml.attributes();
    out.key = root.value(QLatin1String("key")).toString();
    out.name = root.value(QLatin1String("name")).toString();
    if (root.hasAttribute(QLatin1String("expires"))) {
        bool ok = false;
        out.expires = root.value(QLatin1String("expires")).toString().trimmed().toInt(&ok);
        if (!ok || out.expires <= 0)
            return fail(error, QStringLiteral("expires \"%1\" is not a positive number of seconds")
                                   .arg(root.value(QLatin1String("expires")).toString()));
    } else {
        out.expires = DefaultExpires;
    }

    // Only direct children of <provision> matter; anything nested deeper
    // (e.g. <session>) is skipped.
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes attrs = xml.attributes();
        if (xml.name() == QLatin1String("user")) {
            if (sawUser)
                return fail(error, QStringLiteral("more than one <user>"));
            sawUser = true;
            out.userUri = attrs.value(QLatin1String("uri")).toString().trimmed();
            out.userAccount = attrs.value(QLatin1String("account")).toString();
            out.userName = attrs.value(QLatin1String("name")).toString();
            out.password = attrs.value(QLatin1String("password")).toString();
        } else if (xml.name() == QLatin1String("sipsrv")) {
            const QString role = attrs.value(QLatin1String("role")).toString().trimmed().toLower();
            if (role == QLatin1String("registrar")) {
                if (sawRegistrar)
                    return fail(error, QStringLiteral("more than one registrar"));
                sawRegistrar = true;
                if (!readServer(attrs, &out.registrar, role, error))
                    return false;
            } else if (role == QLatin1String("proxy")) {
                if (sawProxy)
                    return fail(error, QStringLiteral("more than one proxy"));
                sawProxy = true;
                if (!readServer(attrs, &out.proxy, role, error))
                    return false;
            }
        } else if (xml.name() == QLatin1String("provider")) {
            out.callDisplay = attrs.value(QLatin1String("calldisplay")).toString();
        }
        xml.skipCurrentElement();
    }
    // Reading on to the end reports truncation and trailing garbage.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return fail(error, QStringLiteral("malformed XML at line %1, column %2: %3")
                               .arg(xml.lineNumber())
                               .arg(xml.columnNumber())
                               .arg(xml.errorString()));

    if (!sawUser || out.userUri.isEmpty())
        return fail(error, QStringLiteral("no user uri"));
    if (!validUserUri(out.userUri))
        return fail(error, QStringLiteral("user uri \"%1\" is not sip:user@host").arg(out.userUri));
    if (!sawRegistrar)
        return fail(error, QStringLiteral("no registrar"));

    *data = out;
    return true;
}

} // namespace rtc
