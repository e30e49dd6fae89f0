// Tables, formulas and ruby from markup to lines: what the parser makes of them, and where the
// fixed-advance font (8 px a character at 16 px) breaks them.

#include "ChunkFixture.h"
#include "ChunkLayoutDump.h"
#include "html/HtmlBlockParser.h"

#include <QTest>

namespace {

const QString Gap = QStringLiteral("\u00A0\u2002\u2502\u2002 "); // between two cells
const QString GapAtEnd = Gap.chopped(1);           // the space is the break
const QString Joiner = QStringLiteral("\u2060");

// A paragraph's runs: *bold*, _{lowered} and ^{raised} (smaller) runs, "|" for a line break.
QString dump(const BlockItem& paragraph)
{
    QString out;
    for (const InlineRun& run : paragraph.runs) {
        if (run.kind == InlineRun::LineBreak) {
            out += u'|';
            continue;
        }
        QString text = run.text;
        if (run.style.weight >= 700)
            text = u'*' + text + u'*';
        if (run.style.baselineShift != 0) {
            if (run.style.size >= paragraph.style.size)
                return QStringLiteral("a shifted run is not smaller");
            text = (run.style.baselineShift < 0 ? QStringLiteral("_{") : QStringLiteral("^{")) + text + u'}';
        }
        out += text;
    }
    return out;
}

QList<BlockItem> paragraphsOf(const QList<BlockItem>& blocks)
{
    QList<BlockItem> out;
    for (const BlockItem& block : blocks) {
        if (block.kind == BlockItem::Paragraph)
            out << block;
    }
    return out;
}

} // namespace

class TestStructuredText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chapters_data();
    void chapters();
    void wrappedRowsHangTheirContinuation_data();
    void wrappedRowsHangTheirContinuation();
};

