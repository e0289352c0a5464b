#include "mainwindow/CallNotice.h"

CallNotice::CallNotice(platform::IDesktopNotifier *notifier, QObject *parent)
    : QObject(parent), notifier_(notifier)
{
    if (!notifier_)
        return;
    notifier_->actionInvoked = [this](const QString &key) {
        // A button of a call that no longer rings does nothing.
        if (!open_)
            return;
        if (key == QLatin1String("answer"))
            emit AnswerChosen();
        else if (key == QLatin1String("refuse"))
            emit RefuseChosen();
    };
}

void CallNotice::CallRinging(const QString &caller)
{
    const bool away = away_;
    away_ = false;
    if (!notifier_ || !away)
        return;
    open_ = true;
    const QString who = caller.trimmed().isEmpty() ? QStringLiteral("Unknown caller") : caller.trimmed();
    notifier_->Show(QStringLiteral("Incoming call"), who,
                    {{QStringLiteral("answer"), QStringLiteral("Answer")},
                     {QStringLiteral("refuse"), QStringLiteral("Refuse")}});
}

void CallNotice::RingingEnded()
{
    if (!notifier_ || !open_)
        return;
    open_ = false;
    notifier_->Close();
}
