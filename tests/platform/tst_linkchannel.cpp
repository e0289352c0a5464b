// The running phone's ear for a second start: what arrives, what does not.
#include "platform/LinkChannel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtTest>

#include <future>

using platform::LinkChannel;

class TestLinkChannel : public QObject {
    Q_OBJECT

    // A second start is another process: its blocking send must not wait on
    // this thread's event loop.
    static std::future<bool> sendLater(const QString &name, const QString &text)
    {
        return std::async(std::launch::async, [name, text] { return LinkChannel::Send(name, text); });
    }

private slots:
    void aLinkArrivesAndTheSenderIsDone()
    {
        const QString name = LinkChannel::NameFor(QStringLiteral("/tmp/a/Softphone.ini"));
        QVERIFY(name != LinkChannel::NameFor(QStringLiteral("/tmp/b/Softphone.ini")));
        // A socket left behind by a phone that crashed is taken over.
        QLocalServer crashed;
        QVERIFY(crashed.listen(name));
        LinkChannel channel(name);
        QVERIFY(channel.Listen());
        QSignalSpy received(&channel, &LinkChannel::Received);
        auto sent = sendLater(name, QStringLiteral("tel:+49 30 1234567"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("tel:+49 30 1234567"));
        QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(sent.get());
        // Come forward: the empty text.
        auto forward = sendLater(name, QString());
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.at(1).at(0).toString(), QString());
        QTRY_VERIFY(forward.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    }

    void whatIsNoLinkIsRefused()
    {
        const QString name = LinkChannel::NameFor(QStringLiteral("/tmp/c/Softphone.ini"));
        QVERIFY(!LinkChannel::Send(name, QStringLiteral("sip:1@x"), 200)); // nobody listens
        LinkChannel channel(name);
        QVERIFY(channel.Listen());
        QSignalSpy received(&channel, &LinkChannel::Received);
        QVERIFY(!LinkChannel::Send(name, QString(LinkChannel::kMaxText + 1, QLatin1Char('1'))));
        QVERIFY(!LinkChannel::Send(name, QStringLiteral("sip:1@x\nsip:2@x")));
        // A sender that never ends its line is let go, unheard.
        auto endless = std::async(std::launch::async, [name] {
            QLocalSocket socket;
            socket.connectToServer(name);
            socket.waitForConnected(3000);
            socket.write(QByteArray(3 * LinkChannel::kMaxText, '1'));
            socket.waitForBytesWritten(3000);
            return socket.waitForDisconnected(10000);
        });
        QTRY_VERIFY_WITH_TIMEOUT(endless.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 10000);
        QVERIFY(endless.get());
        QCOMPARE(received.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLinkChannel)
#include "tst_linkchannel.moc"
