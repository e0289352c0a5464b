#include "call/ProvisioningText.h"

#include <QXmlStreamReader>
#include <QtTest>

class TestProvisioningText : public QObject {
    Q_OBJECT
private slots:
    void plainValuesByteForByte()
    {
        const QString text = ProvisioningText::Build("1001", "Ann", "secret", "sip.example.net");
        QCOMPARE(text,
                 QString("<provision key=\"3f1c9a52-7d4e-4b8a-9c61-0e2f5b7d8a13\" name=\"1001\" expires=\"200\">"
                         "<user account=\"Ann\" name=\"1001\" password=\"secret\" uri=\"sip:1001@sip.example.net\" /> "
                         "<sipsrv addr=\"sip.example.net\" protocol=\"UDP\" auth=\"digest\" role=\"registrar\">"
                         "<session party=\"first\" type=\"pc2ph\" /></sipsrv>"
                         "<sipsrv addr=\"sip.example.net\" protocol=\"UDP\" auth=\"digest\" role=\"proxy\">"
                         "<session party=\"first\" type=\"pc2ph\" /></sipsrv>"
                         "<provider calldisplay=\"sip:1001@sip.example.net\" /></provision>"));
    }

    void serverWithPortIsCopiedUnchanged()
    {
        const QString text = ProvisioningText::Build("1001", "1001", "pw", "10.1.2.3:5070");
        QVERIFY(text.contains("uri=\"sip:1001@10.1.2.3:5070\""));
        QCOMPARE(text.count("addr=\"10.1.2.3:5070\""), 2);
        QVERIFY(text.contains("calldisplay=\"sip:1001@10.1.2.3:5070\""));
    }

    void aliasLeftAtPromptGivesAccountEqualToName()
    {
        // The login window puts the account ID into the alias in that case.
        const QString text = ProvisioningText::Build("1001", "1001", "pw", "host");
        QVERIFY(text.contains("<user account=\"1001\" name=\"1001\""));
    }

    void specialCharactersAreEscapedAndParseBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote amp lt") << "p\"&<x>'s";
        QTest::newRow("entity-looking") << "&amp;&#65;";
        QTest::newRow("blanks") << "  a b  ";
        QTest::newRow("tab newline") << "a\tb\nc";
        QTest::newRow("unicode") << QString::fromUtf8("Zoë 電話");
        QTest::newRow("empty") << "";
        QTest::newRow("emoji") << QString::fromUtf8("a\xF0\x9F\x93\x9E b");
    }
    void specialCharactersAreEscapedAndParseBack()
    {
        QFETCH(QString, value);
        const QString text = ProvisioningText::Build(value, value, value, "host");
        QXmlStreamReader xml(text);
        QHash<QString, QString> user;
        QString name;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                if (xml.name() == QLatin1String("user"))
                    for (const auto &a : xml.attributes())
                        user.insert(a.name().toString(), a.value().toString());
                if (xml.name() == QLatin1String("provision"))
                    name = xml.attributes().value("name").toString();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(name, value);
        QCOMPARE(user.value("account"), value);
        QCOMPARE(user.value("name"), value);
        QCOMPARE(user.value("password"), value);
        QCOMPARE(user.value("uri"), "sip:" + value + "@host");
    }

    void charactersXmlCannotCarryAreLeftOut()
    {
        const QString nasty = QString("a") + QChar(0x1b) + "b" + QChar(0) + "c" + QChar(0xFFFF) + "d"
                              + QChar(0xD800) + "e";
        const QString text = ProvisioningText::Build("1001", "1001", nasty, "host");
        QXmlStreamReader xml(text);
        QString password;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("user"))
                password = xml.attributes().value("password").toString();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(password, QString("abcde"));
    }

    void escapesExactly()
    {
        QCOMPARE(ProvisioningText::EscapeAttribute("a\"b&c<d>e'f"), QString("a&quot;b&amp;c&lt;d&gt;e&apos;f"));
        const QString text = ProvisioningText::Build("1", "2", "p\"&<", "h");
        QVERIFY(text.contains("password=\"p&quot;&amp;&lt;\""));
    }
};

QTEST_GUILESS_MAIN(TestProvisioningText)
#include "tst_provisioningtext.moc"
