#include "platform/Log.h"

#include "platform/DataFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qsizetype kMaxText = 4096; // characters of one text; the rest is cut

struct State {
    std::mutex mutex;
    int fd = -1; // the file, or -1: the terminal
    QByteArray path;
    Log::Options options;
    qint64 size = 0;
    // The line written last, and how many times it came again since.
    Log::Level lastLevel = Log::Info;
    QString lastSource, lastText;
    long repeats = 0;
    bool flushAtExit = false;
    // Credentials the engine or a library might print: the value of an
    // Authorization header and of password or hash fields.
    const QRegularExpression header{QStringLiteral(R"(\b((?:proxy-)?authorization)[ \t]*:[^\r\n]*)"),
                                    QRegularExpression::CaseInsensitiveOption};
    const QRegularExpression field{
        QStringLiteral(R"(\b(ha1|passwd|password)\b(["']?\s*[:=]\s*)("[^"]*"|'[^']*'|[^\s,;&"'<]+))"),
        QRegularExpression::CaseInsensitiveOption};
    const QRegularExpression element{QStringLiteral(R"(<(ha1|passwd|password)>[^<]*)"),
                                     QRegularExpression::CaseInsensitiveOption};
};

// Never destroyed: the engine's threads and its libraries' clean-up may
// still say something while the process ends.
State &state()
{
    static State *s = new State;
    return *s;
}

void writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        p += n;
        left -= n;
    }
}

QString hideSecrets(const State &s, QString text)
{
    text.replace(s.header, QStringLiteral("\\1: (hidden)"));
    text.replace(s.field, QStringLiteral("\\1\\2(hidden)"));
    text.replace(s.element, QStringLiteral("<\\1>(hidden)"));
    return text;
}

// The text on one line: line breaks, other control characters and the
// invisible ones that reorder or hide text are written as escapes.
QString oneLine(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    QString out;
    out.reserve(qMin(end, kMaxText) + 8);
    for (qsizetype i = 0; i < end; ++i) {
        if (out.size() >= kMaxText) {
            out += QStringLiteral(" ...(cut)");
            break;
        }
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\n': out += QStringLiteral("\\n"); continue;
        case '\r': out += QStringLiteral("\\r"); continue;
        case '\t': out += QStringLiteral("\\t"); continue;
        default: break;
        }
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QByteArray lineOf(Log::Level level, const QString &source, const QString &text)
{
    static const char *const tags[] = {"DEBUG", "INFO ", "WARN ", "ERROR"};
    const QDateTime local = QDateTime::currentDateTime();
    const QDateTime now = local.toOffsetFromUtc(local.offsetFromUtc());
    return now.toString(Qt::ISODateWithMs).toUtf8() + ' ' + tags[level] + ' ' + source.toUtf8() + ": "
           + text.toUtf8() + '\n';
}

// Opens the file for appending, the owner's only; -1 and the reason when it
// cannot be written.
int openFile(const QByteArray &path, qint64 *size, QString *why)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (why)
            *why = QStringLiteral("not a plain file");
        return -1;
    }
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    *size = st.st_size;
    return fd;
}

// The full file becomes softphone.log.1, the one before softphone.log.2 and
// so on; the oldest goes.
void rotate(State &s)
{
    ::close(s.fd);
    s.fd = -1;
    if (s.options.keep <= 0)
        ::unlink(s.path.constData());
    for (int i = s.options.keep; i >= 1; --i) {
        const QByteArray from = i == 1 ? s.path : s.path + '.' + QByteArray::number(i - 1);
        ::rename(from.constData(), (s.path + '.' + QByteArray::number(i)).constData());
    }
    s.fd = openFile(s.path, &s.size, nullptr);
}

void put(State &s, Log::Level level, const QString &source, const QString &text)
{
    const QByteArray line = lineOf(level, source, text);
    if (s.fd >= 0 && s.size > 0 && s.size + line.size() > s.options.maxBytes)
        rotate(s);
    if (s.fd >= 0) {
        writeAll(s.fd, line);
        s.size += line.size();
    }
    if (s.fd < 0 || s.options.echo)
        writeAll(STDERR_FILENO, line);
}

void flushRepeats(State &s)
{
    if (s.repeats == 0)
        return;
    const long n = s.repeats;
    s.repeats = 0;
    put(s, s.lastLevel, s.lastSource,
        n == 1 ? QStringLiteral("(the line above once more)")
               : QStringLiteral("(the line above %1 more times)").arg(n));
}

// The file as it stands, its repeats written out, closed.
void closeFile(State &s)
{
    flushRepeats(s);
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
}

void qtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Log::Level level = Log::Debug;
    switch (type) {
    case QtDebugMsg: level = Log::Debug; break;
    case QtInfoMsg: level = Log::Info; break;
    case QtWarningMsg: level = Log::Warning; break;
    case QtCriticalMsg:
    case QtFatalMsg: level = Log::Error; break;
    }
    const bool named = context.category && std::strcmp(context.category, "default") != 0;
    Log::Write(level, named ? QString::fromLatin1(context.category) : QStringLiteral("qt"), message);
    if (type == QtFatalMsg) {
        // The program ends here: the terminal is told why, whatever the log.
        State &s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.fd >= 0 && !s.options.echo)
            writeAll(STDERR_FILENO, "softphone: " + oneLine(hideSecrets(s, message)).toUtf8() + '\n');
    }
}

} // namespace

void Log::Write(Level level, const QString &source, const QString &text)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    const QString where = oneLine(source);
    const QString what = oneLine(hideSecrets(s, text));
    if (level == s.lastLevel && where == s.lastSource && what == s.lastText) {
        ++s.repeats;
        return;
    }
    flushRepeats(s);
    s.lastLevel = level;
    s.lastSource = where;
    s.lastText = what;
    put(s, level, where, what);
}

bool Log::Open(const QString &path, const Options &options, QString *error)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    closeFile(s);
    const QFileInfo file(path);
    if (!MakePrivateFolder(file.absolutePath())) {
        if (error)
            *error = QStringLiteral("the folder %1 cannot be made").arg(file.absolutePath());
        return false;
    }
    const QByteArray native = QFile::encodeName(file.absoluteFilePath());
    QString why;
    const int fd = openFile(native, &s.size, &why);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file.absoluteFilePath(), why);
        return false;
    }
    s.fd = fd;
    s.path = native;
    s.options = options;
    if (!s.flushAtExit) {
        s.flushAtExit = true;
        std::atexit([] {
            State &s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            flushRepeats(s);
        });
    }
    return true;
}

void Log::Close()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    closeFile(s);
    s.lastSource.clear();
    s.lastText.clear();
}

QString Log::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Softphone/softphone.log");
}

void Log::CaptureQtMessages()
{
    qInstallMessageHandler(qtMessage);
}

} // namespace platform
