// The phone as bench/wait_bench.sh drives it: the program's own wiring
// (app/Program, the log in the state folder as main() opens it) and the
// phone window, with a 5 ms timer on the UI thread whose gaps between ticks
// are kept per phase. Whatever holds the UI thread, a wait for the engine's
// thread above all, holds the next tick back.
//
// Commands, one a line on stdin:
//   phase NAME  ends the phase running (printing its figures) and starts NAME;
//               "phase -" only ends it
//   span NAME   the same for a span: the gaps of every phase from here on
//               are counted in it too (a call made of several phases)
//   answer      clicks the call key
//   wizard      clicks the audio wizard key (the wizard is modal: commands
//               go on being read while it is open)
//   cancel      clicks Cancel in the open audio wizard
//   end         clicks the end key
//   quit        closes the window as the close button does (the phone shuts
//               down inside the close)
// Lines on stdout, each with a CLOCK_REALTIME stamp (seconds, comparable
// with the shell's $EPOCHREALTIME):
//   status T TEXT     the status line changed
//   phase T NAME LONGEST_MS P99_MS OVER_20MS TICKS SECONDS CPU_MS QUEUED_MS
//                     the figures of the phase that ended at T: its longest
//                     gap between two ticks, the 99th percentile of its gaps,
//                     how many gaps were over 20 ms, its ticks and its length;
//                     of the longest gap, how long the UI thread ran and how
//                     long it was ready to run but had no CPU (the rest it
//                     slept: waiting for the engine, or for nothing to do);
//                     "-" for both without the kernel's schedstat
//   span T NAME ...   the same figures for the span that ended at T
//   wizard T opened   the audio wizard is up (its key's click is under way)
//   wizard T closed   its key's click returned
//   closed T MS       the window's close took MS
//   message T TEXT    the phone showed a message box (answered OK)
//   error T TEXT      a command could not be carried out
#include "app/Program.h"
#include "bench/DriverOutput.h"
#include "bench/StdinCommands.h"
#include "mainwindow/frmSoftphone.h"
#include "platform/DataFolder.h"
#include "platform/Log.h"
#include "platform/QuitOnSignal.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <vector>

