#pragma once
#include "platform/IMessageBox.h"
#include <QList>
#include <functional>

namespace platform {

// Test double: records every box and answers at once. The answer is the
// first button unless a test scripts another.
class RecordingMessageBox final : public IMessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };

    MsgResult Show(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                   QWidget *) override
    {
        shown.append({text, title.isEmpty() ? defaultMessageTitle() : title, icon, buttons});
        if (onShow)
            onShow(shown.last());
        if (!answers.isEmpty())
            return answers.takeFirst();
        switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgResult::Yes;
        case MsgButtons::RetryCancel: return MsgResult::Retry;
        default: return MsgResult::OK;
        }
    }

    QStringList texts() const
    {
        QStringList out;
        for (const auto &s : shown)
            out << s.text;
        return out;
    }

    QList<Shown> shown;
    QList<MsgResult> answers;
    std::function<void(const Shown &)> onShow;
};

} // namespace platform
