#pragma once
// Test harness: a private SIP provider (Kamailio on 127.0.0.1) and a private
// PulseAudio server, each started in its own temporary folder and stopped
// when the object goes, pass or fail.
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// The repository, from SOFTPHONE_SOURCE_DIR (set by ctest).
QString sourceDir();

class LocalProvider {
public:
    // maxExpires > 0 makes the registrar cut registrations to that many
    // seconds, so refreshes happen quickly.
    explicit LocalProvider(int maxExpires = 0);
    ~LocalProvider();
    LocalProvider(const LocalProvider &) = delete;
    LocalProvider &operator=(const LocalProvider &) = delete;

    bool start();       // on a free port; false (with the reason printed) on failure
    bool startAgain();  // on the port it had before
    void stop();
    bool isRunning() const { return running_; }

    int port() const { return port_; }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // Contacts the registrar holds for user; empty when none.
    QStringList contacts(const QString &user) const;
    QString runFolder() const { return dir_.path() + QStringLiteral("/provider"); }

private:
    bool run(const QStringList &args, QString *out = nullptr) const;
    QTemporaryDir dir_;
    int maxExpires_;
    int port_ = 0;
    bool running_ = false;
};

class LocalPulse {
public:
    LocalPulse();
    ~LocalPulse();
    LocalPulse(const LocalPulse &) = delete;
    LocalPulse &operator=(const LocalPulse &) = delete;

    // Starts the server and points this process's PulseAudio clients at it.
    bool start();
    void stop();
    QString folder() const { return dir_.path() + QStringLiteral("/pulse"); }

private:
    QTemporaryDir dir_;
    bool running_ = false;
};

} // namespace testsupport
