#pragma once
// A second run of the test binary as an ordinary user. Tests run as root in
// CI, and permission bits stop every user but root.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <grp.h>
#include <memory>
#include <unistd.h>

namespace ordinaryuser {

// A folder under /tmp that user nobody can reach (QTemporaryDir makes 0700).
inline std::unique_ptr<QTemporaryDir> sharedTempDir()
{
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/softphone-test-XXXXXX"));
    if (dir->isValid())
        QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::ExeOther);
    return dir;
}

struct ChildRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
};

// This test binary again with `arguments`, as user nobody when we are root.
// The child prints "euid=N" first so the caller can see the drop happened.
inline ChildRun runSelfAsOrdinaryUser(const QStringList &arguments)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments(arguments);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR")); // root's; nobody may not use it
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    if (::geteuid() == 0) {
        child.setChildProcessModifier([] {
            constexpr uid_t kNobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(126);
        });
    }
    child.start();
    ChildRun run;
    run.finished = child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit;
    run.exitCode = child.exitCode();
    run.out = child.readAllStandardOutput();
    if (!run.finished)
        child.kill(); // our own child, by its handle
    return run;
}

inline QByteArray euidLine()
{
    return "euid=" + QByteArray::number(::geteuid()) + "\n";
}

} // namespace ordinaryuser
