#pragma once
#include "platform/ITrayIcon.h"

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace platform {

// The notification-area icon through QSystemTrayIcon: a StatusNotifierItem
// where the desktop hosts those, an XEmbed icon elsewhere.
class QtTrayIcon final : public ITrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;

    bool IsAvailable() const override;
    void Add(const Record &record) override;
    void Remove() override;
    bool IsShown() const override;
    void PopupMenu() override;

private:
    void ensureIcon();

    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QMenu> menu_;
    bool menuExported_ = false; // the desktop shows the menu itself
};

} // namespace platform
