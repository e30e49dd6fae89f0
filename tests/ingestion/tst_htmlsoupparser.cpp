#include "html/HtmlSoupParser.h"
#include "html/XmlDomParser.h"

#include <QTest>

class TestHtmlSoupParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The tree has the shape XmlDomParser gives: lower-case names, qualified attribute names,
    // white space kept, comments left out, the implied elements of HTML added.
    void shapeOfTheTree()
    {
        QDomDocument document;
        QVERIFY(HtmlSoupParser::parse("<!DOCTYPE html><HTML xmlns:epub=\"http://www.idpf.org/2007/ops\"><!-- c -->"
                                      "<P CLASS=a epub:type=note>one<BR>two <i>x</i> <b>y</b>"
                                      "<svg viewBox=\"0 0 1 1\"><image xlink:href=\"p.png\"/><foreignObject/></svg>"
                                      "<p>&amp;&eacute;&#X41;&bogus;",
                                      &document));
        const QDomElement root = document.documentElement();
        QCOMPARE(root.tagName(), QStringLiteral("html"));
        QCOMPARE(root.attribute("xmlns:epub"), QStringLiteral("http://www.idpf.org/2007/ops"));
        const QDomElement body = root.firstChildElement("body");
        QVERIFY(!root.firstChildElement("head").isNull());
        const QDomElement p = body.firstChildElement("p");
        QCOMPARE(p.attribute("class"), QStringLiteral("a"));
        QCOMPARE(p.attribute("epub:type"), QStringLiteral("note"));
        QVERIFY(!p.firstChildElement("br").isNull());
        QCOMPARE(p.childNodes().at(4).nodeValue(), QStringLiteral(" ")); // between </i> and <b>
        const QDomElement svg = p.firstChildElement("svg");
        QCOMPARE(svg.attribute("xmlns"), QStringLiteral("http://www.w3.org/2000/svg"));
        QCOMPARE(svg.attribute("viewBox"), QStringLiteral("0 0 1 1"));
        QCOMPARE(svg.firstChildElement("image").attribute("xlink:href"), QStringLiteral("p.png"));
        QVERIFY(!svg.firstChildElement("foreignObject").isNull());
        QCOMPARE(p.nextSiblingElement("p").text(), QStringLiteral("&\u00E9A&bogus;"));
        QCOMPARE(document.childNodes().count(), 1);
    }

    // Nesting deeper than XmlDomParser keeps stops at that depth, text kept, and neither building
    // nor freeing the tree recurses per level.
    void deepNesting()
    {
        QString html;
        for (int i = 0; i < HtmlSoupParser::kMaxNesting - 10; ++i)
            html += QStringLiteral("<div>");
        html += QStringLiteral("deep");
        QDomDocument document;
        QVERIFY(HtmlSoupParser::parse(html, &document));
        int depth = 0;
        QDomElement e = document.documentElement();
        while (!e.firstChildElement().isNull()) {
            e = e.firstChildElement();
            ++depth;
        }
        QVERIFY(depth < XmlDomParser::kMaxDepth);
        QVERIFY(document.documentElement().text().contains(QStringLiteral("deep")));
    }

    // The parser's cost grows with the square of the nesting: deeper text is refused at once, and
    // its readers fall back to plain text. What HTML closes by itself does not count as nesting.
    void nestingBeyondTheLimitIsRefused_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("parsed");
        QTest::newRow("open divs") << "<div>" << false;
        QTest::newRow("open formatting") << "<b class=c><i>x<br>" << false;
        QTest::newRow("unclosed paragraphs") << "<p>text <img src=a.png> more" << true;
        QTest::newRow("unclosed items") << "<li>item<br/>" << true;
        QTest::newRow("closed spans") << "<span>a</span> " << true;
    }
    void nestingBeyondTheLimitIsRefused()
    {
        QFETCH(QString, unit);
        QFETCH(bool, parsed);
        const QString html = QStringLiteral("<ul>") + unit.repeated(4 * HtmlSoupParser::kMaxNesting);
        QDomDocument document;
        QCOMPARE(HtmlSoupParser::parse(html, &document), parsed);
        QCOMPARE(document.documentElement().isNull(), !parsed);
    }

    void emptyInputStillHasADocument()
    {
        QDomDocument document;
        QVERIFY(HtmlSoupParser::parse(QString(), &document));
        QCOMPARE(document.documentElement().tagName(), QStringLiteral("html"));
    }
};

QTEST_GUILESS_MAIN(TestHtmlSoupParser)
#include "tst_htmlsoupparser.moc"
