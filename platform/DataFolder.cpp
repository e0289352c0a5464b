#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <sys/stat.h>

namespace platform {

QString ChooseDataFolder(const QString &programFolder)
{
    if (!programFolder.isEmpty()) {
        // Actually making a file is the only test that holds for every user,
        // root included, and for read-only mounts.
        QTemporaryFile probe(QDir(programFolder).filePath(QStringLiteral(".write-probe-XXXXXX")));
        if (probe.open())
            return programFolder;
    }
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return programFolder;
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

QString ProgramDataFolder()
{
    return ChooseDataFolder(QCoreApplication::applicationDirPath());
}

} // namespace platform
