#include "phonebook/PhoneBookFile.h"

#include <QDir>
#include <QStringDecoder>

namespace {
// A book beyond the limits is refused whole rather than cut short: saving a
// part of it would lose the rest.
const platform::DataFileFormat kFormat{
    .endings = platform::DataFileFormat::Endings::LineFeed,
    .maxFileBytes = PhoneBookFile::kMaxFileBytes,
    .maxLines = PhoneBookFile::kMaxLines,
    .beyondMaxLines = platform::DataFileFormat::BeyondMaxLines::Refuse,
    .noun = "a phone book",
};
} // namespace

PhoneBookFile::PhoneBookFile(const QString &folder)
    : m_file(QDir(folder).filePath(kFileName), kFormat)
{
}

PhoneBookFile::ReadResult PhoneBookFile::Read() const
{
    return m_file.Read();
}

bool PhoneBookFile::Write(const QList<QByteArray> &lines, QString *problem) const
{
    return m_file.Write(lines, problem);
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
