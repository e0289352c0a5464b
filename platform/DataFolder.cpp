#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString UserDataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = base + QStringLiteral("/Softphone");
    MakePrivateFolder(folder);
    return folder;
}

bool MakePrivateFolder(const QString &path)
{
    // Parents first, each made owner-only as it is made; an existing folder
    // keeps its mode (it may be shared on purpose).
    const QString absolute = QDir(path).absolutePath();
    QString sofar;
    for (const QString &part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(sofar);
        if (::mkdir(native.constData(), S_IRWXU) == 0)
            ::chmod(native.constData(), S_IRWXU); // mkdir's mode is cut by the umask
        else if (errno != EEXIST)
            return false;
    }
    return QFileInfo(absolute).isDir();
}

namespace {

bool isPlainFile(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool sameContents(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        const QByteArray chunk = fa.read(64 * 1024);
        if (chunk.isEmpty() || chunk != fb.read(chunk.size()))
            return false;
    }
    return true;
}

// Moves `from` to `to`, which must not exist; false (with the reason) leaves
// `from` where it was and `to` absent.
bool moveNoReplace(const QString &from, const QString &to, QString &why)
{
    const QByteArray src = QFile::encodeName(from), dst = QFile::encodeName(to);
    // A hard link is made only where nothing is; on one file system that
    // makes the move atomic and unable to overwrite.
    if (::link(src.constData(), dst.constData()) == 0) {
        if (::unlink(src.constData()) == 0)
            return true;
        why = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(dst.constData());
        return false;
    }
    if (errno == EEXIST) {
        why = QStringLiteral("a file of that name is in the way");
        return false;
    }
    // Another file system, or one without links: copy (QFile::copy never
    // overwrites), check the copy, then remove the original.
    if (!QFile::copy(from, to)) {
        why = QStringLiteral("it could not be copied");
        QFile::remove(to);
        return false;
    }
    if (!sameContents(from, to)) {
        why = QStringLiteral("the copy did not match");
        QFile::remove(to);
        return false;
    }
    if (::unlink(src.constData()) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(to);
        return false;
    }
    return true;
}

// "PhoneBook (old).txt", "PhoneBook (old 2).txt", ...: the first name free in `folder`.
QString freeOldName(const QString &folder, const QString &name)
{
    const QFileInfo info(name);
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString tag = n == 1 ? QStringLiteral("old") : QStringLiteral("old %1").arg(n);
        const QString candidate = QDir(folder).filePath(QStringLiteral("%1 (%2)%3").arg(stem, tag, suffix));
        if (!exists(candidate))
            return candidate;
    }
}

bool writable(const QString &folder)
{
    // Actually making a file is the only test that holds for every user,
    // root included, and for read-only mounts.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

} // namespace

QStringList MoveDataFiles(const QString &programFolder, const QString &dataFolder, const QStringList &names)
{
    QStringList tell;
    if (programFolder.isEmpty() || dataFolder.isEmpty()
        || QFileInfo(programFolder).canonicalFilePath() == QFileInfo(dataFolder).canonicalFilePath())
        return tell;
    // Files in a folder the program could not write to were never its own.
    if (!writable(programFolder) || !MakePrivateFolder(dataFolder))
        return tell;
    for (const QString &name : names) {
        const QString old = QDir(programFolder).filePath(name);
        if (!isPlainFile(old))
            continue;
        const QString current = QDir(dataFolder).filePath(name);
        QString why;
        if (!exists(current)) {
            if (moveNoReplace(old, current, why))
                QFile::setPermissions(current, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            else
                tell << QStringLiteral("%1 could not be moved to %2 (%3). It stays in %4 and is not used.")
                            .arg(name, dataFolder, why, programFolder);
            continue;
        }
        if (sameContents(old, current)) {
            QFile::remove(old);
            continue;
        }
        const QString keptAs = freeOldName(dataFolder, name);
        if (moveNoReplace(old, keptAs, why)) {
            QFile::setPermissions(keptAs, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            tell << QStringLiteral("Two different copies of %1 were found. The phone uses %2; the one from %3 is kept as %4.")
                        .arg(name, current, programFolder, keptAs);
        } else {
            tell << QStringLiteral("Two different copies of %1 were found. The phone uses %2; the one in %3 could not be moved (%4) and stays there.")
                        .arg(name, current, programFolder, why);
        }
    }
    return tell;
}

} // namespace platform
