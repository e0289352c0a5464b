#include "platform/IMessageBox.h"

#include <QCoreApplication>

namespace platform {

QString defaultMessageTitle()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Softphone") : name;
}

} // namespace platform