void TestStructuredText::chapters_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("3 x 3 table with a header row and a caption")
        << "<table><caption>Sizes</caption><tr><th>Name</th><th>Size</th><th>Kind</th></tr>"
           "<tr><td>ab</td><td> 1 </td><td>x</td></tr><tr><td>cd</td><td>22</td><td>y</td></tr></table>"
        << 400.0
        << QStringList{"Sizes", "*Name*" + Gap + "*Size*" + Gap + "*Kind*", "ab" + Gap + "1" + Gap + "x",
                       "cd" + Gap + "22" + Gap + "y"}
        << QStringList{"Sizes", "Name" + Gap + "Size" + Gap + "Kind", "ab" + Gap + "1" + Gap + "x", "cd" + Gap + "22" + Gap + "y"};

    // Spans, nested tables, blocks and breaks inside cells, empty cells at the end: one row, in order.
    QTest::newRow("colspan, nested table and blocks in cells")
        << "<table><tr><td colspan=\"2\">a</td><td><table><tr><td>b</td><td>c</td></tr><tr><td>d</td></tr></table></td>"
           "<td><p>e</p><p>f<br/>g</p></td><td></td><td> \u00A0 </td></tr></table>"
        << 400.0
        << QStringList{"a" + Gap + "b" + Gap + "c" + Gap + "d" + Gap + "e f g"}
        << QStringList{"a" + Gap + "b" + Gap + "c" + Gap + "d" + Gap + "e f g"};

    // A row too long for the column wraps after a gap, never before one.
    QTest::newRow("long row wraps in cell order")
        << "<table><tr><td>aaaa</td><td>bbbb</td><td>cccc</td></tr></table>" << 140.0
        << QStringList{"aaaa" + Gap + "bbbb" + Gap + "cccc"}
        << QStringList{"aaaa" + Gap + "bbbb" + GapAtEnd, "cccc"};

    QTest::newRow("matrix in MathML")
        << "<p>A = <math><mfenced open=\"[\" close=\"]\"><mtable><mtr><mtd><mn>1</mn></mtd><mtd><mo>\u2212</mo><mn>2</mn></mtd></mtr>"
           "<mtr><mtd><mn>3</mn></mtd><mtd><mn>4</mn></mtd></mtr></mtable></mfenced></math></p>"
        << 400.0
        << QStringList{"A = [1" + Gap + "\u22122|3" + Gap + "4]"}
        << QStringList{"A = [1" + Gap + "\u22122", "3" + Gap + "4]"};

    // Aligned equations: relations spaced, signs not; empty cells at a row's end and empty rows dropped.
    QTest::newRow("aligned equations in MathML")
        << "<p><math><mtable><mtr><mtd><msub><mi>x</mi><mn>1</mn></msub></mtd><mtd><mo>=</mo><mo>\u2212</mo><mn>2</mn>"
           "<mo>\u2212</mo><mi>y</mi><mspace width=\"1em\"/></mtd><mtd/></mtr><mtr><mtd/><mtd><mspace width=\"1em\"/></mtd></mtr>"
           "<mtr><mtd><mi>z</mi></mtd><mtd><mo>=</mo><mn>0</mn><mspace width=\"1em\"/></mtd><mtd><mn>1</mn></mtd></mtr></mtable></math></p>"
        << 400.0
        << QStringList{"x_{1}" + Gap + "= \u22122 \u2212 y|z" + Gap + "= 0" + Gap + "1"}
        << QStringList{"x1" + Gap + "= \u22122 \u2212 y", "z" + Gap + "= 0" + Gap + "1"};

    QTest::newRow("fraction with a subscript")
        << "<p><math><mi>y</mi><mo>=</mo><mfrac><mrow><msub><mi>x</mi><mn>1</mn></msub><mo>+</mo><mn>1</mn></mrow>"
           "<mn>2</mn></mfrac><mo>,</mo><msqrt><mi>z</mi></msqrt><mo>,</mo><msup><mi>e</mi><mrow><mo>-</mo><mi>t</mi></mrow></msup></math></p>"
        << 400.0 << QStringList{"y = (x_{1} + 1)/2, \u221Az, e^{-t}"} << QStringList{"y = (x1 + 1)/2, \u221Az, e-t"};

    QTest::newRow("fences and separators")
        << "<p><math><mi>f</mi><mfenced><mi>a</mi><mi>b</mi></mfenced><mo>\u2208</mo><mfenced open=\"{\" close=\"}\" separators=\";\">"
           "<mn>1</mn><mn>2</mn></mfenced></math></p>"
        << 400.0 << QStringList{"f(a, b) \u2208 {1; 2}"} << QStringList{"f(a, b) \u2208 {1; 2}"};

    QTest::newRow("block formula is a paragraph of its own")
        << "<p>a <math display=\"block\"><mi>x</mi></math> b</p>" << 400.0 << QStringList{"a", "x", "b"}
        << QStringList{"a", "x", "b"};

    QTest::newRow("deeply nested formula keeps its text")
        << "<p><math>" + QString("<mrow>").repeated(300) + "<mi>x</mi><mo>+</mo><mn>1</mn>" + QString("</mrow>").repeated(300)
               + "</math></p>"
        << 400.0 << QStringList{"x+1"} << QStringList{"x+1"};

    // The markup is set wherever it can be; an alttext or an annotation stands in only for markup
    // that sets no text (content markup, an empty presentation).
    QTest::newRow("math markup over alttext and annotation")
        << "<p><math alttext=\"x squared\"><msup><mi>x</mi><mn>2</mn></msup></math>; "
           "<math><semantics><msup><mi>y</mi><mn>2</mn></msup><annotation encoding=\"application/x-tex\">y^2</annotation></semantics></math>; "
           "<math alttext=\"Alternative text not available\"><msup><mi>z</mi><mn>2</mn></msup></math></p>"
        << 400.0 << QStringList{"x^{2}; y^{2}; z^{2}"} << QStringList{"x2; y2; z2"};
    QTest::newRow("alttext and annotation where the markup sets nothing")
        << "<p><math alttext=\"a plus b\"><apply><plus/><ci>a</ci><ci>b</ci></apply></math>; "
           "<math><semantics><annotation-xml encoding=\"MathML-Content\"><apply><ci>c</ci></apply></annotation-xml>"
           "<annotation encoding=\"application/x-tex\">c^2</annotation></semantics></math>; "
           "<math alttext=\"d\"><mrow><mspace width=\"1em\"/></mrow></math></p>"
        << 400.0 << QStringList{"a plus b; c^2; d"} << QStringList{"a plus b; c^2; d"};

    // Matrices side by side: line i holds row i of each, never the last row of one with the
    // first of the next.
    const QString matrixAB = "<mfenced open=\"[\" close=\"]\"><mtable><mtr><mtd><mi>a</mi></mtd><mtd><mi>b</mi></mtd></mtr>"
                             "<mtr><mtd><mi>c</mi></mtd><mtd><mi>d</mi></mtd></mtr></mtable></mfenced>";
    const QString matrixEF = "<mfenced open=\"[\" close=\"]\"><mtable><mtr><mtd><mi>e</mi></mtd></mtr>"
                             "<mtr><mtd><mi>f</mi></mtd></mtr><mtr><mtd><mi>g</mi></mtd></mtr></mtable></mfenced>";
    QTest::newRow("two bare matrices next to each other in one row")
        << "<p><math><mrow><mtable><mtr><mtd><mn>1</mn></mtd><mtd><mn>2</mn></mtd></mtr><mtr><mtd><mn>3</mn></mtd>"
           "<mtd><mn>4</mn></mtd></mtr></mtable><mtable><mtr><mtd><mn>5</mn></mtd></mtr><mtr><mtd><mn>6</mn></mtd></mtr>"
           "</mtable></mrow></math></p>"
        << 400.0 << QStringList{"1" + Gap + "2\u2003 5|3" + Gap + "4\u2003 6"}
        << QStringList{"1" + Gap + "2\u2003 5", "3" + Gap + "4\u2003 6"};
    QTest::newRow("a product of fenced matrices of unequal height")
        << "<p><math><mi>M</mi><mo>=</mo>" + matrixAB + matrixEF + "<mo>,</mo></math></p>"
        << 400.0
        << QStringList{"M = [a" + Gap + "b\u2003 [e,|c" + Gap + "d]\u2003 f|g]"}
        << QStringList{"M = [a" + Gap + "b\u2003 [e,", "c" + Gap + "d]\u2003 f", "g]"};

    // Eight ideographs fill a line of 64; the reading is set at 60 %. The first line is justified,
    // so its ideographs stand apart.
    QTest::newRow("ruby at a line end stays whole")
        << QStringLiteral("<p>\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D<ruby>\u7AAE\u5C48<rt>\u304D\u3085\u3046\u304F\u3064</rt></ruby>\u3060</p>")
        << 64.0
        << QStringList{QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u7AAE") + Joiner + u'\u5C48' + Joiner + u'('
                       + Joiner + QStringLiteral("\u304D\u2060\u3085\u2060\u3046\u2060\u304F\u2060\u3064") + Joiner + u')' + u'\u3060'}
        << QStringList{QStringLiteral("\u4E00 \u4E8C \u4E09 \u56DB \u4E94 \u516D"),
                       QStringLiteral("\u7AAE\u5C48(\u304D\u3085\u3046\u304F\u3064)\u3060")};

    QTest::newRow("ruby fallback parentheses of the book")
        << QStringLiteral("<p>a <ruby><b>New York</b> <rp>\uFF08</rp><rt>NY</rt><rp>\uFF09</rp></ruby> b</p>") << 400.0
        << QStringList{QStringLiteral("a *New\u00A0York*") + Joiner + u'\uFF08' + Joiner + "NY" + Joiner + u'\uFF09' + " b"}
        << QStringList{QStringLiteral("a New\u00A0York\uFF08NY\uFF09 b")};
}

