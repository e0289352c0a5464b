#pragma once
#include "platform/ISettingsStore.h"
#include <QString>

namespace platform {

// The settings store as an INI file in the user's config folder. The file
// holds the account password, so it is created readable by its owner only.
class IniSettingsStore final : public ISettingsStore {
public:
    // The default file: <config folder>/Softphone/Softphone.ini.
    IniSettingsStore();
    explicit IniSettingsStore(const QString &filePath);

    QString GetSetting(const QString &appName, const QString &section, const QString &key) const override;
    void SaveSetting(const QString &appName, const QString &section, const QString &key,
                     const QString &value) override;

    const QString &filePath() const { return path_; }
    static QString defaultFilePath();

private:
    void ensurePrivateFile() const;
    QString path_;
};

} // namespace platform
