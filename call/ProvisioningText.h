#pragma once
#include <QString>

// The provisioning text that describes the account to the RTC client.
namespace ProvisioningText {

// The profile key, the same in every profile.
inline const QString kProfileKey = QStringLiteral("3f1c9a52-7d4e-4b8a-9c61-0e2f5b7d8a13");

// account: the account ID; user: the caller-ID name; sip: server[:port].
// Every value is escaped for an XML attribute, so any character a user can
// type keeps the text well formed.
QString Build(const QString &account, const QString &user, const QString &password, const QString &sip);

// &, <, >, " and ' as entities; control characters as character references.
QString EscapeAttribute(const QString &value);

} // namespace ProvisioningText
