#include "tests/support/LocalProvider.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {
QString script() { return LocalProvider::sourceDir() + QStringLiteral("/scripts/provider"); }
} // namespace

QString LocalProvider::sourceDir()
{
    const QString dir = qEnvironmentVariable("SOFTPHONE_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(SOFTPHONE_SOURCE_DIR_DEFAULT) : dir;
}

// Under /tmp, not $TMPDIR: the control socket path is short.
LocalProvider::LocalProvider(int maxExpires) : dir_(QStringLiteral("/tmp/sp-prov-XXXXXX")), maxExpires_(maxExpires) {}

LocalProvider::~LocalProvider() { stop(); }

bool LocalProvider::run(const QStringList &args, QString *out, int timeoutMs) const
{
    QProcess p;
    p.start(script(), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        error_ = QStringLiteral("provider %1 did not finish").arg(args.join(QLatin1Char(' ')));
        return false;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = QStringLiteral("provider %1 failed: %2")
                     .arg(args.join(QLatin1Char(' ')), QString::fromUtf8(p.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

bool LocalProvider::start()
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    return launch({});
}

bool LocalProvider::launch(const QStringList &extra)
{
    QStringList args = QStringList{QStringLiteral("start"), dir_.path()} + extra;
    if (maxExpires_ > 0)
        args << QStringLiteral("--max-expires") << QString::number(maxExpires_);
    // Counted as running from here on: a start that fails or times out half
    // way may have left a server behind, and stop is safe either way.
    running_ = true;
    error_.clear();
    QString out;
    int port = 0;
    if (run(args, &out))
        port = out.trimmed().split(QLatin1Char('\n')).last().toInt();
    if (port <= 0) {
        const QString why = error_.isEmpty() ? QStringLiteral("provider printed no port: %1").arg(out) : error_;
        stop();
        error_ = why;
        return false;
    }
    port_ = port;
    return true;
}

bool LocalProvider::stop()
{
    if (!running_)
        return true;
    running_ = false;
    return run({QStringLiteral("stop"), dir_.path()}, nullptr);
}

bool LocalProvider::restart()
{
    if (running_ && !stop())
        return false;
    const int wanted = port_;
    if (!launch({QStringLiteral("--port"), QString::number(wanted)}))
        return false;
    if (port_ != wanted) {
        error_ = QStringLiteral("provider came back on port %1, not %2").arg(port_).arg(wanted);
        return false;
    }
    return true;
}

QStringList LocalProvider::contacts(const QString &user) const
{
    QString out;
    if (!run({QStringLiteral("contacts"), dir_.path(), user}, &out, 10000))
        return {}; // exit 1: no binding
    QStringList list;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        list << line.section(QLatin1Char(' '), 0, 0);
    return list;
}

QStringList LocalProvider::invites() const
{
    return inviteLog(1);
}

QStringList LocalProvider::inviteUserAgents() const
{
    return inviteLog(2);
}

QString LocalProvider::log() const
{
    QFile file(dir_.path() + QStringLiteral("/kamailio.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList LocalProvider::inviteLog(int field) const
{
    QFile log(dir_.path() + QStringLiteral("/kamailio.log"));
    QStringList found;
    if (!log.open(QIODevice::ReadOnly))
        return found;
    static const QRegularExpression line(QStringLiteral("new INVITE for (\\S+) from \\S+ by \\[(.*)\\]"));
    for (const QByteArray &raw : log.readAll().split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw));
        if (m.hasMatch())
            found << m.captured(field);
    }
    return found;
}
