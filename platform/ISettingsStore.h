#pragma once
#include <QString>

namespace platform {

// Per-user string values addressed by application, section and key.
// A value that was never written reads as the empty string.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual QString GetSetting(const QString &appName, const QString &section, const QString &key) const = 0;
    virtual void SaveSetting(const QString &appName, const QString &section, const QString &key,
                             const QString &value) = 0;
};

} // namespace platform
