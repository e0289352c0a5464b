#include "platform/Log.h"
#include "tests/support/TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <thread>
#include <vector>

using platform::Log;
using testfiles::bytesOf;
using testfiles::entriesOf;

namespace {

// Time with milliseconds and offset, level, source, text.
const QRegularExpression kLine(QStringLiteral(
    R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z) (DEBUG|INFO |WARN |ERROR) ([^:]+): (.*)$)"));

QList<QByteArray> linesOf(const QString &path)
{
    QByteArray bytes = bytesOf(path);
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes.isEmpty() ? QList<QByteArray>{} : bytes.split('\n');
}

// "source: text" of each line, after checking the line's form.
QStringList entriesIn(const QString &path)
{
    QStringList out;
    for (const QByteArray &line : linesOf(path)) {
        const auto m = kLine.match(QString::fromUtf8(line));
        if (!m.hasMatch())
            return {QStringLiteral("malformed: ") + QString::fromUtf8(line)};
        out << m.captured(3) + QStringLiteral(": ") + m.captured(4);
    }
    return out;
}

int modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

Log::Options options(qint64 maxBytes = 1024 * 1024)
{
    Log::Options o;
    o.maxBytes = maxBytes;
    return o;
}

} // namespace

class TestLog : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Log::Close(); }

    // A full file is set aside as .1, the one before as .2, and the oldest
    // goes: no file outgrows its bound and the lines kept are the newest,
    // none lost or doubled at a change of file. All are the owner's only,
    // in an owner-only folder, whatever the umask.
    void fullFilesAreSetAsideOwnerOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("state/Softphone/softphone.log");
        const mode_t savedMask = ::umask(022);
        QVERIFY(Log::Open(path, options(1000)));
        for (int i = 0; i < 100; ++i)
            Log::Write(Log::Info, "test", QStringLiteral("line %1 of a steady stream").arg(i));
        Log::Close();
        ::umask(savedMask);

        QCOMPARE(entriesOf(dir.filePath("state/Softphone")),
                 (QStringList{"softphone.log", "softphone.log.1", "softphone.log.2"}));
        QStringList kept;
        for (const char *name : {"softphone.log.2", "softphone.log.1", "softphone.log"}) {
            const QString file = dir.filePath("state/Softphone/") + name;
            QVERIFY2(QFileInfo(file).size() <= 1000, name);
            QCOMPARE(modeOf(file), 0600);
            kept += entriesIn(file);
        }
        QCOMPARE(modeOf(dir.filePath("state/Softphone")), 0700);
        QCOMPARE(modeOf(dir.filePath("state")), 0700);
        QVERIFY(kept.size() > 20);
        for (int k = 0; k < kept.size(); ++k)
            QCOMPARE(kept[k], QStringLiteral("test: line %1 of a steady stream").arg(100 - kept.size() + k));

        // Started again, the log goes on in the same file, still owner-only
        // when someone had opened it up.
        const QString file = dir.filePath("state/Softphone/softphone.log");
        const int before = linesOf(file).size();
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions(0x6644)));
        QVERIFY(Log::Open(path, options()));
        Log::Write(Log::Info, "test", "again");
        QCOMPARE(linesOf(file).size(), before + 1);
        QCOMPARE(modeOf(file), 0600);
    }

    // Whatever the text holds, each message is one line with its time, level
    // and source; one said over and over is written once, then counted.
    void eachMessageIsOneLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("softphone.log");
        QVERIFY(Log::Open(path, options()));
        Log::Write(Log::Warning, "mediastreamer",
                   QString::fromUtf8("first\nsecond\r\nthird\t\x1b[31mred\u202Egnp.exe\n"));
        for (int i = 0; i < 3; ++i)
            Log::Write(Log::Warning, "mediastreamer", "no echo to synchronize on");
        Log::Write(Log::Error, "liblinphone\nforged", "something else");
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(testHandler);
        Log::CaptureQtMessages();
        qWarning("from Qt");
        qInstallMessageHandler(testHandler);

        const QList<QByteArray> lines = linesOf(path);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(kLine.match(QString::fromUtf8(lines[0])).hasMatch(), lines[0]);
        QVERIFY2(lines[0].contains(" WARN  mediastreamer: "), lines[0]);
        QVERIFY2(lines[0].endsWith(R"(first\nsecond\r\nthird\t\u001b[31mred\u202egnp.exe)"), lines[0]);
        QCOMPARE(entriesIn(path).mid(1),
                 (QStringList{"mediastreamer: no echo to synchronize on",
                              "mediastreamer: (the line above 2 more times)",
                              R"(liblinphone\nforged: something else)", "qt: from Qt"}));
        QVERIFY2(lines[3].contains(" ERROR "), lines[3]);
    }

    // What looks like a credential never reaches the file; the rest of the
    // message does.
    void credentialsAreHidden_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("Authorization") << "REGISTER sip:x\r\nAuthorization: Digest username=\"1001\", "
                                          "response=\"6629fae49393a05397450978507c4ef1\"\r\nCSeq: 2"
                                       << "Authorization: (hidden)";
        QTest::newRow("Proxy-Authorization")
            << "proxy-authorization:Digest response=\"6629fae49393a05397450978507c4ef1\""
            << "proxy-authorization: (hidden)";
        QTest::newRow("passwd") << "auth info passwd=6629fae49393a05397450978507c4ef1 realm=x"
                                << "passwd=(hidden) realm=x";
        QTest::newRow("ha1 quoted") << "{\"ha1\": \"6629fae49393a05397450978507c4ef1\", \"realm\": \"x\"}"
                                    << "\"ha1\": (hidden), \"realm\"";
        QTest::newRow("password element") << "<password>6629fae49393a05397450978507c4ef1</password>"
                                          << "<password>(hidden)</password>";
    }
    void credentialsAreHidden()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QTemporaryDir dir;
        QVERIFY(Log::Open(dir.filePath("softphone.log"), options()));
        Log::Write(Log::Warning, "belle-sip", text);
        const QByteArray written = bytesOf(dir.filePath("softphone.log"));
        QVERIFY2(!written.contains("6629fae49393a05397450978507c4ef1"), written);
        QVERIFY2(written.contains(kept.toUtf8()), written);
        QCOMPARE(written.count('\n'), 1);
    }

    // Writers on several threads at once (the engine's media threads and
    // the phone's) leave every line whole and none lost, across changes of
    // file.
    void threadsWriteWholeLines()
    {
        QTemporaryDir dir;
        Log::Options manyFiles = options(16 * 1024);
        manyFiles.keep = 20;
        QVERIFY(Log::Open(dir.filePath("softphone.log"), manyFiles));
        constexpr int kEach = 1000;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t, kEach] {
                for (int i = 0; i < kEach; ++i)
                    Log::Write(Log::Debug, QStringLiteral("thread%1").arg(t), QStringLiteral("message %1").arg(i));
            });
        for (auto &thread : threads)
            thread.join();
        Log::Close();
        const int files = entriesOf(dir.path()).size();
        QVERIFY(files > 3);
        QStringList all;
        for (int n = files - 1; n >= 0; --n)
            all += entriesIn(dir.filePath("softphone.log") + (n ? QStringLiteral(".%1").arg(n) : QString()));
        QCOMPARE(all.size(), 4 * kEach);
        for (int t = 0; t < 4; ++t) {
            const QStringList mine = all.filter(QStringLiteral("thread%1: ").arg(t));
            QCOMPARE(mine.size(), kEach);
            QCOMPARE(mine.last(), QStringLiteral("thread%1: message %2").arg(t).arg(kEach - 1));
        }
    }

    // A log that cannot be made is refused with the reason, and the lines
    // are not lost: they go to the terminal.
    void unwritablePlaceIsRefused()
    {
        QTemporaryDir dir;
        QVERIFY(testfiles::putBytes(dir.filePath("state"), "a file, not a folder"));
        QString error;
        QVERIFY(!Log::Open(dir.filePath("state/Softphone/softphone.log"), options(), &error));
        QVERIFY2(error.contains(dir.filePath("state/Softphone")), qPrintable(error));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("softphone.log")));
        QVERIFY(!Log::Open(dir.filePath("softphone.log"), options(), &error));
        QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere")));
    }

    // The XDG rule: XDG_STATE_HOME when it is an absolute path, else
    // ~/.local/state.
    void stateFolderFollowsXdg()
    {
        const QByteArray savedState = qgetenv("XDG_STATE_HOME"), savedHome = qgetenv("HOME");
        qputenv("HOME", "/home/someone");
        qputenv("XDG_STATE_HOME", "/var/state");
        const QString set = Log::DefaultPath();
        qputenv("XDG_STATE_HOME", "relative/state");
        const QString relative = Log::DefaultPath();
        qunsetenv("XDG_STATE_HOME");
        const QString unset = Log::DefaultPath();
        qputenv("HOME", savedHome);
        if (!savedState.isNull())
            qputenv("XDG_STATE_HOME", savedState);
        QCOMPARE(set, QStringLiteral("/var/state/Softphone/softphone.log"));
        QCOMPARE(relative, QStringLiteral("/home/someone/.local/state/Softphone/softphone.log"));
        QCOMPARE(unset, QStringLiteral("/home/someone/.local/state/Softphone/softphone.log"));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
