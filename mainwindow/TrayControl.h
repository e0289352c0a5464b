#pragma once
#include "platform/ITrayIcon.h"

#include <QObject>

class QWidget;

// The main window's way into the notification area: a minimised window
// hides there behind an icon; a left click on the icon, "Show" in its menu
// or a call coming in brings it back; "Exit" ends the program.
class TrayControl : public QObject {
    Q_OBJECT
public:
    // Watches the window's state changes; without a tray service the window
    // merely minimises. minimisedIsReported: the window system tells a
    // window that it was minimised (X11 does; Wayland does not).
    TrayControl(QWidget *window, platform::ITrayIcon *tray, bool minimisedIsReported = MinimisedIsReported());
    static bool MinimisedIsReported();

    // The record every add uses: the tip, the window's icon, the menu.
    void FillRecord(const QString &iconFile);
    const platform::ITrayIcon::Record &Record() const { return record_; }

    // The hide button: minimise, and so into the tray.
    void Picture41_Click();
    // On every change of the window's state; acts on a minimised window.
    void MinimizeToTray();
    // Mouse activity on the icon: right button alone opens the menu, left
    // button alone shows the window, anything else does nothing.
    void TrayCallback(Qt::MouseButtons buttons);
    void mnuShow_Click();
    void mnuExit_Click() { emit ExitChosen(); }
    // A call came in: the window comes back, saying whether it was away.
    void CallCame();
    // The unload: no icon stays behind.
    void RemoveIcon();

signals:
    void ExitChosen();
    void CalledBack(bool windowWasAway);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
    platform::ITrayIcon *tray_;
    bool minimisedIsReported_;
    platform::ITrayIcon::Record record_;
};
