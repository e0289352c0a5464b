#pragma once
// Reads the provisioning text a provider hands out (one <provision> element)
// into plain values. Knows nothing about any SIP stack.
#include <QString>

namespace rtc {

struct SipServerData {
    QString addr;     // host or host:port
    QString protocol; // UDP, TCP or TLS, upper case
    QString auth;     // e.g. digest
};

struct ProvisioningData {
    QString key;
    QString name;
    int expires = 0;      // registration lifetime in seconds
    QString userUri;      // address of record, sip:user@host[:port]
    QString userAccount;  // the caller-ID name callees are shown
    QString userName;     // the account the user signs in with
    QString password;
    SipServerData registrar;
    SipServerData proxy;  // addr empty when the text names no proxy
    QString callDisplay;
};

class ProvisioningParser {
public:
    // Provisioning texts are a few hundred bytes; anything past this is refused.
    static constexpr qsizetype MaxTextLength = 64 * 1024;
    static constexpr int DefaultExpires = 3600;

    // Fills *data and returns true, or returns false with a one-line reason in
    // *error (when given). Never throws.
    static bool parse(const QString &text, ProvisioningData *data, QString *error = nullptr);
};

} // namespace rtc
