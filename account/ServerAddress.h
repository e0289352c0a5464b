#pragma once
#include <QString>

#include <optional>

// What the server field of an account names: the provider's host, its port
// and the transport the phone speaks to it.
//   provider.example, provider.example:5070, 192.0.2.7   SIP over UDP
//   sips:provider.example, sips:provider.example:5063     SIP over TLS
// A name is looked up as written (no DNS service records for TLS: the
// certificate is checked against exactly what was typed).
struct ServerAddress {
    enum class Transport { Udp, Tls };
    static constexpr int kTlsPort = 5061;

    Transport transport = Transport::Udp;
    QString host; // a domain name or a dotted IPv4 address, as typed
    int port = 0; // 0: none typed

    bool tls() const { return transport == Transport::Tls; }
    // host[:port] as typed: the domain of the account's address.
    QString domain() const;
    // host:port the phone connects to; for TLS the port is always named.
    QString connectTo() const;
    // Where a number is called: sip:NUMBER@host[:port], over TLS with its
    // transport named, so the call takes the same way as the registration.
    QString callUri(const QString &number) const;
    // "UDP" or "TLS", as the provisioning text names the protocol.
    QString protocol() const { return tls() ? QStringLiteral("TLS") : QStringLiteral("UDP"); }

    // Reads the field; a value the phone cannot use gives none and, in
    // *why, a sentence that tells the user what to type instead.
    static std::optional<ServerAddress> Parse(const QString &text, QString *why = nullptr);
    // What the phone uses for a value it has stored: the field read as
    // above, or (for anything an earlier version accepted and stored) the
    // text taken as it stands, over UDP, as that version did.
    static ServerAddress FromStored(const QString &text);
};
