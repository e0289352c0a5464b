// Phone book with a full book: opening the window (all rows in, ready for a
// new entry), ADD at that size (the whole file rewritten), and how long the
// event loop is starved while the book loads. Prints a Markdown report.
//
//   phonebook_bench [--runs N] [--out FILE]
#include "phonebook/PhoneBookFile.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "phonebook/frmPhoneBook.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kFullBook = frmPhoneBook::kMaxRows - 1; // 32,766 entries

QList<QByteArray> makeBook(int entries)
{
    // Names of typical length; numbers of 11 digits.
    QList<QByteArray> lines;
    lines.reserve(entries);
    for (int i = 1; i <= entries; ++i)
        lines.append("Contact name " + QByteArray::number(i).rightJustified(5, '0') + "--0" +
                     QByteArray::number(4420000000LL + i));
    return lines;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

QString kib(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("-");
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return QString::fromLatin1(line.mid(qstrlen(field)).trimmed());
    }
    return QStringLiteral("-");
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("-");
    return QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '));
}

// A 20 ms timer stamping its ticks, as the phone's engine timer runs, and a
// 0 ms timer that runs at every turn of the event loop.
struct Ticker {
    QElapsedTimer clock;
    QTimer timer;
    QList<qint64> ticks;
    QTimer turns;
    qint64 lastTurn = 0;
    qint64 longestTurnGap = 0;

    Ticker()
    {
        clock.start();
        timer.setInterval(20);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { ticks << clock.nsecsElapsed(); });
        timer.start();
        turns.setInterval(0);
        QObject::connect(&turns, &QTimer::timeout, [this] { turn(); });
    }
    void turn()
    {
        const qint64 now = clock.nsecsElapsed();
        longestTurnGap = std::max(longestTurnGap, now - lastTurn);
        lastTurn = now;
    }
    void waitForTick()
    {
        QEventLoop loop;
        const auto connection = QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(connection);
    }
    // Right after a tick that came on time: a tick taken while the timer was
    // overdue would be followed by an early one and hide a delay.
    void waitForFreshTick()
    {
        waitForTick();
        waitForTick();
    }
    // The longest gap between ticks from the last one before `from` to the
    // first one after `to`, in ms, and the ticks in between.
    std::pair<double, int> longestGap(qint64 from, qint64 to) const
    {
        qsizetype first = 0;
        while (first + 1 < ticks.size() && ticks[first + 1] <= from)
            ++first;
        qint64 longest = 0;
        int inside = 0;
        for (qsizetype i = first + 1; i < ticks.size(); ++i) {
            longest = std::max(longest, ticks[i] - ticks[i - 1]);
            if (ticks[i] >= to)
                break;
            ++inside;
        }
        return {longest / 1e6, inside};
    }
};

struct OpenFigures {
    QList<double> openMs, showMs, tickGapMs, ticksInside, turnGapMs;
};

