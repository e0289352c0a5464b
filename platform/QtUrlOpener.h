#pragma once
#include "platform/IUrlOpener.h"

namespace platform {

// Through QDesktopServices: xdg-open, or the desktop's portal.
class QtUrlOpener final : public IUrlOpener {
public:
    void Open(const QUrl &address) override;
};

} // namespace platform
