// The phone as bench/flood_bench.sh drives it: the program's own wiring
// (app/Program, the log in the state folder as main() opens it) and the
// phone window, with a 20 ms timer on the UI thread that keeps the longest
// gap between its ticks.
//
// Commands, one a line on stdin:
//   mark     starts a measuring window: the longest gap is counted afresh
//   report   ends it: prints the longest gap since mark
//   quit     closes the window as the close button does
// Lines on stdout, each with a CLOCK_REALTIME stamp (seconds, comparable
// with the shell's $EPOCHREALTIME):
//   status T TEXT                  the status line changed
//   marked T                       the window began
//   gap T LONGEST_MS TICKS REFUSED the window's longest gap between two
//                                  ticks, the ticks in it and the datagrams
//                                  the SIP filter turned away in it
//   message T TEXT                 the phone showed a message box (answered OK)
//   error T TEXT                   a command it does not know
#include "app/Program.h"
#include "bench/DriverOutput.h"
#include "bench/StdinCommands.h"
#include "mainwindow/frmSoftphone.h"
#include "platform/DataFolder.h"
#include "platform/Log.h"
#include "platform/QuitOnSignal.h"
#include "rtc/linphone/SipFilter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kTickMs = 20; // the engine's own timer beats at this rate

} // namespace

int main(int argc, char *argv[])
{
    // As the program does: the log takes the engine's and Qt's lines from the start.
    platform::Log::Open(platform::Log::DefaultPath(), platform::Log::Options{});
    platform::Log::CaptureQtMessages();
    QApplication app(argc, argv);
    Program::Describe();

    Program program;
    PrintingMessageBox messages;
    frmSoftphone form(program.Wire(platform::UserDataFolder(), &messages));
    QString shown;
    QObject::connect(&form.phone(), &Phone::StatusTextChanged, &app, [&](const QString &text) {
        if (text != shown)
            emitLine("status", realtimeNow(), text);
        shown = text;
    });
    form.Form_Load();
    if (form.IsExiting())
        return 1;
    platform::QuitOnSignal quitOnSignal([&form] { form.close(); });
    form.show();

    // Whatever holds the UI thread (the engine's iterate() above all) holds
    // this timer's next tick back.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longest = 0, ticks = 0;
    long refusedAtMark = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(kTickMs);
    QObject::connect(&beat, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
        ++ticks;
    });
    lastTick = clock.nsecsElapsed();
    beat.start();

    // The bench went away: end like the close button.
    StdinCommands commands([&form] { form.close(); }, [&](const QString &line) {
        if (line == QLatin1String("mark")) {
            // The gap running now ends in the window: it counts from its start.
            longest = 0;
            ticks = 0;
            refusedAtMark = rtc::lp::SipFilter::Refused();
            emitLine("marked", realtimeNow(), QString());
        } else if (line == QLatin1String("report")) {
            // The gap still open counts too: a tick held back right now.
            const qint64 open = clock.nsecsElapsed() - lastTick;
            emitLine("gap", realtimeNow(),
                     QStringLiteral("%1 %2 %3")
                         .arg(double(std::max(longest, open)) / 1e6, 0, 'f', 1)
                         .arg(ticks)
                         .arg(rtc::lp::SipFilter::Refused() - refusedAtMark));
        } else if (line == QLatin1String("quit")) {
            form.close();
        } else if (!line.isEmpty()) {
            emitLine("error", realtimeNow(), QStringLiteral("unknown command: ") + line);
        }
    });
    const int code = app.exec();
    platform::Log::Close();
    return code;
}
