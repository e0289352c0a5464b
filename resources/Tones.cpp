#include "resources/Tones.h"

#include <QDir>
#include <QFile>

namespace Tones {

QString resourcePath(const QString &toneName)
{
    // Compared against the folder's own entries, so no name can reach
    // outside it ("../skins/main.png" matches nothing).
    static const QStringList entries = QDir(QStringLiteral(":/tones")).entryList(QDir::Files);
    for (const QString &e : entries) {
        if (e.compare(toneName, Qt::CaseInsensitive) == 0)
            return QStringLiteral(":/tones/") + e;
    }
    return {};
}

QByteArray load(const QString &toneName)
{
    const QString path = resourcePath(toneName);
    if (path.isEmpty())
        return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace Tones
