#include "account/ServerAddress.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr qsizetype kMaxHostLength = 253; // a DNS name's own bound

const QString &forms()
{
    static const QString text = QStringLiteral(
        "Type the server as provider.example or provider.example:5060, or as sips:provider.example "
        "for a secure (TLS) connection.");
    return text;
}

std::nullopt_t refuse(QString *why, const QString &what)
{
    if (why)
        *why = what + QLatin1Char(' ') + forms();
    return std::nullopt;
}

bool asciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

bool digitsOnly(const QString &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Four decimal numbers 0..255, no leading zeros (which some resolvers read
// as octal); not an address no server can have (0.x, multicast and above).
bool ipv4(const QString &host)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        if (!digitsOnly(p) || p.size() > 3 || (p.size() > 1 && p.startsWith(QLatin1Char('0'))) || p.toInt() > 255)
            return false;
    }
    const int first = parts.first().toInt();
    return first != 0 && first < 224;
}

// Letters, digits and inner hyphens, 1..63 to a label; not all digits at
// the end (that would be a mistyped address).
bool domainName(const QString &host)
{
    if (host.isEmpty() || host.size() > kMaxHostLength)
        return false;
    const QStringList labels = host.split(QLatin1Char('.'));
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')) || label.endsWith(QLatin1Char('-')))
            return false;
        if (!std::all_of(label.begin(), label.end(), [](QChar c) { return asciiAlnum(c) || c == u'-'; }))
            return false;
    }
    return !digitsOnly(labels.last());
}

} // namespace

QString ServerAddress::domain() const
{
    return port > 0 ? host + QLatin1Char(':') + QString::number(port) : host;
}

QString ServerAddress::connectTo() const
{
    if (tls())
        return host + QLatin1Char(':') + QString::number(port > 0 ? port : kTlsPort);
    return domain();
}

QString ServerAddress::callUri(const QString &number) const
{
    const QString uri = QStringLiteral("sip:") + number + QLatin1Char('@') + connectTo();
    return tls() ? uri + QStringLiteral(";transport=tls") : uri;
}

std::optional<ServerAddress> ServerAddress::Parse(const QString &text, QString *why)
{
    if (text.isEmpty())
        return refuse(why, QStringLiteral("The server address is empty."));
    if (text.size() > kMaxHostLength + 16)
        return refuse(why, QStringLiteral("The server address is too long."));
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; }))
        return refuse(why, QStringLiteral("The server address has a blank or a control character in it."));

    ServerAddress out;
    QString rest = text;
    if (rest.startsWith(QLatin1String("sips:"), Qt::CaseInsensitive)) {
        out.transport = Transport::Tls;
        rest = rest.mid(5);
    } else if (rest.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive)) {
        return refuse(why, QStringLiteral("Leave out \"sip:\": the phone adds it."));
    }
    if (rest.contains(QLatin1Char(';')) || rest.contains(QLatin1Char('?')))
        return refuse(why, QStringLiteral("Settings after \";\" are not taken (for TLS, type sips: before the server)."));
    if (rest.contains(QLatin1Char('@')))
        return refuse(why, QStringLiteral("Type only the server, without an account name and \"@\" before it."));
    if (rest.contains(QLatin1Char('/')))
        return refuse(why, QStringLiteral("A web address or a path is not a SIP server."));
    if (rest.startsWith(QLatin1Char('[')) || rest.count(QLatin1Char(':')) > 1)
        return refuse(why, QStringLiteral("IPv6 addresses are not supported: type the server's name or IPv4 address."));

    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    QString host = colon < 0 ? rest : rest.left(colon);
    if (colon >= 0) {
        const QString port = rest.mid(colon + 1);
        bool ok = false;
        const int value = digitsOnly(port) && port.size() <= 5 ? port.toInt(&ok) : 0;
        if (!ok || value < 1 || value > 65535)
            return refuse(why, QStringLiteral("The port after \":\" must be a number from 1 to 65535."));
        out.port = value;
    }
    if (!ipv4(host) && !domainName(host))
        return refuse(why, QStringLiteral("\"%1\" is not a server name or IPv4 address.").arg(host.left(64)));
    out.host = host;
    return out;
}

ServerAddress ServerAddress::FromStored(const QString &text)
{
    if (auto parsed = Parse(text))
        return *parsed;
    ServerAddress raw;
    raw.host = text;
    return raw;
}
