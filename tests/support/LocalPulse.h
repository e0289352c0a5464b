#pragma once
// A private PulseAudio (null sinks) through scripts/pulse. start() puts its
// environment into this process, so engines created afterwards use it.
#include <QString>
#include <QTemporaryDir>

class LocalPulse {
public:
    LocalPulse();
    ~LocalPulse();
    LocalPulse(const LocalPulse &) = delete;
    LocalPulse &operator=(const LocalPulse &) = delete;

    bool start();
    void stop();
    QString error() const { return error_; }
    // Output of "pactl ARGS" against this server.
    QString pactl(const QStringList &args) const;

private:
    QTemporaryDir dir_;
    bool running_ = false;
    QString error_;
};
