#pragma once
#include <QList>
#include <QString>
#include <Qt>

#include <functional>

namespace platform {

// One icon in the desktop's notification area, with its tip and the menu
// its right click opens.
class ITrayIcon {
public:
    struct MenuItem {
        QString name;    // reported back when chosen ("mnuShow")
        QString caption; // what the menu shows ("Show")
    };
    // Filled once by the owner and used for every add.
    struct Record {
        QString tip;
        QString iconFile; // the window's icon
        QString menuTitle;
        QList<MenuItem> menu;
    };

    virtual ~ITrayIcon() = default;
    // False on a desktop without a notification area: an icon added there
    // would never be seen.
    virtual bool IsAvailable() const = 0;
    // Puts the icon into the notification area; with one there already,
    // nothing changes.
    virtual void Add(const Record &record) = 0;
    // Takes the icon away; without one, nothing happens.
    virtual void Remove() = 0;
    virtual bool IsShown() const = 0;
    // Opens the menu of the last record at the pointer.
    virtual void PopupMenu() = 0;

    // Set by the owner: a click on the icon with the mouse buttons it
    // reported, and a menu item chosen, by name.
    std::function<void(Qt::MouseButtons buttons)> clicked;
    std::function<void(const QString &name)> menuChosen;
};

} // namespace platform
