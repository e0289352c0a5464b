#pragma once
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <memory>
#include <unistd.h>

// Shared by the phone-book tests: files as bytes, books of many entries, and
// a second run of the test binary as an ordinary user. Tests run as root in
// CI, and permission bits stop every user but root.
namespace pbtest {

using testfiles::bytesOf;
using testfiles::putBytes;

// Everything in a folder, hidden files included: leftovers show up here.
inline QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// "Prefix00001--5550001" ... one line per entry, without endings.
inline QList<QByteArray> makeBook(int entries, const QByteArray &prefix)
{
    QList<QByteArray> lines;
    lines.reserve(entries);
    for (int i = 1; i <= entries; ++i)
        lines.append(prefix + QByteArray::number(i).rightJustified(5, '0') + "--" + QByteArray::number(5550000 + i));
    return lines;
}

inline QByteArray fileText(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

// A folder under /tmp that user nobody can reach (QTemporaryDir makes 0700).
inline std::unique_ptr<QTemporaryDir> sharedTempDir()
{
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/phonebook-test-XXXXXX"));
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

// Sets a file-size limit for as long as it lives: a real failed write, root
// included. SIGXFSZ is ignored so the write fails with EFBIG instead of
// ending the process.
struct FileSizeLimit {
    rlimit saved{};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = saved;
        tiny.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }
};

inline QByteArray euidLine()
{
    return "euid=" + QByteArray::number(::geteuid()) + "\n";
}

} // namespace pbtest
