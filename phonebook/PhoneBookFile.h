#pragma once
#include "platform/DataFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// PhoneBook.txt: one "name--number" entry per line, each line ended by CR LF,
// in list order, no header. The file is 8-bit text that other programs may
// have written, so lines travel as raw bytes: a line nobody changed goes back
// to disk exactly as it came.
class PhoneBookFile {
public:
    static inline const QString kFileName = QStringLiteral("PhoneBook.txt");
    static inline const QString kSeparator = QStringLiteral("--");
    // Far beyond anything this program writes (32,766 short entries); a file
    // this big is something else and is not read into memory.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    static constexpr qsizetype kMaxLines = 1000000;

    using ReadStatus = platform::DataFile::ReadStatus;
    using ReadResult = platform::DataFile::ReadResult;

    explicit PhoneBookFile(const QString &folder);

    QString path() const { return m_file.path(); }

    // All lines in one go. Lines end at LF; a CR right before it belongs to
    // the ending. A missing file is created empty; anything that exists is
    // never changed, whatever the outcome. Never blocks on a pipe.
    ReadResult Read() const;

    // Replaces the file with these lines, each followed by CR LF, in one
    // step: on any failure the old file stays whole and false comes back
    // with the reason in *problem.
    bool Write(const QList<QByteArray> &lines, QString *problem = nullptr) const;

    // The entry line as text: both parts trimmed, joined by "--". Line
    // breaks become blanks so that one entry can never turn into two lines.
    static QString EntryText(const QString &name, const QString &number);

    // How a stored line is shown: UTF-8 when it is valid UTF-8, else Latin-1,
    // which maps every byte to a character.
    static QString Decode(const QByteArray &raw);
    // The bytes for a line's text: the previous bytes when the text is what
    // they already show, else UTF-8.
    static QByteArray Encode(const QString &text, const QByteArray *previous = nullptr);

    // The first and second pieces of a line split at "--"; a line without
    // one is all name and no number.
    static QString NameOf(const QString &line);
    static QString NumberOf(const QString &line);

private:
    platform::DataFile m_file;
};
