#include "rtc/linphone/CertificateCheck.h"

#include <QSslError>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using rtc::lp::CertificateCheck;
using Verdict = CertificateCheck::Verdict;

// Why a TLS connection failed, as the phone tells it: the worst error
// counts, and a server that gives no handshake at all is not a certificate
// fault.
class TestCertificateCheck : public QObject {
    Q_OBJECT

    CertificateCheck::Result checkAgainst(quint16 port)
    {
        CertificateCheck check;
        std::optional<CertificateCheck::Result> result;
        check.start(QStringLiteral("127.0.0.1"), port, [&](const CertificateCheck::Result &r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 12000); }();
        return result.value_or(CertificateCheck::Result{});
    }

private slots:
    void worstErrorCounts_data()
    {
        QTest::addColumn<QList<int>>("errors");
        QTest::addColumn<int>("verdict");
        QTest::newRow("none") << QList<int>{} << int(Verdict::Passed);
        QTest::newRow("name") << QList<int>{QSslError::HostNameMismatch} << int(Verdict::OtherName);
        QTest::newRow("expired") << QList<int>{QSslError::CertificateExpired} << int(Verdict::OutOfDate);
        QTest::newRow("expired, for another name")
            << QList<int>{QSslError::HostNameMismatch, QSslError::CertificateExpired} << int(Verdict::OutOfDate);
        QTest::newRow("unknown authority, for another name")
            << QList<int>{QSslError::HostNameMismatch, QSslError::UnableToGetLocalIssuerCertificate}
            << int(Verdict::NotTrusted);
        QTest::newRow("self-signed") << QList<int>{QSslError::SelfSignedCertificate} << int(Verdict::NotTrusted);
        QTest::newRow("revoked") << QList<int>{QSslError::CertificateRevoked} << int(Verdict::NotTrusted);
    }
    void worstErrorCounts()
    {
        QFETCH(QList<int>, errors);
        QFETCH(int, verdict);
        QCOMPARE(int(CertificateCheck::Judge(errors)), verdict);
    }

    void nobodyThereIsNoCertificateFault()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QCOMPARE(checkAgainst(port).verdict, Verdict::NoConnection);
    }

    void serverSpeakingNoTlsIsNoAgreement()
    {
        // A plain SIP server where TLS was expected: its answer is no handshake.
        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost));
        connect(&plain, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *s = plain.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("SIP/2.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            });
        });
        const auto result = checkAgainst(plain.serverPort());
        QCOMPARE(result.verdict, Verdict::NoAgreement);
        QVERIFY(!result.detail.isEmpty());
    }

    void anotherStartEndsTheFirstWithoutItsAnswer()
    {
        QTcpServer silent; // takes the connection and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        CertificateCheck check;
        int first = 0, second = 0;
        check.start(QStringLiteral("127.0.0.1"), silent.serverPort(), [&](const CertificateCheck::Result &) { ++first; });
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        check.start(QStringLiteral("127.0.0.1"), port, [&](const CertificateCheck::Result &) { ++second; });
        QTRY_COMPARE(second, 1);
        QTest::qWait(100);
        QCOMPARE(first, 0);
        QVERIFY(!check.running());
    }
};

QTEST_GUILESS_MAIN(TestCertificateCheck)
#include "tst_certificatecheck.moc"
