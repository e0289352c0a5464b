#include "platform/LinkChannel.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace platform {

namespace {
// A sender that says nothing, or never ends its line, is let go.
constexpr int kReadTimeoutMs = 3000;
} // namespace

QString LinkChannel::NameFor(const QString &settingsFilePath)
{
    const QByteArray hash = QCryptographicHash::hash(settingsFilePath.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString name = QStringLiteral("softphone-") + QString::fromLatin1(hash.left(16));
    // In the user's own runtime folder (0700), not in /tmp where another
    // user could take the name first and hear the numbers handed over.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : runtime + QLatin1Char('/') + name;
}

bool LinkChannel::Send(const QString &name, const QString &text, int timeoutMs)
{
    const QByteArray line = text.toUtf8() + '\n';
    if (line.size() > kMaxText + 1 || text.contains(QLatin1Char('\n')))
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The phone closes when it has the line: then it is taken.
    return socket.waitForDisconnected(timeoutMs) || socket.state() == QLocalSocket::UnconnectedState;
}

LinkChannel::LinkChannel(QString name, QObject *parent)
    : QObject(parent), name_(std::move(name)), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(kReadTimeoutMs, socket, [socket] { socket->abort(); });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > kMaxText + 1)
                        socket->abort(); // no line this long is a link
                    return;
                }
                const QByteArray line = socket->readLine();
                socket->disconnectFromServer();
                // Told from the event loop, not from inside the socket: what
                // the phone does with it may open a modal message box.
                if (line.size() <= kMaxText + 1)
                    QMetaObject::invokeMethod(
                        this, [this, text = QString::fromUtf8(line.chopped(1))] { emit Received(text); },
                        Qt::QueuedConnection);
            });
        }
    });
}

LinkChannel::~LinkChannel() = default;

bool LinkChannel::Listen()
{
    if (server_->listen(name_))
        return true;
    // Only one phone per settings store runs (the lock says so): a socket
    // by this name is a crashed phone's.
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

} // namespace platform
