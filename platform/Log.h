#pragma once
#include <QString>

namespace platform {

// The program's log: one file in the user's state folder, kept small by
// setting it aside when full. Each line reads
//   2025-03-01T14:02:11.042+01:00 INFO  call: outgoing call to sip:0201234567@example.net
// Texts are made one line each and anything that looks like a credential
// (an Authorization header, a "passwd" or "ha1" field) is hidden. A line
// said again and again is written once, then how many more times.
// Until Open (and after Close) the lines go to the terminal (stderr).
// Any thread may write.
class Log {
public:
    enum Level { Debug, Info, Warning, Error };

    struct Options {
        qint64 maxBytes = 1024 * 1024; // a file this big is set aside, a new one begun
        int keep = 2;                  // files set aside: softphone.log.1 (the newer), .2
        bool echo = false;             // every line also to the terminal
    };

    static void Write(Level level, const QString &source, const QString &text);

    // From now on the lines go to the file at path (and to the terminal with
    // echo). Missing folders are made owner-only, the file is the owner's
    // only (0600). False, with the reason in *error, when the file cannot be
    // written: the lines keep going to the terminal then.
    static bool Open(const QString &path, const Options &options, QString *error = nullptr);
    static void Close();

    // $XDG_STATE_HOME/Softphone/softphone.log, where XDG_STATE_HOME is
    // ~/.local/state unless it is set to an absolute path.
    static QString DefaultPath();

    // Qt's own messages (qWarning and the like) become lines of the log.
    static void CaptureQtMessages();
};

} // namespace platform
