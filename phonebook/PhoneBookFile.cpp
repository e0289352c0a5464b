#include "phonebook/PhoneBookFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int openForReading(const QByteArray &path)
{
    int fd;
    do {
        // O_NONBLOCK: opening a pipe with no writer must not hang the window.
        fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
} // namespace

PhoneBookFile::PhoneBookFile(const QString &folder)
    : m_path(QDir(folder).filePath(kFileName))
{
}

PhoneBookFile::ReadResult PhoneBookFile::Read() const
{
    const QByteArray native = QFile::encodeName(m_path);
    const QString where = QDir::toNativeSeparators(m_path);
    int fd = openForReading(native);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        // O_EXCL: a file that appears meanwhile is read, never truncated.
        const int created = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created >= 0) {
            ::close(created);
            return {ReadStatus::Created, {}, {}};
        }
        if (errno != EEXIST) {
            return {ReadStatus::NotCreated, {},
                    QStringLiteral("%1 could not be created: %2.").arg(where, systemError(errno))};
        }
        fd = openForReading(native);
    }
    if (fd < 0)
        return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be opened: %2.").arg(where, systemError(errno))};
    ReadResult result = readExisting(fd);
    ::close(fd);
    return result;
}

PhoneBookFile::ReadResult PhoneBookFile::readExisting(int fd) const
{
    const QString where = QDir::toNativeSeparators(m_path);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be examined: %2.").arg(where, systemError(errno))};
    if (!S_ISREG(info.st_mode))
        return {ReadStatus::NotAFile, {}, QStringLiteral("%1 is not a plain file.").arg(where)};
    if (info.st_size > kMaxFileBytes)
        return {ReadStatus::TooLarge, {},
                QStringLiteral("%1 is too large to be a phone book (%2 bytes).").arg(where).arg(info.st_size)};

    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be read: %2.").arg(where, systemError(errno))};
        if (n == 0)
            break;
        // It may be growing while we read: stop at the same limit.
        if (bytes.size() + n > kMaxFileBytes)
            return {ReadStatus::TooLarge, {}, QStringLiteral("%1 is too large to be a phone book.").arg(where)};
        bytes.append(buffer, n);
    }
    QList<QByteArray> lines = SplitLines(bytes);
    if (lines.size() > kMaxLines)
        return {ReadStatus::TooLarge, {},
                QStringLiteral("%1 has too many lines to be a phone book (%2).").arg(where).arg(lines.size())};
    return {ReadStatus::Read, std::move(lines), {}};
}

bool PhoneBookFile::Write(const QList<QByteArray> &lines, QString *problem) const
{
    const QString where = QDir::toNativeSeparators(m_path);
    auto fail = [&](const QString &why) {
        if (problem)
            *problem = QStringLiteral("%1 could not be written: %2.").arg(where, why);
        return false;
    };
    const QByteArray text = JoinLines(lines);
    // Written beside the old file and renamed over it, so a crash or a full
    // disk leaves the previous book whole.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    // Check the write and the flush ourselves: a buffered write that fails
    // while being flushed (disk full, file-size limit) is not always seen by
    // commit(), which would then put a cut-off file in place.
    if (out.write(text) != text.size() || !out.flush()) {
        const QString why = out.errorString();
        out.cancelWriting();
        return fail(why);
    }
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

QList<QByteArray> PhoneBookFile::SplitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool ended = end >= 0;
        if (!ended)
            end = bytes.size();
        qsizetype length = end - start;
        if (ended && length > 0 && bytes.at(end - 1) == '\r')
            --length;
        lines.append(bytes.mid(start, length));
        start = end + 1;
    }
    return lines;
}

QByteArray PhoneBookFile::JoinLines(const QList<QByteArray> &lines)
{
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 2;
    QByteArray text;
    text.reserve(size);
    for (const QByteArray &line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

QString PhoneBookFile::EntryText(const QString &name, const QString &number)
{
    auto part = [](QString text) {
        text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text.trimmed();
    };
    return part(name) + kSeparator + part(number);
}

QString PhoneBookFile::Decode(const QByteArray &raw)
{
    bool ascii = true;
    for (const char c : raw) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(raw);
    // Stateless: a sequence cut off at the end of the line is an error too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : text;
}

QByteArray PhoneBookFile::Encode(const QString &text, const QByteArray *previous)
{
    if (previous && Decode(*previous) == text)
        return *previous;
    return text.toUtf8();
}

QString PhoneBookFile::NameOf(const QString &line)
{
    const qsizetype end = line.indexOf(kSeparator);
    return end < 0 ? line : line.left(end);
}

QString PhoneBookFile::NumberOf(const QString &line)
{
    const qsizetype start = line.indexOf(kSeparator);
    if (start < 0)
        return QString();
    const qsizetype from = start + kSeparator.size();
    const qsizetype end = line.indexOf(kSeparator, from);
    return end < 0 ? line.mid(from) : line.mid(from, end - from);
}
