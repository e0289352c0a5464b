#include "rtc/ProvisioningParser.h"

#include <QRegularExpression>
#include <QTest>

using rtc::ProvisioningData;
using rtc::ProvisioningParser;

namespace {

const QString kPlain = QStringLiteral(
    R"(<provision key="3f1c9a52-7d4e-4b8a-9c61-0e2f5b7d8a13" name="1001" expires="200">)"
    R"(<user account="1001" name="1001" password="1001pw" uri="sip:1001@127.0.0.1:5060" /> )"
    R"(<sipsrv addr="127.0.0.1:5060" protocol="UDP" auth="digest" role="registrar"><session party="first" type="pc2ph" /></sipsrv>)"
    R"(<sipsrv addr="127.0.0.1:5070" protocol="UDP" auth="digest" role="proxy"><session party="first" type="pc2ph" /></sipsrv>)"
    R"(<provider calldisplay="sip:1001@127.0.0.1:5060" /></provision>)");

QString escaped(const QString &s)
{
    QString out = s.toHtmlEscaped(); // & < > "
    out.replace(QLatin1Char('\''), QLatin1String("&apos;"));
    return out;
}

QString provision(const QString &uri, const QString &account, const QString &name,
                  const QString &password, const QString &registrar = QStringLiteral("127.0.0.1:5060"))
{
    return QStringLiteral(R"(<provision key="k" name="n" expires="60"><user account="%1" name="%2" password="%3" uri="%4"/>)"
                          R"(<sipsrv addr="%5" protocol="UDP" auth="digest" role="registrar"/></provision>)")
        .arg(escaped(account), escaped(name), escaped(password), escaped(uri), escaped(registrar));
}

} // namespace

class TestProvisioningParser : public QObject {
    Q_OBJECT

private slots:
    void readsEveryField()
    {
        ProvisioningData d;
        QString error;
        QVERIFY2(ProvisioningParser::parse(kPlain, &d, &error), qPrintable(error));
        QCOMPARE(d.key, QStringLiteral("3f1c9a52-7d4e-4b8a-9c61-0e2f5b7d8a13"));
        QCOMPARE(d.name, QStringLiteral("1001"));
        QCOMPARE(d.expires, 200);
        QCOMPARE(d.userUri, QStringLiteral("sip:1001@127.0.0.1:5060"));
        QCOMPARE(d.userAccount, QStringLiteral("1001"));
        QCOMPARE(d.userName, QStringLiteral("1001"));
        QCOMPARE(d.password, QStringLiteral("1001pw"));
        QCOMPARE(d.registrar.addr, QStringLiteral("127.0.0.1:5060"));
        QCOMPARE(d.registrar.protocol, QStringLiteral("UDP"));
        QCOMPARE(d.registrar.auth, QStringLiteral("digest"));
        QCOMPARE(d.proxy.addr, QStringLiteral("127.0.0.1:5070"));
        QCOMPARE(d.callDisplay, QStringLiteral("sip:1001@127.0.0.1:5060"));
    }

