#include "html/HtmlBlockParser.h"
#include "html/HtmlSoupParser.h"
#include "html/MathFolding.h"
#include "html/XmlDomParser.h"
#include "text/AttributeLimit.h"

#include <QTest>

// Every node of the tree, text nodes and CDATA sections apart, so that two trees that print alike
// but are split differently still differ.
QString treeOf(const QDomNode& node)
{
    QString out;
    if (node.isElement()) {
        const QDomElement element = node.toElement();
        out += u'<' + element.tagName();
        const QDomNamedNodeMap attributes = element.attributes();
        QStringList pairs;
        for (int i = 0; i < attributes.count(); ++i)
            pairs.append(attributes.item(i).nodeName() + QStringLiteral("=\"") + attributes.item(i).nodeValue() + u'"');
        pairs.sort();
        out += u' ' + pairs.join(u' ') + u'>';
    } else if (node.isCDATASection()) {
        out += QStringLiteral("[cdata:") + node.nodeValue() + u']';
    } else if (node.isText()) {
        out += QStringLiteral("[text:") + node.nodeValue() + u']';
    }
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
        out += treeOf(child);
    return node.isElement() ? out + QStringLiteral("</>") : out;
}

// A formula's pieces, one a line, for comparing.
QString formulaText(const MathFolding::Formula& formula)
{
    QString out = QStringLiteral("alternative: ") + formula.alternative;
    for (const MathPiece& piece : formula.pieces) {
        out += QStringLiteral("\n%1 %2 %3: ")
                   .arg(piece.kind == MathPiece::Kind::LineBreak ? QStringLiteral("break") : QStringLiteral("text"))
                   .arg(piece.scale)
                   .arg(piece.shift)
            + piece.text;
    }
    return out;
}

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

    // Folded, a formula keeps only its marker; where the reader reads a formula as text, copies
    // it whole or looks for style sheets in it, or in a FictionBook, it stays as written.
    void formulasFoldWhereTakenWhole_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("mathChildren"); // the first child of each math element, in order
        const QString marker = QStringLiteral("-folded-math");
        QTest::newRow("formula") << "<html><body><p><math><mi>x</mi><mn>2</mn></math></p></body></html>"
                                 << QStringList{marker};
        QTest::newRow("outermost only") << "<html><body><math><mrow><math><mi>x</mi></math></mrow></math></body></html>"
                                        << QStringList{marker};
        QTest::newRow("empty") << "<html><body><math/></body></html>" << QStringList{QString()};
        QTest::newRow("in rp") << "<html><body><rp><math><mi>x</mi></math></rp><math><mi>y</mi></math></body></html>"
                               << QStringList{"mi", marker};
        QTest::newRow("in svg") << "<html><body><svg><foreignObject><math><mi>x</mi></math></foreignObject></svg></body></html>"
                                << QStringList{"mi"};
        QTest::newRow("holding a style") << "<html><body><math><style>p{}</style></math><math><mi>x</mi></math></body></html>"
                                         << QStringList{"style", marker};
        QTest::newRow("FictionBook") << "<FictionBook><body><math><mi>x</mi></math></body></FictionBook>"
                                     << QStringList{"mi"};
    }

    void formulasFoldWhereTakenWhole()
    {
        QFETCH(QString, xml);
        QFETCH(QStringList, mathChildren);
        QDomDocument document;
        QVERIFY(XmlDomParser::parse(xml, &document, nullptr, XmlDomParser::Formulas::Folded));
        QStringList found;
        const QDomNodeList formulas = document.elementsByTagName(QStringLiteral("math"));
        for (int i = 0; i < formulas.count(); ++i) {
            if (formulas.at(i).parentNode().nodeName() != QLatin1String("mrow"))
                found.append(formulas.at(i).firstChildElement().tagName());
        }
        QCOMPARE(found, mathChildren);
    }

    // A folded formula reads as the same formula left in the tree; one that is not folded stays in
    // the tree as written.
    void foldedFormulasReadAsWritten_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("folds");
        QTest::newRow("scripts and fraction")
            << "<math alttext='x'><msubsup><mi>x</mi><mn>1</mn><mn>2</mn></msubsup><mo>+</mo>"
               "<mfrac><mrow><mi>a</mi><mo>-</mo><mi>b</mi></mrow><mn>2</mn></mfrac></math>"
            << true;
        QTest::newRow("matrices side by side")
            << "<math><mfenced open='[' close=']' separators=''><mtable><mtr><mtd><mn>1</mn></mtd><mtd><mn>2</mn></mtd></mtr>"
               "<mtr><mtd><mn>3</mn></mtd><mtd/></mtr></mtable></mfenced><mo>=</mo><mtable><mtr><mtd><mi>a</mi></mtd></mtr>"
               "<mlabeledtr><mtd>(1)</mtd><mtd><mi>b</mi></mtd></mlabeledtr></mtable></math>"
            << true;
        QTest::newRow("texts split and CDATA") << "<math><mi>a<!-- c -->b</mi><mtext><![CDATA[<t>]]> u\n v</mtext></math>" << true;
        QTest::newRow("annotation only")
            << "<math alttext='Alternative text not available'><semantics><apply/><annotation encoding='TeX'>x^2</annotation>"
               "</semantics></math>"
            << true;
        QTest::newRow("nested formula") << "<math><mrow><math><mi>x</mi></math><mspace width='-1em'/><mglyph alt='g'/></mrow></math>"
                                        << true;
        QString deep = QStringLiteral("<math>");
        for (int i = 0; i < 80; ++i)
            deep += QStringLiteral("<mrow><mi>%1</mi>").arg(i);
        deep += QString(QStringLiteral("</mrow>")).repeated(80) + QStringLiteral("</math>");
        QTest::newRow("deeper than the linearizer walks") << deep << true;
        QString tooDeep;
        for (int i = 0; i < XmlDomParser::kMaxDepth; ++i)
            tooDeep += QStringLiteral("<span>");
        tooDeep += QStringLiteral("<math><mi>x</mi></math>") + QString(QStringLiteral("</span>")).repeated(XmlDomParser::kMaxDepth);
        QTest::newRow("cut off at the tree's depth") << tooDeep << false;
        // A formula the reader styles, whose content goes on below the depth the tree keeps.
        const int above = HtmlBlockParser::kMaxStyledDepth - 10;
        const int inside = XmlDomParser::kMaxDepth - above + 20;
        const QString deepContent = QString(QStringLiteral("<i>")).repeated(above) + QStringLiteral("<math>")
            + QString(QStringLiteral("<mrow><mi>y</mi>")).repeated(inside) + QStringLiteral("<mi>x</mi>")
            + QString(QStringLiteral("</mrow>")).repeated(inside) + QStringLiteral("</math>")
            + QString(QStringLiteral("</i>")).repeated(above);
        QTest::newRow("content cut off at the tree's depth") << deepContent << true;
        QTest::newRow("holding a link") << "<math><mrow><link rel='stylesheet' href='a.css'/><mi>x</mi></mrow><mn>1</mn></math>"
                                        << false;
        QTest::newRow("in svg") << "<svg><math><mi>x</mi></math></svg>" << false;
        QTest::newRow("empty CDATA only") << "<math><![CDATA[]]></math>" << false;
    }

    void foldedFormulasReadAsWritten()
    {
        QFETCH(QString, body);
        QFETCH(bool, folds);
        const QString xml = QStringLiteral("<html><body><p>") + body + QStringLiteral("</p></body></html>");
        for (const QByteArray& bytes : {xml.toUtf8(), QByteArray()}) {
            QDomDocument kept;
            QDomDocument folded;
            if (bytes.isNull()) { // given as text
                QVERIFY(XmlDomParser::parse(xml, &kept));
                QVERIFY(XmlDomParser::parse(xml, &folded, nullptr, XmlDomParser::Formulas::Folded));
            } else {
                QVERIFY(XmlDomParser::parseUtf8(bytes, &kept));
                QVERIFY(XmlDomParser::parseUtf8(bytes, &folded, nullptr, XmlDomParser::Formulas::Folded));
            }
            if (!folds) {
                QCOMPARE(treeOf(folded), treeOf(kept));
                continue;
            }
            QVERIFY(treeOf(folded) != treeOf(kept));
            const QDomElement keptMath = kept.elementsByTagName(QStringLiteral("math")).at(0).toElement();
            const QDomElement foldedMath = folded.elementsByTagName(QStringLiteral("math")).at(0).toElement();
            QCOMPARE(formulaText(MathFolding::formulaOf(foldedMath)), formulaText(MathFolding::formulaOf(keptMath)));
        }
    }

    // What the chapter budget counts as folded: the formulas' own markup, and nothing that only
    // looks like it.
    void formulaBytes_data()
    {
        QTest::addColumn<QByteArray>("markup");
        QTest::addColumn<qsizetype>("bytes");
        QTest::newRow("none") << QByteArray("<p>x</p>") << qsizetype(0);
        QTest::newRow("two") << QByteArray("<p><math><mi>x</mi></math> and <math\ndisplay=\"block\"><mn>1</mn></math></p>")
                             << qsizetype(23 + 39);
        QTest::newRow("other names") << QByteArray("<mathematics>x</mathematics><m:math>y</m:math>") << qsizetype(0);
        QTest::newRow("unclosed") << QByteArray("<p><math><mi>x</mi></p>") << qsizetype(0);
    }

    void formulaBytes()
    {
        QFETCH(QByteArray, markup);
        QFETCH(qsizetype, bytes);
        QCOMPARE(MathFolding::formulaBytes(markup), bytes);
    }

    // Bytes are read as UTF-8 whatever their declaration says, as the text decoded from them is.
    void bytesReadAsTheirText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("undeclared") << QByteArray("<p a=\"\xC3\xA9\">caf\xC3\xA9</p>");
        QTest::newRow("utf-8") << QByteArray("<?xml version=\"1.0\" encoding='UTF-8'?><p>caf\xC3\xA9</p>");
        QTest::newRow("latin-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p>caf\xC3\xA9</p>");
        QTest::newRow("invalid") << QByteArray("<p>caf\xE9 \xFF</p>");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF<p>caf\xC3\xA9</p>");
        QTest::newRow("malformed") << QByteArray("<p>caf\xC3\xA9<b></p>");
    }

    void bytesReadAsTheirText()
    {
        QFETCH(QByteArray, bytes);
        QDomDocument fromText;
        QString textError;
        const bool textRead = XmlDomParser::parse(QString::fromUtf8(bytes), &fromText, &textError);
        QDomDocument fromBytes;
        QString bytesError;
        QCOMPARE(XmlDomParser::parseUtf8(bytes, &fromBytes, &bytesError), textRead);
        QCOMPARE(fromBytes.toString(-1), fromText.toString(-1));
        QCOMPARE(bytesError, textError);
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

    // A document nested far deeper than any book: linear to build, no deeper than kMaxDepth (so it
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
        QCOMPARE(levels, XmlDomParser::kMaxDepth - 1);
        QCOMPARE(deepest.text().count(u'x'), depth - XmlDomParser::kMaxDepth + 1);
    }

    // Both parsers compare each attribute with the earlier ones of its element: an element with a
    // hundred thousand of them reaches them with the first kMaxAttributes only, so their work stays
    // that of a thousand whatever the count; the rest of the book is read as before.
    void manyAttributesAreCapped_data()
    {
        QTest::addColumn<bool>("soup");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("quote");
        QTest::newRow("XML, 10,000") << false << 10000 << QStringLiteral("\"");
        QTest::newRow("XML, 100,000") << false << 100000 << QStringLiteral("'");
        QTest::newRow("tag soup, 100,000 unquoted") << true << 100000 << QString();
        QTest::newRow("XML, exactly the limit") << false << AttributeLimit::kMaxAttributes << QStringLiteral("\"");
    }
    void manyAttributesAreCapped()
    {
        QFETCH(bool, soup);
        QFETCH(int, count);
        QFETCH(QString, quote);
        QString xml = QStringLiteral("<body><p");
        for (int i = 0; i < count; ++i)
            xml += QStringLiteral(" a%1=").arg(i) + quote + QString::number(i) + quote;
        xml += QStringLiteral(">text</p><!-- <p x=1 y=2> --><p b=") + quote + u'1' + quote + QStringLiteral(">1</p>after</body>");
        const int kept = std::min(count, AttributeLimit::kMaxAttributes);
        if (count > kept)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Left out %1 attributes beyond the first %2 of their element")
                                                              .arg(count - kept).arg(AttributeLimit::kMaxAttributes)));
        QDomDocument document;
        QVERIFY(soup ? HtmlSoupParser::parse(xml, &document) : XmlDomParser::parse(xml, &document));
        const QDomNodeList paragraphs = document.elementsByTagName(QStringLiteral("p"));
        QCOMPARE(paragraphs.size(), 2);
        const QDomElement first = paragraphs.at(0).toElement();
        QCOMPARE(first.attributes().size(), kept);
        QCOMPARE(first.attribute(QStringLiteral("a%1").arg(kept - 1)), QString::number(kept - 1));
        QVERIFY(!first.hasAttribute(QStringLiteral("a%1").arg(kept)));
        QCOMPARE(first.text(), QStringLiteral("text"));
        QCOMPARE(paragraphs.at(1).toElement().attribute(QStringLiteral("b")), QStringLiteral("1"));
        QVERIFY(document.documentElement().text().endsWith(QStringLiteral("after")));
    }

    // Only attributes of start tags count: markup that merely looks like them is passed on whole.
    void attributeLimitReadsOnlyStartTags_data()
    {
        QString many;
        for (int i = 0; i <= AttributeLimit::kMaxAttributes; ++i)
            many += QStringLiteral(" a%1=\"x\"").arg(i);
        QTest::addColumn<QString>("markup");
        QTest::newRow("comment") << QStringLiteral("<r><!-- <p%1> --></r>").arg(many);
        QTest::newRow("CDATA") << QStringLiteral("<r><![CDATA[<p%1>]]></r>").arg(many);
        QTest::newRow("processing instruction") << QStringLiteral("<?x%1?><r/>").arg(many);
        QTest::newRow("inside a value") << QStringLiteral("<r v='<p%1>'/>").arg(QString(many).replace(u'"', u' '));
        QTest::newRow("end tag") << QStringLiteral("<r></r%1>").arg(many);
    }
    void attributeLimitReadsOnlyStartTags()
    {
        QFETCH(QString, markup);
        QCOMPARE(AttributeLimit::apply(markup), markup);
        QCOMPARE(AttributeLimit::apply(markup.toUtf8()), markup.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestXmlDomParser)
#include "tst_xmldomparser.moc"
