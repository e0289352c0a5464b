#pragma once
#include "platform/IDesktopNotifier.h"

#include <QDBusConnection>
#include <QObject>

namespace platform {

// Notifications through the freedesktop Notifications service on the
// session bus. Every call is asynchronous: a slow or missing service never
// holds up the phone.
class DBusNotifier final : public QObject, public IDesktopNotifier {
    Q_OBJECT
public:
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~DBusNotifier() override;

    void Show(const QString &summary, const QString &body, const QList<Action> &actions) override;
    void Close() override;

private slots:
    void onActionInvoked(uint id, const QString &key);
    void onNotificationClosed(uint id, uint reason);

private:
    void notify(const QString &summary, const QString &body, const QList<Action> &actions);

    QDBusConnection bus_;
    uint id_ = 0;        // the notification shown, 0 for none
    quint64 wanted_ = 0; // counts Show and Close; a late reply for an older one is closed at once
};

} // namespace platform
