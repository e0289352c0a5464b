#include "platform/LockFileInstance.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using platform::LockFileInstance;

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void firstClaimsSecondIsRefused()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("softphone.lock");
        LockFileInstance first(lock);
        QVERIFY(!first.AnotherInstanceRunning());
        QVERIFY(!first.AnotherInstanceRunning()); // asking again keeps the claim
        LockFileInstance second(lock);
        QVERIFY(second.AnotherInstanceRunning());
    }

    // The lock and the folders made for it are the owner's alone, whatever
    // the umask: a first start could leave ~/.config 0777.
    void theLockAndItsFoldersArePrivate()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("config/Softphone/softphone.lock");
        const mode_t saved = ::umask(0);
        LockFileInstance first(lock);
        const bool claimed = !first.AnotherInstanceRunning();
        ::umask(saved);
        QVERIFY(claimed);
        const auto mode = [](const QString &path) { return int(QFileInfo(path).permissions() & 0x0777); };
        QCOMPARE(mode(dir.filePath("config")), 0x0700);
        QCOMPARE(mode(dir.filePath("config/Softphone")), 0x0700);
        QCOMPARE(mode(lock), 0x0600);
    }

    void claimEndsWithTheInstance()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("softphone.lock");
        {
            LockFileInstance first(lock);
            QVERIFY(!first.AnotherInstanceRunning());
        }
        LockFileInstance next(lock);
        QVERIFY(!next.AnotherInstanceRunning());
    }

    void lockLeftByACrashedInstanceIsTakenOver()
    {
        // A lock naming a process that no longer exists, as a crash leaves it.
        QProcess gone;
        gone.start("sleep", {"0.1"});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(deadPid > 0);
        QVERIFY(gone.waitForFinished());
        QTemporaryDir dir;
        const QString lock = dir.filePath("softphone.lock");
        QFile f(lock);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(deadPid) + "\nsoftphone\n"
                + QSysInfo::machineHostName().toUtf8() + "\n");
        f.close();
        LockFileInstance next(lock);
        QVERIFY(!next.AnotherInstanceRunning());
    }

    void separateStoresAreSeparateInstances()
    {
        QTemporaryDir a, b;
        LockFileInstance one(LockFileInstance::defaultLockPath(a.filePath("Softphone.ini")));
        LockFileInstance two(LockFileInstance::defaultLockPath(b.filePath("Softphone.ini")));
        QVERIFY(!one.AnotherInstanceRunning());
        QVERIFY(!two.AnotherInstanceRunning());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
