#include "platform/DataFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
using Endings = DataFileFormat::Endings;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int openForReading(const QByteArray &path)
{
    int fd;
    do {
        // O_NONBLOCK: opening a pipe with no writer must not hang the program.
        fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

DataFile::ReadResult notAPlainFile(const QString &where)
{
    return {DataFile::ReadStatus::NotAFile, {}, QStringLiteral("%1 is not a plain file.").arg(where)};
}

// Cuts the bytes of a file into lines as they come in, a chunk at a time, so
// that an ending split between two chunks still counts once.
class LineSplitter {
public:
    explicit LineSplitter(const DataFileFormat &format)
        : m_format(format)
    {
    }

    // False once no more lines are wanted.
    bool feed(const char *p, const char *end)
    {
        while (p < end && !full()) {
            if (m_format.endings == Endings::LineFeed) {
                if (m_pendingCr) {
                    m_pendingCr = false;
                    if (*p == '\n') {
                        endLine(p, 0);
                        ++p;
                        continue;
                    }
                    append("\r", 1);
                }
                const char *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
                if (!lf) {
                    // A CR at the end of the chunk may be the first half of CR LF.
                    const char *stop = end[-1] == '\r' ? end - 1 : end;
                    m_pendingCr = stop != end;
                    append(p, stop - p);
                    break;
                }
                endLine(p, lf - p - (lf > p && lf[-1] == '\r' ? 1 : 0));
                p = lf + 1;
            } else {
                if (m_afterCr) {
                    m_afterCr = false;
                    if (*p == '\n') {
                        ++p;
                        continue;
                    }
                }
                const char *brk = p;
                while (brk < end && *brk != '\r' && *brk != '\n')
                    ++brk;
                if (brk == end) {
                    append(p, end - p);
                    break;
                }
                m_afterCr = *brk == '\r';
                endLine(p, brk - p);
                p = brk + 1;
            }
        }
        return !full();
    }

    // The last line, when the file does not end with a line break.
    void finish()
    {
        if (m_pendingCr)
            append("\r", 1); // a CR at the very end is text
        m_pendingCr = false;
        if (m_started && !full())
            endLine(nullptr, 0);
    }

    QList<QByteArray> lines;
    qsizetype count = 0; // every line seen, kept or not

private:
    bool keeping() const { return m_format.maxLines < 0 || lines.size() < m_format.maxLines; }
    bool full() const { return m_format.beyondMaxLines == DataFileFormat::BeyondMaxLines::KeepFirst && !keeping(); }

    qsizetype room(qsizetype held) const
    {
        return m_format.maxLineBytes < 0 ? std::numeric_limits<qsizetype>::max() : m_format.maxLineBytes - held;
    }

    void append(const char *p, qsizetype n)
    {
        m_started = m_started || n > 0;
        if (keeping())
            m_current.append(p, std::min(n, room(m_current.size())));
    }

    // Ends the line held so far plus these n bytes.
    void endLine(const char *p, qsizetype n)
    {
        ++count;
        if (keeping()) {
            if (m_current.isEmpty())
                lines.append(QByteArray(p, std::min(n, room(0))));
            else
                lines.append(m_current.append(p, std::min(n, room(m_current.size()))));
        }
        m_current.clear();
        m_started = false;
    }

    const DataFileFormat &m_format;
    QByteArray m_current;
    bool m_started = false;   // bytes of a line not yet ended, kept or not
    bool m_pendingCr = false; // LineFeed: a CR that an LF may follow
    bool m_afterCr = false;   // AnyBreak: a line just ended at CR, so an LF next is part of that ending
};

QByteArray joinLines(const QList<QByteArray> &lines)
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
} // namespace

DataFile::DataFile(const QString &path, const DataFileFormat &format)
    : m_path(path)
    , m_format(format)
{
}

QString DataFile::where() const
{
    return QDir::toNativeSeparators(m_path);
}

DataFile::ReadResult DataFile::Read() const
{
    const QByteArray native = QFile::encodeName(m_path);
    // Not even opened when it is no plain file: opening a device can have
    // effects of its own. The check after opening is the one that counts.
    struct stat before {};
    if (::stat(native.constData(), &before) == 0 && !S_ISREG(before.st_mode))
        return notAPlainFile(where());
    int fd = openForReading(native);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        // O_EXCL: a file that appears meanwhile is read, never truncated.
        // Owner-only: the phone book and the calls are the user's own.
        const int created = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (created >= 0) {
            ::close(created);
            return {ReadStatus::Created, {}, {}};
        }
        if (errno != EEXIST) {
            return {ReadStatus::NotCreated, {},
                    QStringLiteral("%1 could not be created: %2.").arg(where(), systemError(errno))};
        }
        fd = openForReading(native);
    }
    if (fd < 0)
        return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be opened: %2.").arg(where(), systemError(errno))};
    ReadResult result = readOpen(fd);
    ::close(fd);
    return result;
}

DataFile::ReadResult DataFile::readOpen(int fd) const
{
    const QString noun = QString::fromLatin1(m_format.noun);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be examined: %2.").arg(where(), systemError(errno))};
    if (!S_ISREG(info.st_mode))
        return notAPlainFile(where());
    const qint64 limit = m_format.maxFileBytes;
    if (limit >= 0 && info.st_size > limit) {
        return {ReadStatus::TooLarge, {},
                QStringLiteral("%1 is too large to be %2 (%3 bytes).").arg(where(), noun, QString::number(info.st_size))};
    }

    LineSplitter splitter(m_format);
    qint64 total = 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {ReadStatus::Unreadable, {}, QStringLiteral("%1 could not be read: %2.").arg(where(), systemError(errno))};
        if (n == 0)
            break;
        // It may be growing while we read: stop at the same limit.
        total += n;
        if (limit >= 0 && total > limit)
            return {ReadStatus::TooLarge, {}, QStringLiteral("%1 is too large to be %2.").arg(where(), noun)};
        if (!splitter.feed(buffer, buffer + n))
            return {ReadStatus::Read, std::move(splitter.lines), {}};
    }
    splitter.finish();
    if (m_format.beyondMaxLines == DataFileFormat::BeyondMaxLines::Refuse && m_format.maxLines >= 0 &&
        splitter.count > m_format.maxLines) {
        return {ReadStatus::TooLarge, {},
                QStringLiteral("%1 has too many lines to be %2 (%3).").arg(where(), noun, QString::number(splitter.count))};
    }
    return {ReadStatus::Read, std::move(splitter.lines), {}};
}

bool DataFile::Write(const QList<QByteArray> &lines, QString *problem) const
{
    auto fail = [&](const QString &why) {
        if (problem)
            *problem = QStringLiteral("%1 could not be written: %2.").arg(where(), why);
        return false;
    };
    const QByteArray text = joinLines(lines);
    // Written beside the old file and renamed over it, so a crash or a full
    // disk leaves the previous file whole.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    // The new file takes the place of the old one: owner-only, whatever the
    // umask or the old file's mode.
    if (::fchmod(out.handle(), S_IRUSR | S_IWUSR) != 0) {
        const int error = errno;
        out.cancelWriting();
        return fail(systemError(error));
    }
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

} // namespace platform
