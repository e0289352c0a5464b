#include "platform/QtTrayIcon.h"

#include "platform/WindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace platform {

QtTrayIcon::QtTrayIcon() = default;

QtTrayIcon::~QtTrayIcon()
{
    Remove();
    icon_.reset(); // before the menu it may hold
    menu_.reset();
}

bool QtTrayIcon::IsAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::ensureIcon()
{
    if (icon_)
        return;
    icon_ = std::make_unique<QSystemTrayIcon>();
    // Each click is told with the button it came from; the held buttons are
    // added where the desktop reports them, so "left alone" can be told.
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        Qt::MouseButton button = Qt::NoButton;
        switch (reason) {
        case QSystemTrayIcon::Trigger: button = Qt::LeftButton; break;
        case QSystemTrayIcon::Context: button = Qt::RightButton; break;
        case QSystemTrayIcon::MiddleClick: button = Qt::MiddleButton; break;
        default: return; // the second press of a double click was told as a click already
        }
        if (clicked)
            clicked(button | QGuiApplication::mouseButtons());
    });
}

void QtTrayIcon::Add(const Record &record)
{
    ensureIcon();
    if (icon_->isVisible())
        return;
    icon_->setIcon(QIcon(record.iconFile));
    icon_->setToolTip(record.tip);
    // One menu for the icon's whole life, its items from the record: a
    // desktop's tray keeps hold of the menu it was first given.
    if (!menu_) {
        menu_ = std::make_unique<QMenu>();
        // On Wayland the desktop's own tray draws the menu (a menu of ours
        // would need a window of ours to open from, and the window is
        // hidden). On X11 the menu is the owner's to open (PopupMenu), not
        // the icon's own context menu, so that the owner decides which
        // click opens it.
        menuExported_ = WindowSystem::OnWayland();
        if (menuExported_)
            icon_->setContextMenu(menu_.get());
    }
    menu_->clear();
    menu_->setObjectName(record.menuTitle);
    menu_->setTitle(record.menuTitle);
    for (const MenuItem &item : record.menu) {
        QAction *action = menu_->addAction(item.caption);
        action->setObjectName(item.name);
        QObject::connect(action, &QAction::triggered, [this, name = item.name] {
            if (menuChosen)
                menuChosen(name);
        });
    }
    icon_->show();
}

void QtTrayIcon::Remove()
{
    if (icon_)
        icon_->hide();
    if (menu_)
        menu_->hide();
}

bool QtTrayIcon::IsShown() const
{
    return icon_ && icon_->isVisible();
}

void QtTrayIcon::PopupMenu()
{
    if (menu_ && IsShown() && !menuExported_)
        menu_->popup(QCursor::pos());
}

} // namespace platform