// One open of the book in `folder`: constructor to usable window, then shown.
bool measureOpen(const QString &folder, int rows, Ticker &ticker, platform::IMessageBox &messages, OpenFigures &f)
{
    ticker.waitForFreshTick();
    ticker.turns.start();
    QCoreApplication::processEvents();
    ticker.longestTurnGap = 0;
    ticker.lastTurn = ticker.clock.nsecsElapsed();
    const qint64 start = ticker.lastTurn;
    frmPhoneBook book(folder, messages);
    const qint64 ready = ticker.clock.nsecsElapsed();
    ticker.turn(); // the stretch from the last chunk to the end of the constructor
    ticker.turns.stop();
    if (book.lstPhoneBook->count() != rows || book.lstPhoneBook->currentRow() != 0 || !book.cmdAdd->isEnabled()) {
        std::fprintf(stderr, "the book did not load whole\n");
        return false;
    }
    book.show();
    QCoreApplication::processEvents();
    const qint64 shown = ticker.clock.nsecsElapsed();
    ticker.waitForTick();
    const auto [gap, inside] = ticker.longestGap(start, ready);
    f.openMs << (ready - start) / 1e6;
    f.showMs << (shown - ready) / 1e6;
    f.tickGapMs << gap;
    f.ticksInside << inside;
    f.turnGapMs << ticker.longestTurnGap / 1e6;
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 9;
    QString outPath;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outPath = args[++i];
        else {
            std::fprintf(stderr, "usage: phonebook_bench [--runs N] [--out FILE]\n");
            return 2;
        }
    }

    QTemporaryDir fullDir, foreignDir, addDir;
    if (!fullDir.isValid() || !foreignDir.isValid() || !addDir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    // The full book, and one ten times longer as another program might
    // leave it: there the loading steps show.
    constexpr int kForeign = 10 * kFullBook;
    const QList<QByteArray> almostFull = makeBook(kFullBook - 1);
    if (!PhoneBookFile(fullDir.path()).Write(makeBook(kFullBook)) ||
        !PhoneBookFile(foreignDir.path()).Write(makeBook(kForeign))) {
        std::fprintf(stderr, "could not write the books\n");
        return 1;
    }
    const qint64 fullBytes = QFileInfo(PhoneBookFile(fullDir.path()).path()).size();
    const qint64 foreignBytes = QFileInfo(PhoneBookFile(foreignDir.path()).path()).size();

    platform::RecordingMessageBox messages;
    Ticker ticker;
    OpenFigures full, foreign;
    QList<double> addMs;
    for (int run = 0; run < runs; ++run) {
        if (!measureOpen(fullDir.path(), kFullBook + 1, ticker, messages, full))
            return 1;
        if (!measureOpen(foreignDir.path(), kForeign + 1, ticker, messages, foreign))
            return 1;

        // ADD with 32,765 entries: the 32,766th is written with all the others.
        if (!PhoneBookFile(addDir.path()).Write(almostFull)) {
            std::fprintf(stderr, "could not write the book\n");
            return 1;
        }
        frmPhoneBook book(addDir.path(), messages);
        book.txtName->setText(QStringLiteral("New contact"));
        book.txtPhoneNo->setText(QStringLiteral("01234567890"));
        QElapsedTimer add;
        add.start();
        book.cmdAdd_Click();
        addMs << add.nsecsElapsed() / 1e6;
        if (book.lstPhoneBook->count() != kFullBook + 1) {
            std::fprintf(stderr, "ADD did not go through\n");
            return 1;
        }
    }
    if (!messages.shown.isEmpty()) {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(messages.shown.first().text));
        return 1;
    }

    auto row = [](const QString &what, const QList<double> &values, int decimals = 1) {
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        return QStringLiteral("| %1 | %2 | %3 | %4 |\n")
            .arg(what)
            .arg(median(values), 0, 'f', decimals)
            .arg(*lo, 0, 'f', decimals)
            .arg(*hi, 0, 'f', decimals);
    };
    auto list = [](const QList<double> &values) {
        QStringList out;
        for (const double v : values)
            out << QString::number(v, 'f', 1);
        return out.join(QStringLiteral(", "));
    };
    auto openRows = [&](const QString &book, const OpenFigures &f) {
        return row(QStringLiteral("%1: open, constructor to usable window (ms)").arg(book), f.openMs) +
               row(QStringLiteral("%1: show + one event-loop pass (ms)").arg(book), f.showMs) +
               row(QStringLiteral("%1: longest gap between 20 ms ticks (ms)").arg(book), f.tickGapMs) +
               row(QStringLiteral("%1: 20 ms ticks served during the open").arg(book), f.ticksInside, 0) +
               row(QStringLiteral("%1: longest stretch without an event-loop turn (ms)").arg(book), f.turnGapMs);
    };
    QString report;
    QTextStream md(&report);
    md << "# Phone book benchmark, " << QDate::currentDate().toString(Qt::ISODate) << "\n\n"
       << "Full book: " << kFullBook << " entries, " << fullBytes << " bytes (`Contact name NNNNN--0442000NNNNN`); "
       << "foreign book: " << kForeign << " lines, " << foreignBytes << " bytes. " << runs << " runs, Qt " << qVersion()
       << ", platform `" << QGuiApplication::platformName() << "`, build type `" << BENCH_BUILD_TYPE << "`.\n"
       << "Machine: " << QSysInfo::prettyProductName() << ", kernel " << QSysInfo::kernelVersion() << ", "
       << QThread::idealThreadCount() << " CPUs.\n\n"
       << "| figure | median | min | max |\n|---|---:|---:|---:|\n"
       << openRows(QStringLiteral("full"), full) << openRows(QStringLiteral("foreign"), foreign)
       << row(QStringLiteral("ADD at 32,765 entries, whole file rewritten (ms)"), addMs) << "\n"
       << "VmHWM of the whole run (both books are also built in memory): " << kib("VmHWM:") << ". Load average at the end: "
       << loadAverage() << ".\n\n"
       << "Every run (ms):\n\n"
       << "- full, open: " << list(full.openMs) << "\n"
       << "- full, longest gap between ticks: " << list(full.tickGapMs) << "\n"
       << "- full, longest stretch without a turn: " << list(full.turnGapMs) << "\n"
       << "- foreign, open: " << list(foreign.openMs) << "\n"
       << "- foreign, longest gap between ticks: " << list(foreign.tickGapMs) << "\n"
       << "- foreign, longest stretch without a turn: " << list(foreign.turnGapMs) << "\n"
       << "- ADD: " << list(addMs) << "\n";
    md.flush();
    std::fputs(report.toUtf8().constData(), stdout);
    if (!outPath.isEmpty()) {
        QFile out(outPath);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(report.toUtf8()) < 0) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(outPath));
            return 1;
        }
    }
    return 0;
}
