#include "content/DocumentChunkBuilder.h"
#include "css/CssStyleSheet.h"
#include "html/HtmlBlockParser.h"
#include "html/XmlDomParser.h"
#include "images/DataUrl.h"
#include "images/ImageUrl.h"

#include <QDomDocument>
#include <QFile>
#include <QTest>

namespace {

const QString bookPath = QStringLiteral("/books/a b.epub");

QString xhtml(const QString& body, const QString& head = QString())
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
                          "<head><title>Title</title>%2</head><body>%1</body></html>")
        .arg(body, head);
}

QList<ContentChunk> parseDocument(const QString& xml, const QString& css = QString(), int budget = DocumentChunkBuilder::kSingleChunkBudget,
                                  const QString& providerId = QStringLiteral("epub"), int sectionDepth = 1,
                                  const QString& baseDir = QStringLiteral("OEBPS/text/"))
{
    QDomDocument document;
    if (!XmlDomParser::parse(xml, &document))
        return {};
    const Css::StyleSheet sheet = Css::StyleSheet::parse(css);
    return HtmlBlockParser::parseChunks(document.documentElement(), QStringLiteral("chapter"), budget, ParseParams(), &sheet,
                                        providerId, bookPath, baseDir, sectionDepth);
}

// Every text run of the paragraphs, with its size and shift.
QStringList runsOf(const QList<ContentChunk>& chunks)
{
    QStringList runs;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            for (const InlineRun& run : block.runs)
                runs.append(QStringLiteral("%1:%2@%3%4").arg(run.kind).arg(run.text).arg(run.style.size, 0, 'g', 17)
                                .arg(run.style.baselineShift, 0, 'g', 17));
            runs.append(QStringLiteral("|"));
        }
    }
    return runs;
}

QList<BlockItem> blocksOf(const QList<ContentChunk>& chunks)
{
    QList<BlockItem> blocks;
    for (const ContentChunk& chunk : chunks)
        blocks += chunk.blocks;
    return blocks;
}

QList<BlockItem> paragraphs(const QList<ContentChunk>& chunks)
{
    QList<BlockItem> out;
    for (const BlockItem& block : blocksOf(chunks)) {
        if (block.kind == BlockItem::Paragraph)
            out.append(block);
    }
    return out;
}

QString textOf(const BlockItem& paragraph)
{
    QString text;
    for (const InlineRun& run : paragraph.runs) {
        if (run.kind == InlineRun::Text)
            text += run.text;
        else if (run.kind == InlineRun::LineBreak)
            text += u'|';
        else
            text += QStringLiteral("[img]");
    }
    return text;
}

QStringList texts(const QList<ContentChunk>& chunks)
{
    QStringList out;
    for (const BlockItem& paragraph : paragraphs(chunks))
        out.append(textOf(paragraph));
    return out;
}

// "<" for a container start, ">" for its end, "p" for a paragraph, "-" for a rule.
QString shape(const QList<ContentChunk>& chunks)
{
    QString out;
    for (const BlockItem& block : blocksOf(chunks))
        out += QStringLiteral("<>p-").at(block.kind);
    return out;
}

// Every chunk nests its containers properly and closes what it opens.
bool balanced(const QList<ContentChunk>& chunks)
{
    for (const ContentChunk& chunk : chunks) {
        int depth = 0;
        for (const BlockItem& block : chunk.blocks) {
            depth += block.kind == BlockItem::ContainerStart ? 1 : block.kind == BlockItem::ContainerEnd ? -1 : 0;
            if (depth < 0)
                return false;
        }
        if (depth != 0)
            return false;
    }
    return true;
}

QList<InlineRun> imageRuns(const QList<ContentChunk>& chunks)
{
    QList<InlineRun> out;
    for (const BlockItem& paragraph : paragraphs(chunks)) {
        for (const InlineRun& run : paragraph.runs) {
            if (run.kind == InlineRun::Image)
                out.append(run);
        }
    }
    return out;
}

QString fb2(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" xmlns:l=\"http://www.w3.org/1999/xlink\">"
                          "<description><title-info><book-title>B</book-title></title-info></description>"
                          "%1<binary id=\"i.png\" content-type=\"image/png\">AAAA</binary></FictionBook>")
        .arg(body);
}

