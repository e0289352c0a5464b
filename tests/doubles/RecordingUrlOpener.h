#pragma once
#include "platform/IUrlOpener.h"

#include <QList>
#include <QUrl>

namespace platform {

// Test double: keeps every address instead of opening it.
class RecordingUrlOpener final : public IUrlOpener {
public:
    void Open(const QUrl &address) override { opened.append(address); }
    QList<QUrl> opened;
};

} // namespace platform
