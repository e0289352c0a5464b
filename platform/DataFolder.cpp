#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

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
    QDir().mkpath(folder);
    return folder;
}

QString ProgramDataFolder()
{
    return ChooseDataFolder(QCoreApplication::applicationDirPath());
}

} // namespace platform
