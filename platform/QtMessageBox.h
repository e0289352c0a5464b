#pragma once
#include "platform/IMessageBox.h"

namespace platform {

class QtMessageBox final : public IMessageBox {
public:
    MsgResult Show(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                   QWidget *parent) override;
};

} // namespace platform
