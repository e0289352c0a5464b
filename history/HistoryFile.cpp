#include "history/HistoryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
// A line longer than this was not written by us; the rest of it is dropped
// rather than read into memory.
constexpr qsizetype kMaxLineBytes = 4096;
} // namespace

HistoryFile::HistoryFile(const QString &folder)
    : m_path(QDir(folder).filePath(kFileName))
{
}

std::optional<QList<QByteArray>> HistoryFile::readRaw() const
{
    const QFileInfo info(m_path);
    if (!info.exists()) {
        // NewOnly: something that appears meanwhile is never truncated.
        QFile create(m_path);
        create.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    } else if (!info.isFile()) {
        // A folder, a pipe or a device: opening a pipe would block for good.
        return std::nullopt;
    }

    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    // CR LF, a lone CR and a lone LF each end a line.
    QList<QByteArray> lines;
    QByteArray current;
    bool afterCr = false;
    char buffer[4096];
    while (lines.size() < kMaxLines) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt; // half a file is not the history
        if (n == 0)
            break;
        for (qint64 i = 0; i < n && lines.size() < kMaxLines; ++i) {
            const char c = buffer[i];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = (c == '\r');
            if (c == '\r' || c == '\n') {
                lines.append(current);
                current.clear();
            } else if (current.size() < kMaxLineBytes) {
                current.append(c);
            }
        }
    }
    if (lines.size() < kMaxLines && !current.isEmpty())
        lines.append(current); // last line without an ending
    return lines;
}

std::optional<QStringList> HistoryFile::ReadLines() const
{
    const auto raw = readRaw();
    if (!raw)
        return std::nullopt;
    QStringList lines;
    lines.reserve(raw->size());
    for (const QByteArray &line : *raw)
        lines.append(QString::fromLatin1(line));
    return lines;
}

HistoryFile::AddResult HistoryFile::AddRecentCall(const QString &number, int hours, int minutes, int seconds)
{
    // Writing after a failed read would throw away the calls we could not see.
    auto lines = readRaw();
    if (!lines)
        return AddResult::NotRead;
    lines->prepend(RecordLine(number, hours, minutes, seconds));
    while (lines->size() > kMaxLines)
        lines->removeLast();

    QByteArray text;
    for (const QByteArray &line : std::as_const(*lines))
        text += line + "\r\n";

    // Written beside the old file and renamed over it, so a crash or a full
    // disk leaves the previous history whole.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return AddResult::NotWritten;
    // Check the write and the flush ourselves: a buffered write that fails
    // while being flushed (disk full, file-size limit) is not always seen by
    // commit(), which would then put a cut-off file in place.
    if (out.write(text) != text.size() || !out.flush()) {
        out.cancelWriting();
        return AddResult::NotWritten;
    }
    return out.commit() ? AddResult::Recorded : AddResult::NotWritten;
}

QByteArray HistoryFile::RecordLine(const QString &number, int hours, int minutes, int seconds)
{
    QByteArray line = number.toLatin1();
    line.replace('\r', ' ').replace('\n', ' ');
    line += "--Duration: ";
    line += QByteArray::number(hours) + ':' + QByteArray::number(minutes) + ':' + QByteArray::number(seconds);
    return line;
}

QString HistoryFile::NumberOf(const QString &line)
{
    const qsizetype end = line.indexOf(QLatin1String("--"));
    return end < 0 ? line : line.left(end);
}

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
