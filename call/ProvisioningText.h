#pragma once
#include "account/ServerAddress.h"

#include <QString>

// The provisioning text that describes the account to the RTC client.
namespace ProvisioningText {

// The profile key, the same in every profile.
inline const QString kProfileKey = QStringLiteral("3f1c9a52-7d4e-4b8a-9c61-0e2f5b7d8a13");

// accountId: the user part of the SIP address; callerName: the caller-ID
// name; server: the registrar and proxy, host[:port]. Every value is escaped for an XML attribute, so whatever a user types the
// text stays well formed.
QString Build(const QString &accountId, const QString &callerName, const QString &password, const QString &server);
// The same for a server read from the account's field: the account's
// address names the server as typed, the registrar and proxy where the
// phone connects (host:port, the port always named for TLS), over the
// field's transport.
QString Build(const QString &accountId, const QString &callerName, const QString &password,
              const ServerAddress &server);

// &, <, >, " and ' as entities, tab and line breaks as character
// references; characters XML cannot carry at all are left out.
QString EscapeAttribute(const QString &value);

} // namespace ProvisioningText
