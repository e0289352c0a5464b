#pragma once
#include <QList>
#include <QString>

#include <functional>

namespace platform {

// The desktop's notifications (the bubbles a desktop shows at its edge),
// one at a time for this program.
class IDesktopNotifier {
public:
    struct Action {
        QString key;   // reported back when chosen
        QString label; // what the button reads
    };

    virtual ~IDesktopNotifier() = default;
    // Shows a notification in place of the one shown before. The actions
    // become buttons where the desktop offers them; elsewhere the text
    // alone shows. Returns at once; a desktop without notifications shows
    // nothing and says nothing.
    virtual void Show(const QString &summary, const QString &body, const QList<Action> &actions) = 0;
    // Takes the notification away; none shown: nothing happens.
    virtual void Close() = 0;

    // Set by the owner: the user chose one of the actions.
    std::function<void(const QString &key)> actionInvoked;
};

} // namespace platform
