#include "tests/support/LocalPulse.h"

#include "tests/support/LocalProvider.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {
QString script() { return LocalProvider::sourceDir() + QStringLiteral("/scripts/pulse"); }
} // namespace

// Under /tmp, not $TMPDIR: unix socket paths are short.
LocalPulse::LocalPulse() : dir_(QStringLiteral("/tmp/sp-pulse-XXXXXX")) {}

LocalPulse::~LocalPulse() { stop(); }

bool LocalPulse::start()
{
    QProcess p;
    p.start(script(), {QStringLiteral("start"), dir_.path()});
    // Counted as running from here: a start that fails half way may have
    // left a server behind, and stop is safe either way.
    running_ = true;
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        error_ = QStringLiteral("pulse start failed: %1").arg(QString::fromUtf8(p.readAllStandardError()));
        p.kill();
        p.waitForFinished(2000);
        stop();
        return false;
    }
    QFile env(dir_.path() + QStringLiteral("/env"));
    if (!env.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("pulse wrote no env file");
        return false;
    }
    static const QRegularExpression line(QStringLiteral("^export ([A-Z_]+)=(.*)$"));
    for (const QByteArray &raw : env.readAll().split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw));
        if (m.hasMatch())
            qputenv(m.captured(1).toLatin1(), m.captured(2).toUtf8());
    }
    return true;
}

void LocalPulse::stop()
{
    if (!running_)
        return;
    running_ = false;
    QProcess p;
    p.start(script(), {QStringLiteral("stop"), dir_.path()});
    p.waitForFinished(20000);
}

QString LocalPulse::pactl(const QStringList &args) const
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
