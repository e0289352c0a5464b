#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

// The running phone's ear for a second start: a local socket, one per
// settings store (as the single-instance lock is), on which a later start
// hands over its link and ends. An empty text asks the running phone to
// come forward.
class LinkChannel : public QObject {
    Q_OBJECT
public:
    // The socket's path for the settings file at this path, in the user's
    // runtime folder.
    static QString NameFor(const QString &settingsFilePath);
    // Hands text to the phone listening on name; false when none answers in
    // timeoutMs or the text is longer than kMaxText.
    static bool Send(const QString &name, const QString &text, int timeoutMs = 3000);

    static constexpr int kMaxText = 4096;

    explicit LinkChannel(QString name, QObject *parent = nullptr);
    ~LinkChannel() override;
    // Starts listening, owner-only; a socket left by a crashed phone is
    // replaced. False when it cannot listen.
    bool Listen();

signals:
    void Received(const QString &text);

private:
    QString name_;
    QLocalServer *server_;
};

} // namespace platform
