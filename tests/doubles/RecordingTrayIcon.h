#pragma once
#include "platform/ITrayIcon.h"

namespace platform {

// Test double: a notification area that keeps what it was told; tests
// click the icon and choose menu items through it.
class RecordingTrayIcon final : public ITrayIcon {
public:
    bool IsAvailable() const override { return available; }
    void Add(const Record &r) override
    {
        ++adds;
        record = r;
        shown = true;
    }
    void Remove() override
    {
        ++removes;
        shown = false;
    }
    bool IsShown() const override { return shown; }
    void PopupMenu() override { ++menus; }

    void click(Qt::MouseButtons buttons) { clicked(buttons); }
    void choose(const QString &name) { menuChosen(name); }

    bool available = true;
    bool shown = false;
    int adds = 0, removes = 0, menus = 0;
    Record record;
};

} // namespace platform
