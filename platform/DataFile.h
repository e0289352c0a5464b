#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

// How one of the program's data files is split into lines and how much of it
// is taken in. Other programs may have written the file, so nothing in it is
// trusted to be small or well formed.
struct DataFileFormat {
    enum class Endings {
        LineFeed, // a line ends at LF; one CR right before it goes with it, any other CR is text
        AnyBreak, // CR LF, a lone CR and a lone LF each end a line
    };
    enum class BeyondMaxLines {
        Refuse,    // the file is too large to be used
        KeepFirst, // the first maxLines are the file; the rest is not read
    };

    Endings endings = Endings::LineFeed;
    qint64 maxFileBytes = -1; // the whole file; -1 for no limit
    qsizetype maxLines = -1;  // -1 for no limit
    BeyondMaxLines beyondMaxLines = BeyondMaxLines::Refuse;
    qsizetype maxLineBytes = -1; // kept of each line; the rest is skipped, never held in memory
    const char *noun = "a data file"; // as in "too large to be a phone book"
};

// One 8-bit data file: lines of raw bytes, each ended by CR LF on disk.
class DataFile {
public:
    enum class ReadStatus {
        Read,       // the lines are in
        Created,    // there was no file; an empty one was made
        NotCreated, // there was no file and none could be made
        NotAFile,   // a folder, pipe or device stands in its place
        Unreadable, // it exists but reading it failed
        TooLarge,   // beyond the format's limits
    };
    struct ReadResult {
        ReadStatus status = ReadStatus::Unreadable;
        QList<QByteArray> lines; // without their endings
        QString problem;         // what went wrong, for the user; empty when usable
        bool usable() const { return status == ReadStatus::Read || status == ReadStatus::Created; }
    };

    DataFile(const QString &path, const DataFileFormat &format);

    const QString &path() const { return m_path; }

    // All lines in one go. A missing file is created empty; anything that
    // exists is never changed, whatever the outcome. Never blocks on a pipe.
    // When reading fails there are no lines at all.
    ReadResult Read() const;

    // Replaces the file with these lines, each followed by CR LF, in one
    // step: on any failure the old file stays whole and false comes back
    // with the reason in *problem.
    bool Write(const QList<QByteArray> &lines, QString *problem = nullptr) const;

private:
    ReadResult readOpen(int fd) const;
    QString where() const;

    QString m_path;
    DataFileFormat m_format;
};

} // namespace platform
