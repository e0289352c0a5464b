#pragma once
#include "platform/ISettingsStore.h"
#include <QHash>
#include <QStringList>

namespace platform {

// Test double: keeps values in memory and records every write in order.
class MemorySettingsStore final : public ISettingsStore {
public:
    QString GetSetting(const QString &appName, const QString &section, const QString &key) const override
    {
        return values.value(path(appName, section, key));
    }
    void SaveSetting(const QString &appName, const QString &section, const QString &key,
                     const QString &value) override
    {
        values.insert(path(appName, section, key), value);
        writes << path(appName, section, key);
    }
    bool contains(const QString &appName, const QString &section, const QString &key) const
    {
        return values.contains(path(appName, section, key));
    }
    static QString path(const QString &a, const QString &s, const QString &k) { return a + '/' + s + '/' + k; }

    QHash<QString, QString> values;
    QStringList writes;
};

} // namespace platform
