// The feedback window with the real browser module against a web server of
// the test's own on 127.0.0.1.
#include "feedback/FeedbackWindow.h"
#include "tests/doubles/FixedScreenMetrics.h"

#include <QFile>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <unistd.h>

namespace {

// Serves one page with a title and counts every GET by path.
class PageServer : public QObject {
public:
    PageServer()
    {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

    QHash<QByteArray, int> gets;

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
        pending_.remove(socket);
        const QByteArray path = line.value(1);
        if (line.value(0) == "GET")
            ++gets[path];
        const bool page = path == "/support/feedbackmail.html";
        const QByteArray body = page ? "<html><head><title>Feedback test page</title></head>"
                                       "<body><form><textarea name=text></textarea></form></body></html>"
                                     : "not here";
        // no-store: every navigation reaches the server, as a fresh load must.
        socket->write((page ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n")
                      + QByteArray("Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                                   "Connection: close\r\nContent-Length: ")
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer server_;
    QHash<QTcpSocket *, QByteArray> pending_;
};

QString titleOf(QWidget *window)
{
    // The browser's own property: the test needs no link to the browser.
    QWidget *browser = window ? window->findChild<QWidget *>(QStringLiteral("WebBrowser1")) : nullptr;
    return browser ? browser->property("title").toString() : QString();
}

bool browserMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngine");
}

} // namespace

class TestFeedbackWindow : public QObject {
    Q_OBJECT

private slots:
    // First: a browser started here as root would end this test's process.
    void rootGetsNoBrowserWithoutTheSandboxSwitch()
    {
        if (geteuid() != 0)
            QSKIP("only root is refused");
        const QByteArray saved = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        FeedbackWindow feedback(QUrl("http://127.0.0.1:9/"), nullptr, QStringLiteral(FEEDBACK_MODULE));
        QWidget owner;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The feedback window is not shown to root"));
        QVERIFY(!feedback.Window(&owner));
        QVERIFY(!browserMapped());
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", saved);
    }

    void loadsOnFirstUseOnceWhileOpenAndAfreshAfterClose()
    {
        PageServer server;
        const QByteArray page = "/support/feedbackmail.html";
        platform::FixedScreenMetrics screen(15, 15);
        QWidget owner;
        FeedbackWindow feedback(server.url(QString::fromLatin1(page)), &screen, QStringLiteral(FEEDBACK_MODULE));
        QVERIFY(!browserMapped());

        QPointer<QWidget> first = feedback.Window(&owner);
        QVERIFY(first);
        QVERIFY(browserMapped());
        first->show();
        QCOMPARE(first->windowTitle(), QString("Give Your FeedBack"));
        QVERIFY(first->isWindow());
        QVERIFY(!first->isModal());
        // 4935 x 7455 twips of client area; the browser covers it.
        QCOMPARE(first->size(), QSize(329, 497));
        QCOMPARE(first->findChild<QWidget *>("WebBrowser1")->geometry(), QRect(0, 0, 329, 497));
        QTRY_COMPARE_WITH_TIMEOUT(titleOf(first), QString("Feedback test page"), 30000);
        QCOMPARE(server.gets.value(page), 1);

        // Open: the same window, the page not fetched again.
        QCOMPARE(feedback.Window(&owner), first.data());
        QTest::qWait(500);
        QCOMPARE(server.gets.value(page), 1);

        // Closed: gone; the next one loads the page afresh.
        first->close();
        QTRY_VERIFY(!first);
        QPointer<QWidget> second = feedback.Window(&owner);
        QVERIFY(second);
        second->show();
        QTRY_COMPARE_WITH_TIMEOUT(titleOf(second), QString("Feedback test page"), 30000);
        QCOMPARE(server.gets.value(page), 2);
    }

    void missingModuleShowsNothing()
    {
        FeedbackWindow feedback(QUrl("http://127.0.0.1:9/"), nullptr, QStringLiteral("/nonexistent/softphone-feedback.so"));
        QWidget owner;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The feedback window cannot be shown: "));
        QVERIFY(!feedback.Window(&owner));
    }
};

int main(int argc, char *argv[])
{
    // Chromium will not start as root inside its sandbox.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Without a display (the offscreen platform) no OpenGL context can be
    // made when the browser loads; asked for up front, the browser draws
    // without one.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestFeedbackWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_feedbackwindow.moc"
