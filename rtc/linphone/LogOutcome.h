#pragma once
#include <QString>

namespace rtc::lp {

// " (486 Busy Here)", " (Busy Here)" without a code, or nothing: how a call
// or registration step went, for the log.
inline QString LogOutcome(long code, const QString &text)
{
    const QString said = code != 0 ? QStringLiteral("%1 %2").arg(code).arg(text).trimmed() : text.trimmed();
    return said.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(said);
}

} // namespace rtc::lp