// The FB2 reader hands each body to the parser.
QList<ContentChunk> parseFb2(const QString& xml, int depth = 0)
{
    QDomDocument document;
    if (!XmlDomParser::parse(xml, &document))
        return {};
    QList<ContentChunk> chunks;
    for (QDomElement body = document.documentElement().firstChildElement("body"); !body.isNull(); body = body.nextSiblingElement("body"))
        chunks += HtmlBlockParser::parseChunks(body, "fb2", DocumentChunkBuilder::kSingleChunkBudget, ParseParams(), nullptr,
                                               "fb2", bookPath, QString(), depth);
    return chunks;
}

} // namespace

class TestHtmlBlockParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A formula folded while its tree is built reads as its markup does: scripts, rows, text
    // alternatives, a style sheet asking whether it is empty, formulas the reader takes as text.
    void foldedFormulasReadAsTheirMarkup_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("css");
        QTest::newRow("scripts") << "<p>Let <math><msub><mi>x</mi><mn>1</mn></msub><mo>=</mo><mfrac><mn>1</mn>"
                                    "<msup><mi>e</mi><mn>2</mn></msup></mfrac></math> be.</p>"
                                 << "";
        QTest::newRow("rows") << "<p><math><mtable><mtr><mtd><mi>a</mi></mtd><mtd><mi>b</mi></mtd></mtr>"
                                 "<mtr><mtd><mn>1</mn></mtd></mtr></mtable></math></p>"
                              << "";
        QTest::newRow("alttext") << "<p><math alttext=\"x squared\"><msup><mi>x</mi><mn>2</mn></msup></math></p>" << "";
        QTest::newRow("alttext of content markup")
            << "<p><math alttext=\"a plus b\"><apply><plus/><ci>a</ci><ci>b</ci></apply></math></p>" << "";
        QTest::newRow("matrices side by side")
            << "<p><math><mi>A</mi><mo>=</mo><mrow><mtable><mtr><mtd><mi>a</mi></mtd></mtr><mtr><mtd><mi>b</mi></mtd></mtr>"
               "</mtable><mtable><mtr><mtd><msup><mi>c</mi><mn>2</mn></msup></mtd></mtr><mtr><mtd><mi>d</mi></mtd></mtr>"
               "<mtr><mtd><mi>e</mi></mtd></mtr></mtable></mrow></math></p>"
            << "";
        QTest::newRow("empty") << "<p>a<math></math>b<math> </math>c<math><mi>x</mi></math></p>"
                               << "math:empty{display:none} math{font-size:2em}";
        QTest::newRow("ruby fallback") << "<p><ruby>A<rp>(<math><mi>x</mi><mo>+</mo></math>)</rp><rt>a</rt></ruby></p>" << "";
        QTest::newRow("nested") << "<p><math><mrow><math><msup><mi>y</mi><mn>2</mn></msup></math><mo>+</mo></mrow></math></p>"
                                << "";
    }

    void foldedFormulasReadAsTheirMarkup()
    {
        QFETCH(QString, body);
        QFETCH(QString, css);
        const Css::StyleSheet sheet = Css::StyleSheet::parse(css);
        QStringList read[2];
        for (const XmlDomParser::Formulas formulas : { XmlDomParser::Formulas::Kept, XmlDomParser::Formulas::Folded }) {
            QDomDocument document;
            QVERIFY(XmlDomParser::parse(xhtml(body), &document, nullptr, formulas));
            read[int(formulas)] = runsOf(HtmlBlockParser::parseChunks(document.documentElement(), QStringLiteral("chapter"),
                                                                      DocumentChunkBuilder::kSingleChunkBudget, ParseParams(),
                                                                      &sheet, QStringLiteral("epub"), bookPath,
                                                                      QStringLiteral("OEBPS/"), 1));
        }
        QVERIFY(read[0].size() > 1);
        QCOMPARE(read[1], read[0]);
    }

    void blocksAndContainers_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QStringList>("texts");
        const QString noMargins = QStringLiteral("p{margin:0}");
        QTest::newRow("plain paragraphs") << "<p>a</p><p>b</p>" << noMargins << "pp" << QStringList { "a", "b" };
        QTest::newRow("paragraph with margins is a container") << "<p>a</p>" << "" << "<p>" << QStringList { "a" };
        QTest::newRow("empty container left out") << "<div style=\"margin:1em\"> </div><p>a</p>" << noMargins << "p" << QStringList { "a" };
        QTest::newRow("text around a block") << "<div>a<p>b</p>c</div>" << noMargins << "ppp" << QStringList { "a", "b", "c" };
        QTest::newRow("block inside inline") << "<p><span>a<span style=\"display:block\">b</span>c</span></p>" << noMargins << "ppp" << QStringList { "a", "b", "c" };
        QTest::newRow("blockquote") << "<blockquote><p>a</p></blockquote>" << noMargins << "<p>" << QStringList { "a" };
        QTest::newRow("nested containers") << "<div style=\"border:1px solid\"><blockquote><p>a</p></blockquote></div>" << noMargins << "<<p>>" << QStringList { "a" };
        QTest::newRow("rule") << "<p>a</p><hr/><p>b</p>" << noMargins << "p<->p" << QStringList { "a", "b" };
        QTest::newRow("rule without margins") << "<hr/>" << "hr{margin:0;border:1px solid red}" << "-" << QStringList {};
        QTest::newRow("head and scripts hidden") << "<script>x()</script><style>p{}</style><p>a</p>" << noMargins << "p" << QStringList { "a" };
        QTest::newRow("white space between inline elements kept") << "<p><i>a</i> <b>b</b></p>" << noMargins << "p" << QStringList { "a b" };
        QTest::newRow("white space collapses across runs") << "<p>a <i> b </i> c</p>" << noMargins << "p" << QStringList { "a b c" };
        QTest::newRow("no-break spaces stay") << "<p>\u00A0</p>" << noMargins << "p" << QStringList { "\u00A0" };
        QTest::newRow("line breaks") << "<p>a<br/>b</p>" << noMargins << "p" << QStringList { "a|b" };
        QTest::newRow("trailing break dropped") << "<p>a<br/></p>" << noMargins << "p" << QStringList { "a" };
        // Each row in a box of its own, which its wrapped lines stand in from.
        QTest::newRow("table row is one paragraph") << "<table><tr><th>h</th><td>1</td></tr><tr><td>2</td></tr></table>" << "" << "<p><p>"
                                                    << QStringList { QStringLiteral("h\u00A0\u2002\u2502\u2002 1"), "2" };
        QTest::newRow("definition list") << "<dl><dt>t</dt><dd>d</dd></dl>" << "dl{margin:0}" << "p<p>" << QStringList { "t", "d" };
        QTest::newRow("figure") << "<figure><figcaption>cap</figcaption></figure>" << "" << "<p>" << QStringList { "cap" };
    }
    void blocksAndContainers()
    {
        QFETCH(QString, body);
        QFETCH(QString, css);
        QFETCH(QString, shape);
        QFETCH(QStringList, texts);
        const QList<ContentChunk> chunks = parseDocument(xhtml(body), css);
        QCOMPARE(::shape(chunks), shape);
        QCOMPARE(::texts(chunks), texts);
        QVERIFY(balanced(chunks));
    }

    // Each box keeps the margins its style gives: the layout collapses them (and only it, so the
    // gap between a paragraph and a heading is the heading's larger margin, not what is left of it).
    void marginsAreKeptForTheLayout()
    {
        const QList<ContentChunk> siblings = parseDocument(xhtml("<p>a</p><p>b</p>"), "p{margin:10px 0 20px}");
        QCOMPARE(shape(siblings), QStringLiteral("<p><p>"));
        const QList<BlockItem> blocks = blocksOf(siblings);
        QCOMPARE(blocks[0].box.marginTop, 10.0);
        QCOMPARE(blocks[2].box.marginBottom, 20.0);
        QCOMPARE(blocks[3].box.marginTop, 10.0);
        const QList<BlockItem> nested = blocksOf(parseDocument(xhtml("<div><p>a</p></div><div style=\"padding-top:1px\"><p>b</p></div>"),
                                                               "div{margin-top:30px} p{margin:12px 0 0}"));
        QCOMPARE(nested[0].box.marginTop, 30.0);
        QCOMPARE(nested[1].box.marginTop, 12.0);
        QCOMPARE(nested[6].box.marginTop, 12.0);
    }

    void chunksStayBalanced()
    {
        QString body = QStringLiteral("<blockquote>");
        for (int i = 0; i < 40; ++i)
            body += QStringLiteral("<div class=\"q\"><p>%1</p></div>").arg(QString(100, QChar(u'a' + i % 26)));
        body += QStringLiteral("</blockquote>");
        const QList<ContentChunk> chunks = parseDocument(xhtml(body), ".q{border-left:2px solid}", DocumentChunkBuilder::kReaderBudget);
        QVERIFY(chunks.size() > 5);
        QVERIFY(balanced(chunks));
        QCOMPARE(texts(chunks).size(), 40);
    }

    void lists()
    {
        const QList<ContentChunk> chunks = parseDocument(
            xhtml("<ul><li>a</li><li><p>b</p><ul><li>c</li></ul></li></ul>"
                  "<ol start=\"3\"><li>x</li><li value=\"9\">y</li><li>z</li></ol>"
                  "<ol style=\"list-style-type:lower-alpha\"><li>q</li><li>r</li></ol>"
                  "<ul style=\"list-style:none\"><li>n</li></ul>"
                  "<ol type=\"I\"><li>r1</li><li>r2</li></ol>"),
            "p{margin:0}");
        QStringList markers;
        for (const BlockItem& paragraph : paragraphs(chunks))
            markers.append(paragraph.marker + textOf(paragraph));
        QCOMPARE(markers, QStringList({ "\u2022 a", "\u2022 b", "\u25E6 c", "3. x", "9. y", "10. z", "a. q", "b. r", "n", "I. r1", "II. r2" }));
        QVERIFY(balanced(chunks));
    }

    // Numbers a book writes saturate at the limits of int, before and after counting on.
    void listNumbersSaturate_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("markers");
        QTest::newRow("value at the maximum") << "<ol><li value=\"2147483647\">a</li><li>b</li></ol>"
                                              << QStringList { "2147483647. ", "2147483647. " };
        QTest::newRow("value beyond it") << "<ol><li value=\"99999999999999999999\">a</li></ol>" << QStringList { "2147483647. " };
        QTest::newRow("start at the minimum") << "<ol start=\"-2147483648\"><li>a</li><li>b</li></ol>"
                                              << QStringList { "-2147483648. ", "-2147483647. " };
        QTest::newRow("start below it") << "<ol start=\"-99999999999\"><li>a</li></ol>" << QStringList { "-2147483648. " };
        QTest::newRow("not a number") << "<ol start=\"3x\"><li value=\"\">a</li></ol>" << QStringList { "1. " };
    }
    void listNumbersSaturate()
    {
        QFETCH(QString, list);
        QFETCH(QStringList, markers);
        QStringList found;
        for (const BlockItem& paragraph : paragraphs(parseDocument(xhtml(list), QString())))
            found.append(paragraph.marker);
        QCOMPARE(found, markers);
    }

    void images_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("url");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("maxWidth");
        const QString src = ImageUrl::querySuffix(bookPath);
        QTest::newRow("relative to the document") << "<p><img src=\"../images/a.png\" alt=\"\"/></p>" << ""
                                                  << "image://epub/OEBPS/images/a.png" + src << -1.0 << -1.0 << -1.0;
        QTest::newRow("attribute sizes") << "<p><img src=\"a.png\" width=\"120\" height=\"80px\"/></p>" << ""
                                         << "image://epub/OEBPS/text/a.png" + src << 120.0 << 80.0 << -1.0;
        QTest::newRow("css beats attributes") << "<p><img src=\"a.png\" width=\"120\" style=\"width:50%;max-width:100%\"/></p>" << ""
                                              << "image://epub/OEBPS/text/a.png" + src << 300.0 << -1.0 << 600.0;
        QTest::newRow("sheet sizes in em") << "<p><img class=\"i\" src=\"a.png\"/></p>" << ".i{height:2em}"
                                           << "image://epub/OEBPS/text/a.png" + src << -1.0 << 32.0 << -1.0;
        QTest::newRow("percent-encoded name") << "<p><img src=\"my%20pic.png\"/></p>" << ""
                                              << ImageUrl::build("epub", "OEBPS/text/my pic.png", bookPath) << -1.0 << -1.0 << -1.0;
        QTest::newRow("fragment dropped") << "<p><img src=\"a.svg#view\"/></p>" << ""
                                          << "image://epub/OEBPS/text/a.svg" + src << -1.0 << -1.0 << -1.0;
        QTest::newRow("from the root") << "<p><img src=\"/OEBPS/a.png\"/></p>" << ""
                                       << "image://epub/OEBPS/a.png" + src << -1.0 << -1.0 << -1.0;
        QTest::newRow("web image") << "<p><img src=\"https://e.org/a.png\"/></p>" << ""
                                   << "image://web/https://e.org/a.png" << -1.0 << -1.0 << -1.0;
        QTest::newRow("data url") << "<p><img src=\" data:image/png;base64,AAAA \"/></p>" << ""
                                  << "data:image/png;base64,AAAA" << -1.0 << -1.0 << -1.0;
    }
    void images()
    {
        QFETCH(QString, body);
        QFETCH(QString, css);
        QFETCH(QString, url);
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(double, maxWidth);
        const QList<InlineRun> found = imageRuns(parseDocument(xhtml(body), css));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].url, url);
        QCOMPARE(found[0].width, width);
        QCOMPARE(found[0].height, height);
        QCOMPARE(found[0].maxWidth, maxWidth);
    }

    // A book names its own entries only; an image URL written into its markup would reach another
    // provider or any file on disk.
    void foreignImageUrlsRefused_data()
    {
        QTest::addColumn<QString>("src");
        QTest::newRow("image url") << "image://dir/etc/secret.png?src=%2F";
        QTest::newRow("upper case") << "IMAGE://cbz/x.png";
        QTest::newRow("empty") << "";
    }
    void foreignImageUrlsRefused()
    {
        QFETCH(QString, src);
        const QList<ContentChunk> chunks = parseDocument(xhtml(QStringLiteral("<p>a<img src=\"%1\"/>b</p>").arg(src)), "p{margin:0}");
        QVERIFY(imageRuns(chunks).isEmpty());
        QCOMPARE(texts(chunks), QStringList { "ab" });
        // An inline drawing still shows, without the reference.
        const QList<ContentChunk> svg = parseDocument(
            xhtml(QStringLiteral("<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\"><image xlink:href=\"%1\"/></svg>").arg(src)));
        const QList<InlineRun> drawings = imageRuns(svg);
        QCOMPARE(drawings.size(), 1);
        const QByteArray markup = DataUrl::decode(drawings[0].url);
        QVERIFY(markup.contains("<image"));
        QVERIFY(!markup.contains("href"));
    }

    // The drawing is kept whole, its namespaces declared and its pictures named by book URLs.
    void inlineSvgBecomesOneImage()
    {
        const QList<ContentChunk> chunks = parseDocument(xhtml(
            "<div><svg xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"300\" height=\"400\" viewBox=\"0 0 6 8\"><title>t</title>"
            "<circle cx=\"3\" cy=\"3\" r=\"2\"/><image width=\"6\" height=\"8\" xlink:href=\"../cover.jpg\"/></svg></div>"));
        const QList<InlineRun> found = imageRuns(chunks);
        QCOMPARE(found.size(), 1);
        QVERIFY(found[0].url.startsWith(QLatin1String("data:image/svg+xml;base64,")));
        QCOMPARE(found[0].width, 300.0);
        QCOMPARE(found[0].height, 400.0);
        QDomDocument drawing;
        QVERIFY(drawing.setContent(DataUrl::decode(found[0].url), true));
        const QDomElement root = drawing.documentElement();
        QCOMPARE(root.namespaceURI(), QStringLiteral("http://www.w3.org/2000/svg"));
        QCOMPARE(root.attribute(QStringLiteral("viewBox")), QStringLiteral("0 0 6 8"));
        QCOMPARE(root.elementsByTagNameNS(QStringLiteral("http://www.w3.org/2000/svg"), QStringLiteral("circle")).size(), 1);
        const QDomElement image = root.elementsByTagNameNS(QStringLiteral("http://www.w3.org/2000/svg"), QStringLiteral("image")).at(0).toElement();
        QCOMPARE(image.attributeNS(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href")),
                 ImageUrl::build("epub", "OEBPS/cover.jpg", bookPath));
    }

    void blockImage()
    {
        const QList<ContentChunk> chunks = parseDocument(xhtml("<p>a<img src=\"x.png\" style=\"display:block\"/>b</p>"),
                                                         "p{margin:0; text-align:center}");
        QCOMPARE(texts(chunks), QStringList({ "a", "[img]", "b" }));
        QCOMPARE(int(paragraphs(chunks)[1].align), int(TextAlign::Center));
    }

    void footnoteLinks()
    {
        const QList<ContentChunk> chunks = parseDocument(
            xhtml("<p>Text<a href=\"notes.xhtml#n1\" epub:type=\"noteref\" id=\"r1\"><sup>1</sup></a>.</p>"
                  "<aside epub:type=\"footnote\" id=\"n1\"><p>The note.</p></aside>"),
            "p{margin:0}");
        const QList<BlockItem> ps = paragraphs(chunks);
        QCOMPARE(texts(chunks), QStringList({ "Text1.", "The note." }));
        const InlineRun& ref = ps[0].runs[1];
        QCOMPARE(ref.text, QStringLiteral("1"));
        QVERIFY(ref.style.link);
        QVERIFY(ref.style.underline);
        QVERIFY(ref.style.baselineShift > 0);
        QVERIFY(ref.style.size < 16);
        QVERIFY(!ps[0].runs[0].style.link);
    }

    void preformatted()
    {
        const QList<ContentChunk> chunks = parseDocument(xhtml("<pre>\n  a  b\n\tc<br/>d</pre><p>  e   f </p>"), "p,pre{margin:0}");
        const QList<BlockItem> ps = paragraphs(chunks);
        QCOMPARE(ps.size(), 2);
        QVERIFY(ps[0].preformatted);
        QCOMPARE(ps[0].style.families, QStringList { "monospace" });
        QCOMPARE(textOf(ps[0]), QStringLiteral("  a  b\n\tc|d"));
        QVERIFY(!ps[1].preformatted);
        QCOMPARE(textOf(ps[1]), QStringLiteral("e f"));
    }

    void paragraphFields()
    {
        const QList<BlockItem> ps = paragraphs(parseDocument(
            xhtml("<div class=\"d\">first<p>p</p>again</div>"), "p{margin:0} .d{text-indent:2em; text-align:right; line-height:2; font-size:20px}"));
        QCOMPARE(ps.size(), 3);
        QCOMPARE(ps[0].indent, 40.0);
        QCOMPARE(int(ps[0].align), int(TextAlign::Right));
        QCOMPARE(ps[0].lineHeight, 2.0);
        QCOMPARE(ps[0].fontSize, 20.0);
        QCOMPARE(ps[0].style.size, 20.0);
        QCOMPARE(ps[1].indent, 40.0); // inherited by the p
        QCOMPARE(ps[2].indent, 0.0);  // the rest of the div's text is no first line
    }

    void sameStyleTextIsOneRun()
    {
        const QList<BlockItem> ps = paragraphs(parseDocument(xhtml("<p><span>a</span> <span>b</span><i>c</i></p>"), "p{margin:0}"));
        QCOMPARE(ps[0].runs.size(), 2);
        QCOMPARE(ps[0].runs[0].text, QStringLiteral("a b"));
    }

    // Nesting far deeper than any book is flattened: no recursion, every letter of text kept.
    void deepNesting()
    {
        const int depth = 100000;
        QString body;
        body.reserve(depth * 12);
        for (int i = 0; i < depth; ++i)
            body += QStringLiteral("<div>x");
        for (int i = 0; i < depth; ++i)
            body += QStringLiteral("</div>");
        const QList<ContentChunk> chunks = parseDocument(xhtml(body), "div{border-left:1px solid}", DocumentChunkBuilder::kReaderBudget);
        QVERIFY(balanced(chunks));
        QCOMPARE(texts(chunks).join(QString()).count(u'x'), depth);
    }

    void fictionBook()
    {
        const QList<ContentChunk> chunks = parseFb2(fb2(
            "<body><title><p>Book</p></title>"
            "<section><title><p>Chapter</p></title>"
            "<epigraph><p>Motto</p><text-author>Sage</text-author></epigraph>"
            "<p>One <emphasis>two</emphasis> <strong>three</strong> <strikethrough>four</strikethrough>"
            " H<sub>2</sub>O x<sup>2</sup> <code>c</code> <a l:href=\"#n1\" type=\"note\">[1]</a></p>"
            "<empty-line/>"
            "<p>Before<empty-line/>after</p>"
            "<image l:href=\"#i.png\"/>"
            "<poem><stanza><v>Line one</v><v>Line two</v></stanza></poem>"
            "<cite><p>Quoted</p></cite>"
            "<subtitle>Sub</subtitle>"
            "<table><tr><td>cell</td></tr></table>"
            "<section><title><p>Deeper</p></title><p>Deep <image xlink:href=\"#i.png\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"/></p></section>"
            "</section></body>"
            "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>Note</p></section></body>"));
        QVERIFY(balanced(chunks));
        const QList<BlockItem> ps = paragraphs(chunks);
        QCOMPARE(texts(chunks), QStringList({ "Book", "Chapter", "Motto", "Sage", "One two three four H2O x2 c [1]", "\u00A0", "Before", "\u00A0", "after", "[img]",
                                              "Line one", "Line two", "Quoted", "Sub", "cell", "Deeper", "Deep [img]", "1", "Note" }));
        // Titles: bold, centred, larger the shallower their section.
        QCOMPARE(ps[0].style.weight, 700);
        QCOMPARE(int(ps[0].align), int(TextAlign::Center));
        QVERIFY(ps[0].fontSize > ps[1].fontSize);
        QVERIFY(ps[1].fontSize > ps[15].fontSize);
        QVERIFY(ps[15].fontSize > 16);
        QCOMPARE(ps[17].fontSize, 16.0); // note numbers are not headings
        QVERIFY(ps[2].style.italic);
        QCOMPARE(int(ps[3].align), int(TextAlign::Right));
        // Inline vocabulary.
        const QList<InlineRun>& runs = ps[4].runs;
        auto run = [&](const QString& text) {
            for (const InlineRun& r : runs) {
                if (r.text == text)
                    return r;
            }
            return InlineRun();
        };
        QVERIFY(ps[4].indent > 0);
        QVERIFY(run("two").style.italic);
        QCOMPARE(run("three").style.weight, 700);
        QVERIFY(run("four").style.lineThrough);
        QVERIFY(run("2").style.baselineShift < 0);
        QCOMPARE(run("c").style.families, QStringList { "monospace" });
        QVERIFY(run("[1]").style.link);
        QVERIFY(run("[1]").style.baselineShift > 0);
        // Images by id, as the FB2 container names its binaries.
        const QList<InlineRun> imgs = imageRuns(chunks);
        QCOMPARE(imgs.size(), 2);
        QCOMPARE(imgs[0].url, ImageUrl::build("fb2", "i.png", bookPath));
        QCOMPARE(imgs[1].url, imgs[0].url);
        QCOMPARE(int(ps[9].align), int(TextAlign::Center));
        // Verse lines are their own paragraphs, not indented.
        QCOMPARE(ps[10].indent, 0.0);
    }

    void fictionBookSectionDepth()
    {
        // The reader may hand over a section with its depth; its title is sized by that depth.
        QDomDocument document;
        QVERIFY(XmlDomParser::parse(fb2("<body><section><section><title><p>T</p></title></section></section></body>"), &document));
        const QDomElement inner = document.documentElement().firstChildElement("body").firstChildElement().firstChildElement();
        auto titleSize = [&](int depth) {
            const QList<ContentChunk> chunks = HtmlBlockParser::parseChunks(inner, "s", 512, ParseParams(), nullptr, "fb2", bookPath, "", depth);
            return paragraphs(chunks).value(0).fontSize;
        };
        QVERIFY(titleSize(1) > titleSize(2));
        QVERIFY(titleSize(2) > titleSize(5));
        QCOMPARE(titleSize(5), titleSize(9));
    }

    void textForm_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("bare text gets a paragraph") << "Hello <b>world</b> &amp; all" << QStringList { "Hello world & all" };
        QTest::newRow("html entities") << "<p>a&nbsp;b &mdash; c</p>" << QStringList { "a\u00A0b \u2014 c" };
        QTest::newRow("fragment of paragraphs") << "<p>a</p><p>b</p>" << QStringList { "a", "b" };
        QTest::newRow("whole document") << xhtml("<h1>T</h1><p>x</p>") << QStringList { "T", "x" };
        QTest::newRow("broken xml keeps every word") << "<p>One <b>two</p><p>three & four</i> five<p>six < seven"
                                                     << QStringList { "One two", "three & four five", "six < seven" };
        // Not well-formed: read as a browser reads HTML.
        QTest::newRow("broken document") << xhtml("<p>a</p><p>b<br>c</p><div>d") << QStringList { "a", "b|c", "d" };
        QTest::newRow("comments and styles dropped") << "<p>a<!-- hidden --></p><style>p{}</style><p>b<i>" << QStringList { "a", "b" };
        QTest::newRow("unclosed comment runs to the end") << "<p>a <!-- b</p></i>" << QStringList { "a" };
        QTest::newRow("numeric references") << "<p>&#233;&#x41;&#X42;</p><i>" << QStringList { "\u00E9AB" };
        QTest::newRow("reference to no character") << "<p>&#0;</p><i>" << QStringList { "\uFFFD" };
    }
    void textForm()
    {
        QFETCH(QString, html);
        QFETCH(QStringList, texts);
        const QList<ContentChunk> chunks = HtmlBlockParser::parseChunks(html, "t", DocumentChunkBuilder::kReaderBudget, ParseParams());
        QCOMPARE(::texts(chunks), texts);
        QVERIFY(balanced(chunks));
        for (const ContentChunk& chunk : chunks)
            QCOMPARE(chunk.id, QStringLiteral("t"));
    }

    // The last resort for markup no parser reads: every word kept, tags and comments dropped.
    void plainTextForm_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("blocks cut paragraphs") << "<p>a</p><p>b<br>c</p><div>d" << QStringList { "a", "b", "c", "d" };
        QTest::newRow("comments and styles dropped") << "<p>a<!-- hidden --></p><style>p{}</style><p>b<i>" << QStringList { "a", "b" };
        QTest::newRow("unclosed comment is text") << "<p>a <!-- b</p></i>" << QStringList { "a <!-- b" };
        QTest::newRow("unclosed comments and sections") << "<p>a <!-- b <![CDATA[ c <!-- d <? e" << QStringList { "a <!-- b <![CDATA[ c <!-- d <? e" };
        QTest::newRow("numeric references") << "<p>&#233;&#x41;&#X42;</p>" << QStringList { "\u00E9AB" };
        QTest::newRow("reference to no character") << "<p>&#0;</p>" << QStringList { "\uFFFD" };
    }
    void plainTextForm()
    {
        QFETCH(QString, markup);
        QFETCH(QStringList, texts);
        QCOMPARE(::texts(HtmlBlockParser::plainTextChunks(markup, "t", DocumentChunkBuilder::kReaderBudget, ParseParams())), texts);
    }

    void parseGivesOneChunkOfBlocks()
    {
        QString html;
        for (int i = 0; i < 50; ++i)
            html += QStringLiteral("<p>%1</p>").arg(QString(100, u'w'));
        QCOMPARE(HtmlBlockParser::parse(html, ParseParams()).size(), 150); // each p a container of one paragraph
        QCOMPARE(HtmlBlockParser::parseChunks(html, "x", 512, ParseParams()).size() > 5, true);
    }

    void nullRoot()
    {
        QVERIFY(HtmlBlockParser::parseChunks(QDomElement(), "x", 512, ParseParams(), nullptr, "epub", bookPath, "", 1).isEmpty());
        QVERIFY(HtmlBlockParser::parseChunks(QString(), "x", 512, ParseParams()).isEmpty());
    }

    // A chapter of a novel as a book would have it, against its style sheet.
    void realisticChapter()
    {
        QFile chapter(QStringLiteral(VELLORA_TEST_DATA "/chapter.xhtml"));
        QFile style(QStringLiteral(VELLORA_TEST_DATA "/chapter.css"));
        QVERIFY(chapter.open(QIODevice::ReadOnly));
        QVERIFY(style.open(QIODevice::ReadOnly));
        const QList<ContentChunk> chunks = parseDocument(QString::fromUtf8(chapter.readAll()), QString::fromUtf8(style.readAll()),
                                                         DocumentChunkBuilder::kReaderBudget);
        QVERIFY(balanced(chunks));
        const QList<BlockItem> ps = paragraphs(chunks);
        const QStringList all = texts(chunks);
        QCOMPARE(all.size(), 15);
        QCOMPARE(all[0], QStringLiteral("Chapter I"));
        QVERIFY(ps[0].style.smallCaps);
        QCOMPARE(int(ps[0].align), int(TextAlign::Center));
        QCOMPARE(all[1], QStringLiteral("The Harbour"));
        QVERIFY(ps[1].style.italic);
        QCOMPARE(ps[0].style.families.value(0), QStringLiteral("Libre Baskerville"));
        // Indents follow the sibling selectors: none after the heading, the first child or a rule.
        QCOMPARE(ps[1].indent, 0.0);
        QCOMPARE(ps[2].indent, 0.0);
        QCOMPARE(ps[4].indent, 16.0);
        QVERIFY(ps[4].runs.last().style.baselineShift > 0);
        QVERIFY(ps[4].runs.last().style.link);
        QCOMPARE(int(ps[3].align), int(TextAlign::Right));
        QCOMPARE(all[6], QStringLiteral("[img]"));
        const InlineRun image = imageRuns(chunks).value(0);
        QCOMPARE(image.url, ImageUrl::build("epub", "OEBPS/images/harbour.jpg", bookPath));
        QCOMPARE(image.width, 600.0);
        QCOMPARE(image.maxWidth, 600.0);
        QCOMPARE(ps[10].marker, QStringLiteral("2. "));
        QCOMPARE(all[12], QStringLiteral("Whereof one cannot speak,|thereof one must be silent."));
        QCOMPARE(int(ps[12].align), int(TextAlign::Left));
        QCOMPARE(ps[13].indent, 0.0);
        QCOMPARE(ps[14].marker, QStringLiteral("1. "));
        QVERIFY(all[14].contains(QStringLiteral("lighthouse")));
        QVERIFY(shape(chunks).contains(u'-'));
        for (const BlockItem& p : ps)
            QVERIFY(!p.style.colour.isValid()); // the @supports block tests a property this engine does not read
    }
};

QTEST_GUILESS_MAIN(TestHtmlBlockParser)
#include "tst_htmlblockparser.moc"
