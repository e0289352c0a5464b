// The outline and the drag as a user meets them: a real X server (Xvfb), the
// skinned window in its own process on it, and the pointer driven through
// the server (xdotool), so clicks go where the server's window shape sends
// them.

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Reads the probe's lines as they come.
struct Probe {
    QProcess process;
    QStringList lines;

    ~Probe()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.write("quit\n");
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(1000);
        }
    }

    bool waitFor(const QString &prefix, QString *line, int ms = 5000)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            while (process.canReadLine()) {
                const QString l = QString::fromUtf8(process.readLine()).trimmed();
                lines << l;
                if (l.startsWith(prefix)) {
                    *line = l;
                    return true;
                }
            }
            if (deadline.hasExpired() || process.state() != QProcess::Running)
                return false;
            process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        }
    }

    QList<int> numbers(const QString &line) const
    {
        QList<int> n;
        for (const QString &part : line.split(QLatin1Char(' ')).mid(1))
            n << part.toInt();
        return n;
    }
};

} // namespace

class TestSkinShape : public QObject {
    Q_OBJECT

    QProcess xvfb;
    QString display;
    QString xdotool;

    bool pointer(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
        p.start(xdotool, args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    void startProbe(Probe &probe, QList<int> *frame)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        probe.process.setProcessEnvironment(env);
        probe.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.process.start(QStringLiteral(SKIN_SHAPE_PROBE), {});
        QVERIFY(probe.process.waitForStarted());
        QString ready;
        QVERIFY2(probe.waitFor(QStringLiteral("ready"), &ready), qPrintable(probe.lines.join(QLatin1Char('\n'))));
        *frame = probe.numbers(ready);
    }

private slots:
    void initTestCase()
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (server.isEmpty() || xdotool.isEmpty())
            QSKIP("needs Xvfb and xdotool (scripts/setup installs them)");
        // -displayfd 1: the server picks a free display and names it on stdout.
        xvfb.start(server, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                            QStringLiteral("0"), QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
        QVERIFY(xvfb.waitForStarted());
        QDeadlineTimer deadline(10000);
        while (!xvfb.canReadLine() && !deadline.hasExpired() && xvfb.state() == QProcess::Running)
            xvfb.waitForReadyRead(200);
        display = QLatin1Char(':') + QString::fromLatin1(xvfb.readLine()).trimmed();
        QVERIFY2(display.size() > 1, "Xvfb did not start");
    }

    void cleanupTestCase()
    {
        if (xvfb.state() == QProcess::Running) {
            xvfb.terminate(); // our own server, by its PID
            if (!xvfb.waitForFinished(5000))
                xvfb.kill();
        }
    }

    void clicksOnCutOutPixelsMissTheWindow()
    {
        Probe probe;
        QList<int> frame;
        startProbe(probe, &frame);
        if (QTest::currentTestFailed())
            return;
        const QPoint origin(frame[0], frame[1]);
        // The skin is a disc of radius 50 centred at (80, 60) on a 160 x 120 key.
        QVERIFY(pointer({"mousemove", "--sync", QString::number(origin.x() + 5), QString::number(origin.y() + 5),
                         "click", "1"}));
        QVERIFY(pointer({"mousemove", "--sync", QString::number(origin.x() + 150), QString::number(origin.y() + 60),
                         "click", "1"}));
        QVERIFY(pointer({"mousemove", "--sync", QString::number(origin.x() + 80), QString::number(origin.y() + 60),
                         "click", "1"}));
        QString press;
        QVERIFY2(probe.waitFor(QStringLiteral("press"), &press), "a click on the skin did not reach the window");
        QCOMPARE(press, QStringLiteral("press 80 60")); // the two clicks before it went through the cut-outs
    }

    void dragOutsideTheWindowMovesItOnceAndLeavesNoOutline()
    {
        Probe probe;
        QList<int> frame;
        startProbe(probe, &frame);
        if (QTest::currentTestFailed())
            return;
        const QPoint grab(frame[0] + 80, frame[1] + 60);
        QVERIFY(pointer({"mousemove", "--sync", QString::number(grab.x()), QString::number(grab.y()),
                         "mousedown", "1"}));
        QString line;
        QVERIFY(probe.waitFor(QStringLiteral("press"), &line));
        probe.process.write("pos\n");
        QVERIFY(probe.waitFor(QStringLiteral("pos"), &line));
        QCOMPARE(probe.numbers(line).last(), 1); // outline shown from the press
        // Far beyond the window's right edge, then back a little: the window
        // keeps the pointer while the button is down.
        QVERIFY(pointer({"mousemove", "--sync", QString::number(grab.x() + 300), QString::number(grab.y() + 40)}));
        QVERIFY(pointer({"mousemove", "--sync", QString::number(grab.x() + 250), QString::number(grab.y() + 30),
                         "mouseup", "1"}));
        QList<int> pos;
        QDeadlineTimer deadline(5000);
        do {
            probe.process.write("pos\n");
            QVERIFY(probe.waitFor(QStringLiteral("pos"), &line));
            pos = probe.numbers(line);
        } while (pos[0] == frame[0] && !deadline.hasExpired() && (QTest::qWait(20), true));
        QCOMPARE(pos.mid(0, 4), (QList<int>{frame[0] + 250, frame[1] + 30, frame[2], frame[3]}));
        QCOMPARE(pos[4], 0); // no outline left on the screen
    }
};

QTEST_GUILESS_MAIN(TestSkinShape)
#include "tst_skinshape.moc"
