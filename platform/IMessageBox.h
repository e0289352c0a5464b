#pragma once
#include <QString>

class QWidget;

namespace platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OKOnly, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgResult { OK, Cancel, Yes, No, Retry };

// Modal message boxes. Every message the program shows goes through here so
// tests can answer them instead of blocking on a dialog.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // An empty title means the application's own title.
    virtual MsgResult Show(const QString &text, const QString &title = QString(),
                           MsgIcon icon = MsgIcon::None, MsgButtons buttons = MsgButtons::OKOnly,
                           QWidget *parent = nullptr) = 0;
};

// The title a box gets when none is given.
QString defaultMessageTitle();

} // namespace platform
