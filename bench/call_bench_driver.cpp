// The phone as bench/call_bench.sh drives it: the program's own wiring
// (app/Program) with a window that tells when its key tones are over.
//
// Commands, one a line on stdin:
//   dial NUMBER   types NUMBER into the number box and clicks the call key
//   hangup        clicks the end key
//   quit          closes the window as the close button does
//   feedback      clicks the feedback button
//   feedback-close closes the feedback window as its frame's close button does
// Lines on stdout, each with a CLOCK_REALTIME stamp (seconds, comparable
// with tcpdump -tt):
//   status T TEXT        the status line changed
//   dialled T N          the call key returned; T is the end of the last of N tone pauses
//   message T TEXT       the phone showed a message box (answered OK)
//   error T TEXT         a command could not be carried out
//   feedback T           T is just before the click on the feedback button
//   feedback-closed T    the feedback window was closed
#include "app/Program.h"
#include "bench/DriverOutput.h"
#include "bench/StdinCommands.h"
#include "platform/DataFolder.h"
#include "mainwindow/frmSoftphone.h"
#include "platform/QuitOnSignal.h"

#include <QApplication>
#include <QMouseEvent>

#include <cstdio>
#include <ctime>

namespace {

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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Program::Describe();

    Program program;
    PrintingMessageBox messages;
    // Under the data location, not next to the driver in the build folder.
    PhoneServices services = program.Wire(platform::UserDataFolder(), &messages);
    // Stamped after the real pause: its end is when the tone gap is over.
    double lastPauseEnd = 0;
    int pauses = 0;
    services.phone.pause = [&](int milliseconds) {
        Phone::Pause(milliseconds);
        lastPauseEnd = realtimeNow();
        ++pauses;
    };

    frmSoftphone form(services);
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

    // The bench went away: end like the close button.
    StdinCommands commands([&form] { form.close(); }, [&](const QString &line) {
        if (line.startsWith(QLatin1String("dial "))) {
            form.cmbPhoneNo->setEditText(line.mid(5).trimmed());
            lastPauseEnd = 0;
            pauses = 0;
            click(form.ControlNamed(QStringLiteral("Call")));
            emitLine("dialled", lastPauseEnd, QString::number(pauses));
        } else if (line == QLatin1String("hangup")) {
            click(form.ControlNamed(QStringLiteral("End call")));
        } else if (line == QLatin1String("feedback")) {
            emitLine("feedback", realtimeNow(), QString());
            click(form.ControlNamed(QStringLiteral("Feedback")));
        } else if (line == QLatin1String("feedback-close")) {
            if (QWidget *window = form.findChild<QWidget *>(QStringLiteral("frmFeedBack")))
                window->close();
            emitLine("feedback-closed", realtimeNow(), QString());
        } else if (line == QLatin1String("quit")) {
            form.close();
        } else if (!line.isEmpty()) {
            emitLine("error", realtimeNow(), QStringLiteral("unknown command: ") + line);
        }
    });
    return app.exec();
}
