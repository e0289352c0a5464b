#include "platform/QtUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

void QtUrlOpener::Open(const QUrl &address)
{
    // The result is of no use: a handler that starts may still fail later.
    QDesktopServices::openUrl(address);
}

} // namespace platform
