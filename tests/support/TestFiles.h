#pragma once
// Files as bytes, for tests that check what is on disk to the byte.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace testfiles {

// The whole file; "<unreadable>" when it cannot be opened, so a comparison
// with any expected content fails.
inline QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Replaces the file with exactly these bytes; false when that failed.
inline bool putBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace testfiles
