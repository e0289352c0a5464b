#pragma once
// A private Kamailio on 127.0.0.1 for one test, run through scripts/provider.
// Stopped by the destructor, whether the test passed or not.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class LocalProvider {
public:
    // maxExpires > 0 caps registration lifetimes (short refreshes in tests).
    explicit LocalProvider(int maxExpires = 0);
    ~LocalProvider();
    LocalProvider(const LocalProvider &) = delete;
    LocalProvider &operator=(const LocalProvider &) = delete;

    bool start();
    bool stop();
    // Comes back on the port it had, as a provider restarting would.
    bool restart();

    bool isRunning() const { return running_; }
    int port() const { return port_; }
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QString error() const { return error_; }
    // Contact URIs Kamailio holds for USER; empty when none.
    QStringList contacts(const QString &user) const;
    // Request URIs of the new calls (INVITEs outside a dialog) that reached
    // the provider so far, in order, retransmissions included.
    QStringList invites() const;
    // The User-Agent of each of those INVITEs.
    QStringList inviteUserAgents() const;
    // What Kamailio logged so far.
    QString log() const;

    // The source tree, from SOFTPHONE_SOURCE_DIR (set by ctest).
    static QString sourceDir();

private:
    QStringList inviteLog(int field) const;
    bool run(const QStringList &args, QString *out, int timeoutMs = 20000) const;
    bool launch(const QStringList &extraArgs);

    QTemporaryDir dir_;
    int maxExpires_;
    int port_ = 0;
    bool running_ = false;
    mutable QString error_;
};
