#pragma once
#include "platform/IDesktopNotifier.h"

#include <QObject>

// A call that finds the window away (in the tray or minimised) is also
// announced by a desktop notification naming the caller, with "Answer" and
// "Refuse" where the desktop offers buttons. It goes away once the call
// stops ringing.
class CallNotice : public QObject {
    Q_OBJECT
public:
    CallNotice(platform::IDesktopNotifier *notifier, QObject *parent = nullptr);

    // Before the call rings: whether the window was away when it came.
    void CallCame(bool windowWasAway) { away_ = windowWasAway; }
    void CallRinging(const QString &caller);
    void RingingEnded();

signals:
    void AnswerChosen();
    void RefuseChosen();

private:
    platform::IDesktopNotifier *notifier_;
    bool away_ = false;
    bool open_ = false;
};
