// Links and arguments handed to the phone: the number they put into the
// number box, or none.
#include "call/DialLink.h"

#include <QtTest>

class TestDialLink : public QObject {
    Q_OBJECT
private slots:
    void number_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("number");
        QTest::newRow("sip") << "sip:2000@127.0.0.1" << "2000";
        QTest::newRow("sips, parameters, password") << "SIPS:2000:pw@host;user=phone?x=y" << "2000";
        QTest::newRow("tel, international, separators") << "tel:+49 (30) 123-4567" << "0049301234567";
        QTest::newRow("tel, percent-encoded, parameters") << "tel:+49%2030.1234567;phone-context=x" << "0049301234567";
        QTest::newRow("number alone") << "  030 1234 " << "0301234";
        QTest::newRow("star and hash") << "tel:*31#" << "*31#";
        // What the number box would refuse, refused.
        QTest::newRow("letters") << "sip:abc@host" << "";
        QTest::newRow("host alone") << "sip:127.0.0.1" << "";
        QTest::newRow("plus inside") << "tel:49+30" << "";
        QTest::newRow("nothing") << "tel:" << "";
        QTest::newRow("other scheme") << "http://2000" << "";
        QTest::newRow("longer than the box") << "tel:" + QString(33, QLatin1Char('1')) << "";
        QTest::newRow("a header's line break") << "sip:20%0D%0A00@host" << "";
    }
    void number()
    {
        QFETCH(QString, link);
        QFETCH(QString, number);
        QCOMPARE(DialLink::Number(link), number);
    }
};

QTEST_GUILESS_MAIN(TestDialLink)
#include "tst_diallink.moc"
