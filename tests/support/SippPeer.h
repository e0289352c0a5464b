#pragma once
// A SIPp far end for one call test, running a scenario of tests/fixtures/sipp
// against a LocalProvider.  Callees register first (digest auth, on the same
// local port the scenario then listens on); callers authenticate with the 407
// challenge.  The sipp process is killed by PID when the object goes.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class LocalProvider;

class SippPeer {
public:
    // scenario: a file name in tests/fixtures/sipp (e.g. "uas_echo.xml") or a path.
    SippPeer(const LocalProvider &provider, const QString &scenario);
    ~SippPeer();
    SippPeer(const SippPeer &) = delete;
    SippPeer &operator=(const SippPeer &) = delete;

    // Options; set before starting.
    void setRtpEcho(bool on) { rtpEcho_ = on; }            // -rtp_echo on mediaPort()
    void setPauseMs(int ms) { pauseMs_ = ms; }             // -d: ringing time of uac_cancel.xml
    void setExtraArgs(const QStringList &args) { extra_ = args; }

    // Callee: registers USER/PASSWORD from localPort(), checks Kamailio holds
    // that contact, then starts the scenario listening there.
    bool startCallee(const QString &user, const QString &password);
    // Caller: calls CALLEE through the provider as USER (407 answered with PASSWORD).
    bool startCaller(const QString &callee, const QString &user, const QString &password);
    // Caller straight to host:port, bypassing the provider (uac_bad_length.xml).
    bool startDirect(const QString &callee, const QString &hostPort);

    // True when sipp ended within ms (or had already).
    bool waitFinished(int ms);
    bool isRunning() const { return proc_.state() != QProcess::NotRunning; }
    // sipp's exit code: 0 = scenario passed, 1 = a call failed, 97/99 = stopped
    // or internal error; -1 while running, if killed or never started.
    int exitCode() const;
    void kill();

    int localPort() const { return localPort_; }
    int mediaPort() const { return mediaPort_; }
    qint64 pid() const { return proc_.processId(); }
    // The SIP messages sipp sent and received so far (its message trace).
    QString messages() const;
    QString logDir() const { return dir_.path(); }
    QString error() const { return error_; }

private:
    bool launch(const QString &remote, QStringList args);
    bool runRegister(const QString &user, const QString &password);
    QString scenarioPath(const QString &name) const;

    const LocalProvider &provider_;
    QString scenario_;
    QTemporaryDir dir_;
    QProcess proc_;
    int localPort_ = 0;
    int mediaPort_ = 0;
    bool started_ = false;
    bool rtpEcho_ = false;
    int pauseMs_ = -1;
    QStringList extra_;
    QString error_;
};
