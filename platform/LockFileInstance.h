#pragma once
#include "platform/ISingleInstance.h"
#include <QLockFile>
#include <QString>
#include <memory>

namespace platform {

// One instance per settings folder, claimed with a lock file. A lock left by
// a crashed instance names a dead process and is taken over.
class LockFileInstance final : public ISingleInstance {
public:
    explicit LockFileInstance(const QString &lockPath);
    // The lock beside the settings file, so an isolated settings store (the
    // demo, the tests) is an instance of its own.
    static QString defaultLockPath(const QString &settingsFilePath);

    bool AnotherInstanceRunning() override;

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace platform
