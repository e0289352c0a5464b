#include "platform/IniSettingsStore.h"

#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
// Application, section and key become one INI path; an application is an
// INI group so the file reads naturally ([Sip] Parameters\Validation=...).
QString settingsKey(const QString &appName, const QString &section, const QString &key)
{
    return appName + QLatin1Char('/') + section + QLatin1Char('/') + key;
}
} // namespace

IniSettingsStore::IniSettingsStore() : IniSettingsStore(defaultFilePath()) {}

IniSettingsStore::IniSettingsStore(const QString &filePath) : path_(filePath) {}

QString IniSettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Softphone/Softphone.ini");
}

QString IniSettingsStore::GetSetting(const QString &appName, const QString &section,
                                     const QString &key) const
{
    if (!QFileInfo::exists(path_))
        return QString();
    QSettings settings(path_, QSettings::IniFormat);
    const QVariant value = settings.value(settingsKey(appName, section, key));
    // A value edited by hand into a list ("a, b") still reads back as text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void IniSettingsStore::SaveSetting(const QString &appName, const QString &section, const QString &key,
                                   const QString &value)
{
    ensurePrivateFile();
    {
        QSettings settings(path_, QSettings::IniFormat);
        settings.setValue(settingsKey(appName, section, key), value);
        settings.sync();
    }
    // The rewrite goes through a temporary file; keep the result owner-only.
    ::chmod(QFile::encodeName(path_).constData(), S_IRUSR | S_IWUSR);
}

void IniSettingsStore::ensurePrivateFile() const
{
    MakePrivateFolder(QFileInfo(path_).absolutePath());
    const QByteArray native = QFile::encodeName(path_);
    // O_EXCL: create it ourselves with mode 0600 before anything is written,
    // so the password is never readable by others, not even for a moment.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0)
        ::close(fd);
}

} // namespace platform
