#include "history/HistoryFile.h"

#include <QDir>

namespace {
// Only the first five lines count, whatever else is in the file. A line
// longer than 4096 bytes was not written by us.
const platform::DataFileFormat kFormat{
    .endings = platform::DataFileFormat::Endings::AnyBreak,
    .maxLines = HistoryFile::kMaxLines,
    .beyondMaxLines = platform::DataFileFormat::BeyondMaxLines::KeepFirst,
    .maxLineBytes = 4096,
    .noun = "a call history",
};
} // namespace

HistoryFile::HistoryFile(const QString &folder)
    : m_file(QDir(folder).filePath(kFileName), kFormat)
{
}

std::optional<QStringList> HistoryFile::ReadLines() const
{
    const platform::DataFile::ReadResult raw = m_file.Read();
    if (!raw.usable())
        return std::nullopt;
    QStringList lines;
    lines.reserve(raw.lines.size());
    for (const QByteArray &line : raw.lines)
        lines.append(QString::fromLatin1(line));
    return lines;
}

HistoryFile::AddResult HistoryFile::AddRecentCall(const QString &number, int hours, int minutes, int seconds)
{
    // Writing after a failed read would throw away the calls we could not see.
    platform::DataFile::ReadResult read = m_file.Read();
    if (!read.usable())
        return AddResult::NotRead;
    QList<QByteArray> &lines = read.lines;
    lines.prepend(RecordLine(number, hours, minutes, seconds));
    while (lines.size() > kMaxLines)
        lines.removeLast();
    return m_file.Write(lines) ? AddResult::Recorded : AddResult::NotWritten;
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
