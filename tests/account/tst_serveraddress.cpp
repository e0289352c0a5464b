#include "account/ServerAddress.h"

#include <QtTest>

// The login window's server field: what it takes, over which transport, and
// what it refuses (with a reason the user can act on).
class TestServerAddress : public QObject {
    Q_OBJECT
private slots:
    void acceptedValues_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("connectTo");
        QTest::newRow("name") << "sip.example.net" << false << "sip.example.net" << "sip.example.net";
        QTest::newRow("name:port") << "sip.example.net:5070" << false << "sip.example.net:5070" << "sip.example.net:5070";
        QTest::newRow("ipv4:port") << "127.0.0.1:5060" << false << "127.0.0.1:5060" << "127.0.0.1:5060";
        QTest::newRow("single label") << "localhost" << false << "localhost" << "localhost";
        QTest::newRow("sips: takes 5061") << "sips:provider.example" << true << "provider.example"
                                          << "provider.example:5061";
        QTest::newRow("sips: any case, own port") << "SIPS:provider.example:5063" << true << "provider.example:5063"
                                                  << "provider.example:5063";
        QTest::newRow("sips: address") << "sips:192.0.2.7" << true << "192.0.2.7" << "192.0.2.7:5061";
    }
    void acceptedValues()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tls);
        QFETCH(QString, domain);
        QFETCH(QString, connectTo);
        QString why;
        const auto server = ServerAddress::Parse(typed, &why);
        QVERIFY2(server, qPrintable(why));
        QCOMPARE(server->tls(), tls);
        QCOMPARE(server->domain(), domain);
        QCOMPARE(server->connectTo(), connectTo);
        QCOMPARE(server->protocol(), tls ? QString("TLS") : QString("UDP"));
    }

    void refusedValuesSayWhy_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saying");
        QTest::newRow("empty") << "" << "empty";
        QTest::newRow("transport parameter") << "provider.example;transport=tls" << "sips:";
        QTest::newRow("sip: scheme") << "sip:provider.example" << "Leave out \"sip:\"";
        QTest::newRow("account before @") << "1001@provider.example" << "without an account name";
        QTest::newRow("web address") << "https://provider.example/" << "not";
        QTest::newRow("port zero") << "provider.example:0" << "1 to 65535";
        QTest::newRow("port too big") << "sips:provider.example:65536" << "1 to 65535";
        QTest::newRow("empty port") << "provider.example:" << "1 to 65535";
        QTest::newRow("signed port") << "provider.example:+5060" << "1 to 65535";
        QTest::newRow("blank") << "provider.example " << "blank";
        QTest::newRow("line break") << "provider\n.example" << "blank";
        QTest::newRow("ipv6") << "[2001:db8::1]:5060" << "IPv6";
        QTest::newRow("bad label") << "-provider.example" << "not a server name";
        QTest::newRow("octet over 255") << "10.0.0.256" << "not a server name";
        QTest::newRow("any address") << "0.0.0.0" << "not a server name";
        QTest::newRow("broadcast") << "255.255.255.255:5060" << "not a server name";
        QTest::newRow("multicast") << "sips:224.0.1.75" << "not a server name";
        QTest::newRow("empty label") << "provider..example" << "not a server name";
        QTest::newRow("underscore") << "sip_server.example" << "not a server name";
        QTest::newRow("sips: nothing after") << "sips:" << "not a server name";
        QTest::newRow("too long") << QString(300, 'a') << "too long";
        QTest::newRow("label too long") << QString(64, 'a') + ".example" << "not a server name";
    }
    void refusedValuesSayWhy()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saying);
        QString why;
        QVERIFY(!ServerAddress::Parse(typed, &why));
        QVERIFY2(why.contains(saying), qPrintable(why));
        // Every refusal ends with the forms the field takes.
        QVERIFY2(why.contains("sips:provider.example"), qPrintable(why));
    }

    void callsTakeTheRegistrationsWay()
    {
        QCOMPARE(ServerAddress::Parse("sips:provider.example")->callUri("5550123"),
                 QString("sip:5550123@provider.example:5061;transport=tls"));
        QCOMPARE(ServerAddress::Parse("provider.example:5070")->callUri("5550123"),
                 QString("sip:5550123@provider.example:5070"));
    }

    void storedValuesEarlierVersionsTookStayAsTheyWere()
    {
        // Whatever was stored before the field was checked is used as it
        // stands, over UDP: the profile keeps working as it did.
        for (const QString stored : {QString("provider.example "), QString("sip:provider.example"), QString()}) {
            const ServerAddress server = ServerAddress::FromStored(stored);
            QVERIFY(!server.tls());
            QCOMPARE(server.connectTo(), stored);
            QCOMPARE(server.callUri("1"), "sip:1@" + stored);
        }
        QVERIFY(ServerAddress::FromStored("sips:provider.example").tls());
    }
};

QTEST_APPLESS_MAIN(TestServerAddress)
#include "tst_serveraddress.moc"