namespace {

constexpr int kTickMs = 5;
constexpr qint64 kLateNs = 20'000'000; // a gap over this is counted apart

// Press and release in the middle of a control, as a mouse would.
void click(QWidget *w)
{
    const QPointF local(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// A control of the window by the name a screen reader gives it.
QWidget *control(const QWidget &window, const QString &accessibleName)
{
    for (QWidget *w : window.findChildren<QWidget *>())
        if (w->accessibleName() == accessibleName)
            return w;
    return nullptr;
}

QWidget *openWizard()
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal && modal->windowTitle() == QLatin1String("Audio Wizard") ? modal : nullptr;
}

// The UI thread's time on a CPU and waiting for one, from the kernel's
// schedstat of the thread that opened it (ns).
struct Sched {
    qint64 cpu = 0, queued = 0;
};
class SchedStat {
public:
    SchedStat() : fd_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~SchedStat()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool valid() const { return fd_ >= 0; }
    Sched now() const
    {
        char buf[128];
        Sched s;
        const ssize_t n = fd_ >= 0 ? ::pread(fd_, buf, sizeof buf - 1, 0) : -1;
        if (n > 0) {
            buf[n] = '\0';
            long long cpu = 0, queued = 0;
            if (std::sscanf(buf, "%lld %lld", &cpu, &queued) == 2)
                s = {cpu, queued};
        }
        return s;
    }

private:
    int fd_;
};

// The gaps between the ticks of one phase.
struct Phase {
    QString name;
    qint64 startNs = 0;
    std::vector<qint64> gaps;
    qint64 longest = -1;
    Sched longestSplit; // of the longest gap

    void add(qint64 gap, Sched during)
    {
        if (gap > longest) {
            longest = gap;
            longestSplit = during;
        }
        gaps.push_back(gap);
    }

    QString figures(qint64 nowNs, bool split) const
    {
        std::vector<qint64> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        const auto ms = [](qint64 ns) { return double(ns) / 1e6; };
        // nearest rank
        const qint64 p99 = sorted.empty() ? 0 : sorted[size_t(std::ceil(0.99 * double(sorted.size()))) - 1];
        const auto late = std::count_if(sorted.begin(), sorted.end(), [](qint64 g) { return g > kLateNs; });
        return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
            .arg(name)
            .arg(ms(std::max<qint64>(longest, 0)), 0, 'f', 1)
            .arg(ms(p99), 0, 'f', 1)
            .arg(late)
            .arg(gaps.size())
            .arg(double(nowNs - startNs) / 1e9, 0, 'f', 2)
            .arg(split ? QString::number(ms(longestSplit.cpu), 'f', 1) : QStringLiteral("-"))
            .arg(split ? QString::number(ms(longestSplit.queued), 'f', 1) : QStringLiteral("-"));
    }
};

} // namespace

int main(int argc, char *argv[])
{
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

    QElapsedTimer clock;
    clock.start();
    const SchedStat schedStat;
    qint64 lastTick = clock.nsecsElapsed();
    Sched lastSched = schedStat.now();
    Phase phase, span;
    bool measuring = false, spanning = false;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(kTickMs);
    // Ends the gap running now: it goes to the phase and the span.
    const auto endGap = [&] {
        const qint64 now = clock.nsecsElapsed();
        const Sched s = schedStat.now();
        const Sched during{s.cpu - lastSched.cpu, s.queued - lastSched.queued};
        if (measuring)
            phase.add(now - lastTick, during);
        if (spanning)
            span.add(now - lastTick, during);
        lastTick = now;
        lastSched = s;
        return now;
    };
    QObject::connect(&beat, &QTimer::timeout, &app, endGap);
    beat.start();

    const auto press = [&](const QString &name) {
        QWidget *w = control(form, name);
        if (!w || !w->isEnabled()) {
            emitLine("error", realtimeNow(), QStringLiteral("no enabled control named ") + name);
            return;
        }
        click(w);
    };

    // The bench went away: end like the close button.
    StdinCommands commands([&form] { form.close(); }, [&](const QString &line) {
        if (line.startsWith(QLatin1String("phase "))) {
            // The gap running now is cut at the boundary: its first part
            // ends this phase, the rest belongs to the next.
            const qint64 now = endGap();
            if (measuring)
                emitLine("phase", realtimeNow(), phase.figures(now, schedStat.valid()));
            phase = Phase{line.mid(6).trimmed(), now, {}, -1, {}};
            measuring = phase.name != QLatin1String("-");
        } else if (line.startsWith(QLatin1String("span "))) {
            const qint64 now = clock.nsecsElapsed();
            if (spanning)
                emitLine("span", realtimeNow(), span.figures(now, schedStat.valid()));
            span = Phase{line.mid(5).trimmed(), now, {}, -1, {}};
            spanning = span.name != QLatin1String("-");
        } else if (line == QLatin1String("answer")) {
            press(QStringLiteral("Call"));
        } else if (line == QLatin1String("wizard")) {
            // Its click returns only when the modal wizard closes: run it
            // from a timer so that this handler returns and reads on.
            QTimer::singleShot(0, &app, [&] {
                QTimer::singleShot(0, &app, [] {
                    if (openWizard())
                        emitLine("wizard", realtimeNow(), QStringLiteral("opened"));
                });
                press(QStringLiteral("Audio wizard"));
                emitLine("wizard", realtimeNow(), QStringLiteral("closed"));
            });
        } else if (line == QLatin1String("cancel")) {
            QWidget *wizard = openWizard();
            auto *buttons = wizard ? wizard->findChild<QDialogButtonBox *>() : nullptr;
            if (QPushButton *cancel = buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr)
                click(cancel);
            else
                emitLine("error", realtimeNow(), QStringLiteral("no audio wizard with a Cancel button"));
        } else if (line == QLatin1String("end")) {
            press(QStringLiteral("End call"));
        } else if (line == QLatin1String("quit")) {
            const qint64 start = clock.nsecsElapsed();
            form.close();
            emitLine("closed", realtimeNow(),
                     QString::number(double(clock.nsecsElapsed() - start) / 1e6, 'f', 1));
        } else if (!line.isEmpty()) {
            emitLine("error", realtimeNow(), QStringLiteral("unknown command: ") + line);
        }
    });
    const int code = app.exec();
    platform::Log::Close();
    return code;
}
