#pragma once
#include "platform/DataFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// recentcall.txt: the last five calls, newest first, one
// "NUMBER--Duration: H:M:S" line each, ended by CR LF. The file is 8-bit
// text; lines are handed out decoded as Latin-1 so that every byte comes
// back unchanged when a line is written again.
class HistoryFile {
public:
    static constexpr int kMaxLines = 5;
    static inline const QString kFileName = QStringLiteral("recentcall.txt");

    enum class AddResult {
        Recorded,
        NotRead,    // the file exists but cannot be read, or cannot be created: left alone
        NotWritten, // the new file could not be saved; the old one is still whole
    };

    explicit HistoryFile(const QString &folder);

    QString path() const { return m_file.path(); }

    // The records, newest first, at most five. A missing file is created
    // empty. nullopt when the file can be neither read nor created; an
    // existing file is never emptied because of that.
    std::optional<QStringList> ReadLines() const;

    // Puts one record on top and drops the oldest beyond five. The counters
    // are written as given. Failures are never reported to the user; the
    // result is for callers that want to know.
    AddResult AddRecentCall(const QString &number, int hours, int minutes, int seconds);

    // The record line for these values, as it goes on disk (without CR LF).
    // Characters outside Latin-1 become '?'; CR and LF become blanks so a
    // number can never split a record.
    static QByteArray RecordLine(const QString &number, int hours, int minutes, int seconds);

    // The text before the first "--"; the whole line when there is none.
    static QString NumberOf(const QString &line);

private:
    platform::DataFile m_file;
};
