#include "platform/QtMessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace platform {

namespace {
QMessageBox::Icon toQt(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case MsgButtons::OKOnly: break;
    }
    return QMessageBox::Ok;
}

MsgResult fromQt(int button)
{
    switch (button) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Retry: return MsgResult::Retry;
    default: return MsgResult::OK;
    }
}
} // namespace

MsgResult QtMessageBox::Show(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                             QWidget *parent)
{
    QMessageBox box(toQt(icon), title.isEmpty() ? defaultMessageTitle() : title, text, toQt(buttons), parent);
    return fromQt(box.exec());
}

} // namespace platform
