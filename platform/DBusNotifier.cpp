#include "platform/DBusNotifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kReplyTimeoutMs = 5000;

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}
} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QObject *parent) : QObject(parent), bus_(std::move(bus))
{
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(uint, uint)));
}

DBusNotifier::~DBusNotifier()
{
    Close();
}

void DBusNotifier::Show(const QString &summary, const QString &body, const QList<Action> &actions)
{
    const quint64 ticket = ++wanted_;
    auto *watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(call(QStringLiteral("GetCapabilities")), kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [=, this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (ticket != wanted_)
            return; // closed or replaced meanwhile
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError())
            return; // no notification service on this desktop
        const QStringList caps = reply.value();
        // The body is the caller's own text: where the service reads markup
        // it must show as typed, not as markup.
        const QString text = caps.contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;
        // Buttons only where the service draws them; elsewhere they would be
        // lost and the text alone must do.
        notify(summary, text, caps.contains(QStringLiteral("actions")) ? actions : QList<Action>());
    });
}

void DBusNotifier::notify(const QString &summary, const QString &body, const QList<Action> &actions)
{
    const quint64 ticket = wanted_;
    QStringList pairs;
    for (const Action &a : actions)
        pairs << a.key << a.label;
    // Critical: it stays until the program takes it away, as a ringing
    // phone does.
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}};
    QDBusMessage m = call(QStringLiteral("Notify"));
    m << QCoreApplication::applicationName() << id_ << QString() << summary << body << pairs << hints << int(0);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(m, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [=, this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            return;
        if (ticket != wanted_) {
            // Taken away before the service answered.
            bus_.asyncCall(call(QStringLiteral("CloseNotification")) << reply.value(), kReplyTimeoutMs);
            return;
        }
        id_ = reply.value();
    });
}

void DBusNotifier::Close()
{
    ++wanted_;
    if (id_ == 0)
        return;
    bus_.asyncCall(call(QStringLiteral("CloseNotification")) << id_, kReplyTimeoutMs);
    id_ = 0;
}

void DBusNotifier::onActionInvoked(uint id, const QString &key)
{
    // Other programs' notifications share the signal.
    if (id == 0 || id != id_)
        return;
    if (actionInvoked)
        actionInvoked(key);
}

void DBusNotifier::onNotificationClosed(uint id, uint)
{
    if (id != 0 && id == id_)
        id_ = 0;
}

} // namespace platform
