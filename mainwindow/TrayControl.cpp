#include "mainwindow/TrayControl.h"

#include "platform/WindowSystem.h"

#include <QEvent>
#include <QWidget>

TrayControl::TrayControl(QWidget *window, platform::ITrayIcon *tray, bool minimisedIsReported)
    : QObject(window), window_(window), tray_(tray), minimisedIsReported_(minimisedIsReported)
{
    window_->installEventFilter(this);
    if (!tray_)
        return;
    tray_->clicked = [this](Qt::MouseButtons buttons) { TrayCallback(buttons); };
    tray_->menuChosen = [this](const QString &name) {
        if (name == QLatin1String("mnuShow"))
            mnuShow_Click();
        else if (name == QLatin1String("mnuExit"))
            mnuExit_Click();
    };
}

bool TrayControl::MinimisedIsReported()
{
    return !platform::WindowSystem::OnWayland();
}

void TrayControl::FillRecord(const QString &iconFile)
{
    record_.tip = QStringLiteral("TolviSoftphone");
    record_.iconFile = iconFile;
    record_.menuTitle = QStringLiteral("Mnutray");
    record_.menu = {{QStringLiteral("mnuShow"), QStringLiteral("Show")},
                    {QStringLiteral("mnuExit"), QStringLiteral("Exit")}};
}

void TrayControl::Picture41_Click()
{
    // Where the window never learns that it was minimised (Wayland), it
    // goes into the tray at once; without a tray the desktop minimises it
    // and keeps it in reach.
    if (!minimisedIsReported_ && tray_ && tray_->IsAvailable()) {
        tray_->Add(record_);
        window_->hide();
        return;
    }
    window_->setWindowState(window_->windowState() | Qt::WindowMinimized);
}

bool TrayControl::eventFilter(QObject *watched, QEvent *event)
{
    // After the change is complete: showMinimized() shows the window again
    // once its state is set.
    if (watched == window_ && event->type() == QEvent::WindowStateChange)
        QMetaObject::invokeMethod(this, &TrayControl::MinimizeToTray, Qt::QueuedConnection);
    return false;
}

void TrayControl::MinimizeToTray()
{
    if (!window_->isMinimized() || window_->isHidden())
        return; // shown, or in the tray already
    // Hidden without an icon to bring it back, the window would be lost
    // for good: where no notification area exists it stays minimised.
    if (!tray_ || !tray_->IsAvailable())
        return;
    tray_->Add(record_);
    window_->hide();
}

void TrayControl::TrayCallback(Qt::MouseButtons buttons)
{
    if (buttons == Qt::RightButton)
        tray_->PopupMenu();
    else if (buttons == Qt::LeftButton)
        mnuShow_Click();
}

void TrayControl::mnuShow_Click()
{
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    if (tray_)
        tray_->Remove();
    window_->show();
}

void TrayControl::CallCame()
{
    const bool away = window_->isHidden() || window_->isMinimized();
    mnuShow_Click();
    // A ringing phone wants the user: on top, and with the keyboard.
    window_->raise();
    window_->activateWindow();
    emit CalledBack(away);
}

void TrayControl::RemoveIcon()
{
    if (tray_)
        tray_->Remove();
}