void TestStructuredText::chapters()
{
    QFETCH(QString, body);
    QFETCH(double, width);
    QFETCH(QStringList, paragraphs);
    QFETCH(QStringList, lines);

    const QList<BlockItem> blocks = HtmlBlockParser::parse(QStringLiteral("<body>") + body + QStringLiteral("</body>"), ParseParams());
    QStringList dumps;
    for (const BlockItem& paragraph : paragraphsOf(blocks))
        dumps << dump(paragraph);
    QCOMPARE(dumps, paragraphs);

    const ChunkLayout layout = ChunkFixture::layout(ChunkFixture::chunk(blocks), width);
    QStringList texts;
    for (const LayoutLine& line : layout.lines)
        texts << ChunkLayoutDump::lineText(layout, line);
    QCOMPARE(texts, lines);
}

// A table row that wraps goes on 1.5 em in from the side it starts on; its first line, like a
// paragraph's, starts at the column's edge, so a new row is told from a continued one.
void TestStructuredText::wrappedRowsHangTheirContinuation_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("rightToLeft");
    QTest::addColumn<QList<double>>("insets"); // of each line from the side it starts on, in px

    const QString rows = "<tr><td>aaaa</td><td>bbbb</td><td>cccc</td></tr><tr><td>dd</td></tr>";
    QTest::newRow("left to right") << "<p>x</p><table>" + rows + "</table>" << false << QList<double>{0, 0, 24, 0};
    QTest::newRow("right to left") << "<div dir=\"rtl\"><p>x</p><table>" + rows + "</table></div>" << true
                                   << QList<double>{0, 0, 24, 0};
    QTest::newRow("text-indent of the row's cells stays on its first line")
        << "<p>x</p><table><tr style=\"text-indent:8px\"><td>aaaa</td><td>bbbb</td><td>cc</td></tr></table>" << false
        << QList<double>{0, 8, 24};
}

void TestStructuredText::wrappedRowsHangTheirContinuation()
{
    QFETCH(QString, body);
    QFETCH(bool, rightToLeft);
    QFETCH(QList<double>, insets);

    constexpr double width = 140;
    const QList<BlockItem> blocks = HtmlBlockParser::parse(QStringLiteral("<body>") + body + QStringLiteral("</body>"), ParseParams());
    const ChunkLayout layout = ChunkFixture::layout(ChunkFixture::chunk(blocks), width);
    QList<double> found;
    for (const LayoutLine& line : layout.lines) {
        QVERIFY(!line.runs.isEmpty());
        found << (rightToLeft ? width - (line.runs.last().x + line.runs.last().width) : line.runs.first().x);
    }
    QCOMPARE(found, insets);
}

QTEST_GUILESS_MAIN(TestStructuredText)
#include "tst_structuredtext.moc"
