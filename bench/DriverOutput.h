#pragma once
// What the bench drivers print: one line per happening, with a
// CLOCK_REALTIME stamp (seconds, comparable with the shell's
// $EPOCHREALTIME), and message boxes said rather than waited on.
#include "platform/IMessageBox.h"

#include <QString>

#include <cstdio>
#include <ctime>

inline double realtimeNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline void emitLine(const char *kind, double t, const QString &text)
{
    std::printf("%s %.6f %s\n", kind, t, text.toUtf8().constData());
    std::fflush(stdout);
}

// A message box would wait for a person; the bench has none, so say it and go on.
struct PrintingMessageBox : platform::IMessageBox {
    platform::MsgResult Show(const QString &text, const QString &title, platform::MsgIcon, platform::MsgButtons,
                             QWidget *) override
    {
        emitLine("message", realtimeNow(), title + QStringLiteral(": ") + text);
        return platform::MsgResult::OK;
    }
};