    void acceptsAddressesWithAndWithoutPort_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("registrar");
        QTest::newRow("no ports") << "sip:alice@example.org" << "example.org";
        QTest::newRow("ports") << "sip:alice@127.0.0.1:40123" << "127.0.0.1:40123";
        QTest::newRow("uri params") << "sip:alice@127.0.0.1;transport=udp" << "127.0.0.1";
        QTest::newRow("ipv6") << "sip:alice@[::1]:5060" << "[::1]:5060";
        QTest::newRow("host name") << "sip:a.b-c_1@sip-1.example.net" << "sip-1.example.net:5070";
    }
    void acceptsAddressesWithAndWithoutPort()
    {
        QFETCH(QString, uri);
        QFETCH(QString, registrar);
        ProvisioningData d;
        QString error;
        QVERIFY2(ProvisioningParser::parse(provision(uri, "a", "A", "pw", registrar), &d, &error), qPrintable(error));
        QCOMPARE(d.userUri, uri);
        QCOMPARE(d.registrar.addr, registrar);
        QVERIFY(d.proxy.addr.isEmpty());
    }

    void unescapesAttributeValues()
    {
        const QString password = QStringLiteral("p\"&<x>'s");
        const QString name = QStringLiteral("Zoë \"Z\" <Ops> & Co");
        ProvisioningData d;
        QString error;
        QVERIFY2(ProvisioningParser::parse(provision("sip:carol@127.0.0.1", "carol", name, password), &d, &error),
                 qPrintable(error));
        QCOMPARE(d.password, password);
        QCOMPARE(d.userName, name);
        QCOMPARE(d.userAccount, QStringLiteral("carol"));
    }

    void missingExpiresGetsTheDefault()
    {
        QString text = kPlain;
        text.replace(QLatin1String(R"( expires="200")"), QString());
        ProvisioningData d;
        QVERIFY(ProvisioningParser::parse(text, &d));
        QCOMPARE(d.expires, ProvisioningParser::DefaultExpires);
    }

    void refusesMalformedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reasonPart");
        QString truncated = kPlain;
        truncated.chop(20);
        QTest::newRow("empty") << "" << "empty";
        QTest::newRow("blank") << "  \n " << "empty";
        QTest::newRow("not xml") << "hello there" << "XML";
        QTest::newRow("truncated") << truncated << "malformed";
        QTest::newRow("trailing garbage") << kPlain + "<x/>" << "malformed";
        QTest::newRow("wrong root") << R"(<provisioning key="k"><user uri="sip:a@b"/></provisioning>)" << "root";
        QTest::newRow("no user") << QString(kPlain).replace(QRegularExpression("<user[^>]*/>"), "") << "user uri";
        QTest::newRow("user without uri") << QString(kPlain).replace(R"(uri="sip:1001@127.0.0.1:5060")", "") << "user uri";
        QTest::newRow("no registrar") << QString(kPlain).replace(R"(role="registrar")", R"(role="other")") << "registrar";
        QTest::newRow("expires letters") << QString(kPlain).replace(R"(expires="200")", R"(expires="soon")") << "expires";
        QTest::newRow("expires negative") << QString(kPlain).replace(R"(expires="200")", R"(expires="-5")") << "expires";
        QTest::newRow("uri tel") << provision("tel:+15551234", "a", "A", "pw") << "sip:";
        QTest::newRow("uri without user") << provision("sip:127.0.0.1", "a", "A", "pw") << "sip:";
        QTest::newRow("uri bad port") << provision("sip:a@127.0.0.1:99999", "a", "A", "pw") << "sip:";
        QTest::newRow("registrar bad port") << provision("sip:a@h", "a", "A", "pw", "h:port") << "registrar";
        // Nothing may smuggle parameters or headers into the URIs built from a server or account.
        QTest::newRow("registrar with params") << provision("sip:a@h", "a", "A", "pw", "h;transport=tcp") << "registrar";
        QTest::newRow("registrar with headers") << provision("sip:a@h", "a", "A", "pw", "h?X=1") << "registrar";
        QTest::newRow("registrar with blank") << provision("sip:a@h", "a", "A", "pw", "h x") << "registrar";
        QTest::newRow("registrar with angle") << provision("sip:a@h", "a", "A", "pw", "h>") << "registrar";
        QTest::newRow("account with at") << provision("sip:john@example.com@h", "a", "A", "pw") << "sip:";
        QTest::newRow("account with blank") << provision("sip:jo hn@h", "a", "A", "pw") << "sip:";
        QTest::newRow("account with angle") << provision("sip:a<b@h", "a", "A", "pw") << "sip:";
        QTest::newRow("registrar protocol")
            << QString(kPlain).replace(R"(protocol="UDP" auth="digest" role="registrar")",
                                       R"(protocol="SCTP" auth="digest" role="registrar")")
            << "protocol";
        QTest::newRow("two registrars")
            << QString(kPlain).replace(R"(role="proxy")", R"(role="registrar")") << "more than one";
        QTest::newRow("huge") << QString(ProvisioningParser::MaxTextLength + 1, QLatin1Char('<')) << "too long";
        QTest::newRow("binary") << QString::fromLatin1(QByteArray("\x01\x02<provision\x00\xff", 14)) << "";
    }
    void refusesMalformedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, reasonPart);
        ProvisioningData d;
        d.name = QStringLiteral("untouched");
        QString error;
        QVERIFY(!ProvisioningParser::parse(text, &d, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY2(error.contains(reasonPart, Qt::CaseInsensitive), qPrintable(error));
        QCOMPARE(d.name, QStringLiteral("untouched")); // no half-filled result
    }

    void survivesDeepNestingAndRandomBytes()
    {
        // Deeply nested and random input must come back as a refusal, not a crash.
        QString deep = QStringLiteral("<provision>");
        for (int i = 0; i < 5000; ++i)
            deep += QStringLiteral("<a>");
        QString error;
        ProvisioningData d;
        QVERIFY(!ProvisioningParser::parse(deep, &d, &error));

        quint32 seed = 12345;
        for (int round = 0; round < 200; ++round) {
            QString text = kPlain;
            for (int i = 0; i < 5; ++i) {
                seed = seed * 1664525u + 1013904223u;
                const int pos = static_cast<int>(seed % static_cast<quint32>(text.size()));
                text[pos] = QChar(static_cast<char16_t>(0x20 + (seed >> 16) % 0x60));
            }
            QString e;
            ProvisioningData out;
            if (!ProvisioningParser::parse(text, &out, &e))
                QVERIFY(!e.isEmpty());
        }
        QVERIFY(!ProvisioningParser::parse(kPlain, nullptr, &error));
    }
};

QTEST_GUILESS_MAIN(TestProvisioningParser)
#include "tst_provisioningparser.moc"
