#pragma once

class QUrl;

namespace platform {

// Hands a web address to the desktop's own handler (the browser, a PDF
// viewer: the desktop chooses). Nothing is said when it fails.
class IUrlOpener {
public:
    virtual ~IUrlOpener() = default;
    virtual void Open(const QUrl &address) = 0;
};

} // namespace platform
