#include "html/HtmlEntities.h"

#include <QTest>
#include <QXmlStreamReader>

class TestHtmlEntities : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void makesTextXmlSafe_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString longName = QString(33, QLatin1Char('a'));
        const QString limitName = QString(32, QLatin1Char('b'));

        QTest::newRow("lone ampersand") << "a & b" << "a &amp; b";
        QTest::newRow("copy") << "&copy;" << "&#169;";
        QTest::newRow("mdash") << "x&mdash;y" << "x&#8212;y";
        QTest::newRow("first and last Latin-1 names") << "&nbsp;&yuml;" << "&#160;&#255;";
        QTest::newRow("names beyond Latin-1") << "&Yuml;&euro;&Omega;" << "&#376;&#8364;&#937;";
        QTest::newRow("name outside the table") << "&foo;" << "&amp;foo;";
        QTest::newRow("names are case-sensitive") << "&Copy;" << "&amp;Copy;";
        QTest::newRow("ampersand then semicolon") << "&;" << "&amp;;";
        QTest::newRow("XML predefined kept") << "&lt; &gt; &amp; &quot; &apos;" << "&lt; &gt; &amp; &quot; &apos;";
        QTest::newRow("name without semicolon at the end") << "x&nbsp" << "x&amp;nbsp";
        QTest::newRow("name without semicolon") << "fish&chips" << "fish&amp;chips";
        QTest::newRow("non-ASCII name") << "&café;" << "&amp;café;";
        QTest::newRow("name over 32 units") << "&" + longName + ";" << "&amp;" + longName + ";";
        QTest::newRow("name of 32 units") << "&" + limitName + ";" << "&amp;" + limitName + ";";
        QTest::newRow("trailing ampersand") << "end&" << "end&amp;";

        QTest::newRow("decimal reference kept") << "&#65;&#0065;" << "&#65;&#0065;";
        QTest::newRow("hex reference kept") << "&#x41;&#x1F600;&#x10FFFF;" << "&#x41;&#x1F600;&#x10FFFF;";
        QTest::newRow("tab reference kept") << "&#9;" << "&#9;";
        QTest::newRow("stray &# in prose") << "AT&#T" << "AT&amp;#T";
        QTest::newRow("no digits") << "&#;&#x;" << "&amp;#;&amp;#x;";
        QTest::newRow("no semicolon") << "&#65 &#x41" << "&amp;#65 &amp;#x41";
        QTest::newRow("NUL is no XML character") << "&#0;" << "&amp;#0;";
        QTest::newRow("control character") << "&#x1B;" << "&amp;#x1B;";
        QTest::newRow("surrogate") << "&#xD800;" << "&amp;#xD800;";
        QTest::newRow("non-character FFFE") << "&#xFFFE;" << "&amp;#xFFFE;";
        QTest::newRow("past U+10FFFF") << "&#x110000;" << "&amp;#x110000;";
        QTest::newRow("huge number") << "&#99999999999999999999999;" << "&amp;#99999999999999999999999;";
        QTest::newRow("upper-case X is read as x") << "&#X41;" << "&#x41;";
        QTest::newRow("hex digits after decimal") << "&#4a;" << "&amp;#4a;";
    }
    void makesTextXmlSafe()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString output = HtmlEntities::toXmlSafe(input);
        QCOMPARE(output, expected);

        QXmlStreamReader reader(QStringLiteral("<r>") + output + QStringLiteral("</r>"));
        while (!reader.atEnd())
            reader.readNext();
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    }

    void textWithoutAmpersandIsReturnedUncopied()
    {
        const QString text = QStringLiteral("no references here");
        QCOMPARE(HtmlEntities::toXmlSafe(text).constData(), text.constData());
        QVERIFY(HtmlEntities::toXmlSafe(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHtmlEntities)
#include "tst_htmlentities.moc"
