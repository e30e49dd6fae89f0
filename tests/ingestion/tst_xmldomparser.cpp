#include "XmlDomParser.h"

#include <QTest>

class TestXmlDomParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keepsWhiteSpaceBetweenElements()
    {
        QDomDocument document;
        QVERIFY(XmlDomParser::parse("<p><i>a</i> <b>b</b>\n</p>", &document));
        const QDomNodeList children = document.documentElement().childNodes();
        QCOMPARE(children.count(), 4);
        QCOMPARE(children.at(1).nodeValue(), QStringLiteral(" "));
        QCOMPARE(children.at(3).nodeValue(), QStringLiteral("\n"));
    }

    // Names stay as written, as without namespace processing: the readers look up "l:href".
    void qualifiedNames()
    {
        QDomDocument document;
        QVERIFY(XmlDomParser::parse("<?xml version=\"1.0\"?><!DOCTYPE html><!-- c -->"
                                    "<FictionBook xmlns=\"urn:fb\" xmlns:l=\"urn:xlink\"><l:x/>"
                                    "<image l:href=\"#a\"/><![CDATA[<raw>]]>&amp;&#233;</FictionBook>",
                                    &document));
        const QDomElement root = document.documentElement();
        QCOMPARE(root.tagName(), QStringLiteral("FictionBook"));
        QCOMPARE(root.attribute("xmlns:l"), QStringLiteral("urn:xlink"));
        QCOMPARE(root.firstChildElement().tagName(), QStringLiteral("l:x"));
        QCOMPARE(root.firstChildElement("image").attribute("l:href"), QStringLiteral("#a"));
        QCOMPARE(root.text(), QStringLiteral("<raw>&\u00E9"));
        QCOMPARE(document.childNodes().count(), 1);
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("unclosed") << "<p><b>a</p>";
        QTest::newRow("undeclared entity") << "<p>&nbsp;</p>";
        QTest::newRow("two roots") << "<p/><p/>";
        QTest::newRow("empty") << "";
        QTest::newRow("text only") << "just text";
    }
    void malformed()
    {
        QFETCH(QString, xml);
        QDomDocument document;
        QString error;
        QVERIFY(!XmlDomParser::parse(xml, &document, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(document.documentElement().isNull());
    }

    // A document nested far deeper than any book: linear to build, no deeper than MaxDepth (so it
    // can be freed on a small stack), every letter of its text kept.
    void deepNestingIsCapped()
    {
        const int depth = 300000;
        QString xml;
        xml.reserve(depth * 13);
        for (int i = 0; i < depth; ++i)
            xml += QStringLiteral("<div>x");
        for (int i = 0; i < depth; ++i)
            xml += QStringLiteral("</div>");
        QDomDocument document;
        QVERIFY(XmlDomParser::parse(xml, &document));
        int levels = 0;
        QDomElement deepest = document.documentElement();
        while (!deepest.firstChildElement().isNull()) {
            deepest = deepest.firstChildElement();
            ++levels;
        }
        QCOMPARE(levels, XmlDomParser::MaxDepth - 1);
        QCOMPARE(deepest.text().count(u'x'), depth - XmlDomParser::MaxDepth + 1);
    }
};

QTEST_GUILESS_MAIN(TestXmlDomParser)
#include "tst_xmldomparser.moc"
