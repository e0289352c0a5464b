#include "LocalProvider.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

namespace testsupport {

QString sourceDir()
{
    const QString fromEnv = qEnvironmentVariable("SOFTPHONE_SOURCE_DIR");
    return fromEnv.isEmpty() ? QDir::currentPath() : fromEnv;
}

namespace {
bool runScript(const QString &script, const QStringList &args, QString *out)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral("bash"), QStringList{sourceDir() + script} + args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        std::fprintf(stderr, "%s timed out\n", qPrintable(script));
        return false;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QByteArray err = p.readAllStandardError();
        if (!err.isEmpty())
            std::fprintf(stderr, "%s %s: %s\n", qPrintable(script), qPrintable(args.value(0)), err.constData());
        return false;
    }
    return true;
}
} // namespace

LocalProvider::LocalProvider(int maxExpires) : maxExpires_(maxExpires) {}

LocalProvider::~LocalProvider()
{
    stop();
}

bool LocalProvider::run(const QStringList &args, QString *out) const
{
    return runScript(QStringLiteral("/scripts/provider"), args, out);
}

bool LocalProvider::start()
{
    QStringList args{QStringLiteral("start"), runFolder()};
    if (maxExpires_ > 0)
        args << QStringLiteral("--max-expires") << QString::number(maxExpires_);
    if (port_ > 0)
        args << QStringLiteral("--port") << QString::number(port_);
    QString out;
    if (!run(args, &out))
        return false;
    port_ = out.section(QLatin1Char('\n'), -1).toInt();
    running_ = port_ > 0;
    return running_;
}

bool LocalProvider::startAgain()
{
    return port_ > 0 && start();
}

void LocalProvider::stop()
{
    if (!running_)
        return;
    run({QStringLiteral("stop"), runFolder()});
    running_ = false;
}

QStringList LocalProvider::contacts(const QString &user) const
{
    QString out;
    if (!run({QStringLiteral("contacts"), runFolder(), user}, &out))
        return {};
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

LocalPulse::LocalPulse() = default;

LocalPulse::~LocalPulse()
{
    stop();
}

bool LocalPulse::start()
{
    if (!runScript(QStringLiteral("/scripts/pulse"), {QStringLiteral("start"), folder()}, nullptr))
        return false;
    running_ = true;
    // DIR/env holds "export NAME=value" lines for the server's clients.
    QFile env(folder() + QStringLiteral("/env"));
    if (!env.open(QIODevice::ReadOnly))
        return false;
    static const QRegularExpression line(QStringLiteral("^export ([A-Z_]+)=(.*)$"));
    for (const QByteArray &raw : env.readAll().split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw).trimmed());
        if (!m.hasMatch())
            continue;
        QString value = m.captured(2);
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
            value = value.mid(1, value.size() - 2);
        qputenv(m.captured(1).toUtf8().constData(), value.toUtf8());
    }
    return true;
}

void LocalPulse::stop()
{
    if (!running_)
        return;
    runScript(QStringLiteral("/scripts/pulse"), {QStringLiteral("stop"), folder()}, nullptr);
    running_ = false;
}

} // namespace testsupport
