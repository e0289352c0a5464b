#include "platform/DataFile.h"
#include "platform/DataFolder.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using testfiles::entriesOf;
using testfiles::putBytes;

class TestDataFolder : public QObject {
    Q_OBJECT
private slots:
    void programFolderWhenWritable()
    {
        QTemporaryDir dir;
        QCOMPARE(platform::ChooseDataFolder(dir.path()), dir.path());
        QCOMPARE(entriesOf(dir.path()), QStringList{}); // the probe is gone
    }

    void userFolderOtherwise()
    {
        QTemporaryDir dir;
        QVERIFY(putBytes(dir.filePath("program"), "an executable's folder that is not one"));
        const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
        const QString chosen = platform::ChooseDataFolder(dir.filePath("program"));
        if (savedHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedHome);

        QCOMPARE(chosen, dir.filePath("share/Softphone"));
        QVERIFY(QFileInfo(chosen).isDir());
        const platform::DataFile file(QDir(chosen).filePath("recentcall.txt"), platform::DataFileFormat{});
        QVERIFY(file.Write({"1--Duration: 0:0:1"}));
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
