#pragma once
#include "platform/IDesktopNotifier.h"

namespace platform {

// Test double: keeps the notification shown, if any; tests choose its
// actions through it.
class RecordingNotifier final : public IDesktopNotifier {
public:
    struct Shown {
        QString summary, body;
        QList<Action> actions;
    };
    void Show(const QString &summary, const QString &body, const QList<Action> &actions) override
    {
        shown.append({summary, body, actions});
        open = true;
    }
    void Close() override { open = false; }
    void choose(const QString &key) { actionInvoked(key); }

    QList<Shown> shown;
    bool open = false;
};

} // namespace platform
