#include "platform/LockFileInstance.h"

#include "platform/DataFolder.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace platform {

LockFileInstance::LockFileInstance(const QString &lockPath) : path_(lockPath) {}

QString LockFileInstance::defaultLockPath(const QString &settingsFilePath)
{
    return QFileInfo(settingsFilePath).absolutePath() + QStringLiteral("/softphone.lock");
}

bool LockFileInstance::AnotherInstanceRunning()
{
    if (lock_ && lock_->isLocked())
        return false;
    // Its folder (and ~/.config, when missing) is the settings store's: the
    // owner's alone, whatever the umask.
    MakePrivateFolder(QFileInfo(path_).absolutePath());
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: a running instance keeps its claim however long it
    // runs; a lock whose process is gone is removed by tryLock itself.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        // QLockFile makes it with the umask's mode.
        ::chmod(QFile::encodeName(path_).constData(), S_IRUSR | S_IWUSR);
        return false;
    }
    if (lock_->error() == QLockFile::LockFailedError)
        return true;
    // The lock file cannot be written at all (read-only folder): do not keep
    // the user from their phone for that.
    return false;
}

} // namespace platform
