#include "ChunkFixture.h"
#include "ChunkLayoutDump.h"
#include "ChunkLayoutEngine.h"

#include <QTest>

using namespace ChunkFixture;

namespace {

constexpr double Eps = 1e-6;

class FakeResolver final : public IBookImageResolver {
public:
    QImage resolveImage(const QString&) override { return {}; }
    QSizeF imageSize(const QString& url) override
    {
        ++calls;
        return sizes.value(url, QSizeF(-1, -1));
    }
    QHash<QString, QSizeF> sizes;
    int calls = 0;
};

// The text of a layout, line by line, without geometry.
QStringList texts(const ChunkLayout& layout)
{
    QStringList out;
    for (const LayoutLine& line : layout.lines)
        out << ChunkLayoutDump::lineText(layout, line);
    return out;
}

BoxStyle framedBox()
{
    BoxStyle box;
    box.marginTop = box.marginBottom = 8;
    box.marginLeft = 8;
    box.borderTop = box.borderBottom = box.borderLeft = box.borderRight = 2;
    box.paddingTop = box.paddingBottom = box.paddingLeft = box.paddingRight = 4;
    box.background = QColor(Qt::yellow);
    box.borderColour = QColor(Qt::blue);
    return box;
}

} // namespace

class TestChunkLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goldenDumps_data();
    void goldenDumps();
    void lineGeometry_data();
    void lineGeometry();
    void heightGrowsWithFontSizeAndShrinksWithWidth();
    void breakOpportunities_data();
    void breakOpportunities();
    void looseLineIsStretched_data();
    void looseLineIsStretched();
    void looseLinesSpaceTheirLetters_data();
    void looseLinesSpaceTheirLetters();
    void ideographicLinesAreJustified();
    void dictionaryScriptsBreakBetweenWords_data();
    void overlongWordsBreakAnywhere_data();
    void overlongWordsBreakAnywhere();
    void dictionaryScriptsBreakBetweenWords();
    void splitBoxDrawnAsOne();
    void boxesInsetAndCollapseMargins();
    void images_data();
    void images();
    void imageOnlyLineIsExactlyAsTallAsItsImage();
    void stylesReachTheRuns();
    void raisedRunGrowsTheLine();
    void decorationsRunAcrossSpaces();
    void bookSizesScaleWithTheReaderFontSize();
    void lineHeightOfTheBookAndOfTheReader();
    void alignment_data();
    void alignment();
    void markerAndIndentStartTheFirstLine();
    void unbalancedAndEmptyChunks();
    void ruleStandsOnALine();
    void otherFontSizeIsMeasuredAgain();
    void tileEdgesFallBetweenLines();
    void tileEdgesKeepToTheLimit_data();
    void tileEdgesKeepToTheLimit();
    void metaTypeAndEquality();
};

void TestChunkLayout::goldenDumps_data()
{
    QTest::addColumn<ContentChunk>("content");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("expected");

    // 8 px per character and space; spaces stretch by 4 and shrink by 8/3.
    QTest::newRow("justified paragraph")
        << chunk({paragraph("aaa bb cccc dd eeeee f")}) << 100.0
        << QStringList{"chunk height=32.00 width=100.00", "y=0.00 h=16.00 x=0.00 w=100.00 |aaa bb cccc|",
                       "y=16.00 h=16.00 x=0.00 w=80.00 |dd eeeee f|"};

    BoxStyle box;
    box.marginTop = box.marginBottom = box.marginLeft = 8;
    box.borderLeft = 2;
    box.paddingLeft = 4;
    box.background = QColor(Qt::yellow);
    QTest::newRow("box, rule and centred line")
        << chunk({containerStart(box), paragraph("aaa bb cccc dd eeeee f"), containerEnd(box), rule(Qt::red),
                  paragraph("x y", TextAlign::Center)})
        << 120.0
        << QStringList{"chunk height=80.00 width=120.00",
                       "y=8.00 h=16.00 x=14.00 w=106.00 |aaa bb cccc dd|",
                       "y=24.00 h=16.00 x=14.00 w=56.00 |eeeee f|",
                       "y=48.00 h=16.00 x=0.00 w=120.00 ||",
                       "y=64.00 h=16.00 x=48.00 w=24.00 |x y|",
                       "rule 0.00,55.50 120.00x1.00 #ffff0000",
                       "box 8.00,8.00 112.00x32.00 bg=#ffffff00 border=none l=2.00 t=0.00 b=0.00 r=0.00"};

    QTest::newRow("line break and an image wider than the column")
        << chunk({paragraph({text("one"), lineBreak(), text("two three"), image("img", 300, 150)})}) << 100.0
        << QStringList{"chunk height=82.00 width=100.00", "y=0.00 h=16.00 x=0.00 w=24.00 |one|",
                       "y=16.00 h=16.00 x=0.00 w=100.00 |two three|",
                       "y=32.00 h=50.00 x=0.00 w=100.00 |[image img]|", "image 0.00,32.00 100.00x50.00 img"};

    BlockItem pre = paragraph("  int x;\n\tif (a)  b();\n\nend");
    pre.preformatted = true;
    QTest::newRow("preformatted keeps indentation, tabs and blank lines")
        << chunk({pre}) << 400.0
        << QStringList{"chunk height=64.00 width=400.00", "y=0.00 h=16.00 x=0.00 w=64.00 |  int x;|",
                       "y=16.00 h=16.00 x=0.00 w=160.00 |        if (a) b();|",
                       "y=32.00 h=16.00 x=0.00 w=0.00 ||", "y=48.00 h=16.00 x=0.00 w=24.00 |end|"};
}

void TestChunkLayout::goldenDumps()
{
    QFETCH(ContentChunk, content);
    QFETCH(double, width);
    QFETCH(QStringList, expected);
    QCOMPARE(ChunkLayoutDump::full(layout(content, width)), expected);
}

void TestChunkLayout::lineGeometry_data()
{
    QTest::addColumn<ContentChunk>("content");
    QTest::addColumn<double>("width");
    const QString prose = words(120);
    for (double width : {90.0, 150.0, 333.0, 600.0}) {
        QTest::addRow("prose at %d", int(width)) << chunk({paragraph(prose)}) << width;
        QTest::addRow("three paragraphs at %d", int(width))
            << chunk({paragraph(words(30)), paragraph(words(45)), paragraph(words(7))}) << width;
    }
    QTest::newRow("unbreakable word wider than the column")
        << chunk({paragraph("a b " + QString(30, u'x') + " c d e f g h")}) << 100.0;
    QTest::newRow("boxed prose") << chunk({containerStart(framedBox()), paragraph(prose), containerEnd(framedBox())})
                                 << 200.0;
}

// No line is wider than its column unless it holds a single box that is; a justified line that
// does not end its paragraph and has spaces to stretch fills its column exactly, however loose;
// lines follow one another downwards; fonts carry a pixel size.
void TestChunkLayout::lineGeometry()
{
    QFETCH(ContentChunk, content);
    QFETCH(double, width);
    const ChunkLayoutEngine engine = fixedEngine();
    QList<KnuthPlass::Line> breaks; // one per layout line: the rows hold no rules
    const LineBreakObserver observer = [&](const PreparedParagraph&, const QList<KnuthPlass::Item>&, double,
                                           const QList<KnuthPlass::Line>& lines) { breaks += lines; };
    LayoutParams params;
    params.width = width;
    const ChunkLayout result = engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params, observer);
    QVERIFY(!result.lines.isEmpty());
    QCOMPARE(breaks.size(), result.lines.size());
    const double left = result.boxes.isEmpty() ? 0 : result.boxes[0].rect.left() + 2 + 4;
    const double right = result.boxes.isEmpty() ? width : result.boxes[0].rect.right() - 2 - 4;
    double previousBottom = 0;
    int filled = 0;
    for (qsizetype i = 0; i < result.lines.size(); ++i) {
        const LayoutLine& line = result.lines[i];
        const QString text = ChunkLayoutDump::lineText(result, line);
        QVERIFY2(line.y >= previousBottom - Eps, qPrintable(text));
        previousBottom = line.y + line.height;
        QVERIFY(line.x >= left - Eps);
        const bool singleWideBox = line.runs.size() == 1 && line.runs[0].width > right - left;
        if (!singleWideBox)
            QVERIFY2(line.x + line.width <= right + Eps, qPrintable(text));
        for (const LayoutRun& run : line.runs)
            QVERIFY(result.styleOf(run).font.pixelSize() > 0);
        const bool last = i + 1 == breaks.size() || breaks[i + 1].start < breaks[i].end;
        const bool adjustable = breaks[i].ratio >= -1 && breaks[i].ratio < 10000; // 10000: nothing to stretch
        if (!last && adjustable) {
            ++filled;
            QCOMPARE(line.x, left);
            QVERIFY2(qAbs(line.x + line.width - right) < Eps, qPrintable(text));
            QVERIFY(qAbs(result.rectOf(line.runs.last()).right() - right) < Eps);
        }
    }
    QVERIFY(filled > 0 || width < 150); // the fill check ran
    QVERIFY(result.height >= previousBottom - Eps);
}

void TestChunkLayout::heightGrowsWithFontSizeAndShrinksWithWidth()
{
    const ContentChunk content = chunk({paragraph(words(200)), paragraph(words(50))});
    double previous = 0;
    for (int fontSize : {10, 16, 24, 40}) {
        const double height = layout(content, 400, fontSize).height;
        QVERIFY2(height > previous, qPrintable(QString::number(fontSize)));
        previous = height;
    }
    previous = 1e12;
    for (double width : {150.0, 300.0, 600.0, 1200.0}) {
        const double height = layout(content, width).height;
        QVERIFY2(height < previous, qPrintable(QString::number(width)));
        previous = height;
    }
}

void TestChunkLayout::breakOpportunities_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("soft hyphen at a break") << QStringLiteral("go extra\u00ADordinary") << 80.0
                                            << QStringList{"go extra-", "ordinary"};
    QTest::newRow("soft hyphen elsewhere") << QStringLiteral("go extra\u00ADordinary") << 400.0
                                           << QStringList{"go extraordinary"};
    QTest::newRow("after a dash inside a word") << QStringLiteral("so well-known") << 64.0
                                                << QStringList{"so well-", "known"};
    // Too wide for the line, the word breaks where it must, not after its leading dash.
    QTest::newRow("not after a leading dash") << QStringLiteral("-known") << 40.0 << QStringList{"-know", "n"};
    QTest::newRow("zero-width space") << QStringLiteral("aaaa\u200Bbbbb") << 40.0 << QStringList{"aaaa", "bbbb"};
    QTest::newRow("no-break space holds") << QStringLiteral("a b\u00A0c") << 32.0
                                          << QStringList{"a", QStringLiteral("b\u00A0c")};
    // Ten characters fit a line of 80; the eleventh, a full stop, may not start the next line.
    QTest::newRow("ideographs break anywhere")
        << QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341\u767E\u5343")
        << 80.0
        << QStringList{QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341"),
                       QStringLiteral("\u767E\u5343")};
    QTest::newRow("no line starts with a full stop")
        << QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341\u3002\u5343")
        << 80.0
        << QStringList{QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D"),
                       QStringLiteral("\u5341\u3002\u5343")};
    QTest::newRow("word joiner holds ideographs together")
        << QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D\u5341\u2060\u767E\u5343")
        << 80.0
        << QStringList{QStringLiteral("\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03\u516B\u4E5D"),
                       QStringLiteral("\u5341\u767E\u5343")};
    QTest::newRow("word joiner keeps the break after a dash before it") << QStringLiteral("so well-known\u2060\u2014") << 64.0
                                                                       << QStringList{"so well-", QStringLiteral("known\u2014")};
    QTest::newRow("word joiner after a dash holds") << QStringLiteral("so well-\u2060known") << 80.0
                                                    << QStringList{"so", "well-known"};
    QTest::newRow("stray tab and newline are spaces") << QStringLiteral("a\tb\nc") << 400.0
                                                      << QStringList{"a b c"};
}

// The soft hyphen, the zero-width space and the word joiner never reach a run; the hyphen is
// drawn only at a break.
void TestChunkLayout::breakOpportunities()
{
    QFETCH(QString, content);
    QFETCH(double, width);
    QFETCH(QStringList, expected);
    const ChunkLayout result = layout(chunk({paragraph(content, TextAlign::Left)}), width);
    QCOMPARE(texts(result), expected);
    for (const LayoutLine& line : result.lines) {
        for (const LayoutRun& run : line.runs)
            QVERIFY(!result.textOf(run).contains(QChar(0x00AD)) && !result.textOf(run).contains(QChar(0x200B))
                    && !result.textOf(run).contains(QChar(0x2060)));
    }
    if (content.contains(QChar(0x00AD)) && result.lines.size() == 2) // the hyphen's width shows too
        QCOMPARE(result.lines[0].width, 9 * 8.0);
}

// "a" then a word that only fits on the next line: line one can only be justified with gaps far
// beyond the tolerance, and is stretched all the same (a short line would end the paragraph);
// the last line keeps its natural width, and so does a left-aligned loose line.
void TestChunkLayout::looseLineIsStretched_data()
{
    QTest::addColumn<int>("align");
    QTest::addColumn<double>("firstWidth");
    QTest::addColumn<double>("secondWordX");
    // The letters of "a bb" take a twentieth of an em each (0.8 px) of the slack.
    QTest::newRow("justified") << int(TextAlign::Justify) << 100.0 << 100.0 - 2 * 8.8;
    QTest::newRow("left") << int(TextAlign::Left) << 32.0 << 16.0;
}

void TestChunkLayout::looseLineIsStretched()
{
    QFETCH(int, align);
    QFETCH(double, firstWidth);
    QFETCH(double, secondWordX);
    const ChunkLayout result = layout(chunk({paragraph("a bb " + QString(10, u'x'), TextAlign(align))}), 100);
    QCOMPARE(texts(result), (QStringList{"a bb", "xxxxxxxxxx"}));
    QCOMPARE(result.lines[0].width, firstWidth);
    QCOMPARE(result.lines[0].runs[1].x, secondWordX);
    QCOMPARE(result.lines[1].width, 80.0);
}

void TestChunkLayout::looseLinesSpaceTheirLetters_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("letterSpacing"); // of the first line
    QTest::addColumn<double>("spaceWidth");    // between its first two words
    // 8 px a character and space; a space stretches by 4. Spaces grow to twice their width
    // (ratio 2) before the letters share the slack, each up to a twentieth of an em (0.8 px).
    // "aaaa bbbb" (72 px) in 80: ratio 1, the spaces alone take the slack.
    QTest::newRow("well set") << QStringLiteral("aaaa bbbb cccccccccc") << 80.0 << 0.0 << 16.0;
    // "aaaa bbbb" (72 px) in 84: 12 px of slack; the space takes 8 (ratio 2), the 8 letters
    // 0.5 px each.
    QTest::newRow("slightly loose") << QStringLiteral("aaaa bbbb cccccccccc") << 84.0 << 0.5 << 16.0;
    // In 100: 28 px; the space takes 8, the letters 0.8 each (6.4 px), the space the remaining
    // 13.6 px too.
    QTest::newRow("loose line") << QStringLiteral("aaaa bbbb cccccccccccc") << 100.0 << 0.8 << 8.0 + 8.0 + 13.6;
    // Hebrew letters are not spaced; the space takes the slack.
    QTest::newRow("not for Hebrew")
        << QStringLiteral("\u05D0\u05D0\u05D0\u05D0 \u05D1\u05D1\u05D1\u05D1 ") + QString(12, QChar(0x05D2)) << 100.0
        << 0.0 << 36.0;
}

// A justified line too loose for its spaces alone gives its letters a little spacing: the line
// still fills the column, its runs are as wide as their letters spaced, and spaces stop growing.
void TestChunkLayout::looseLinesSpaceTheirLetters()
{
    QFETCH(QString, content);
    QFETCH(double, width);
    QFETCH(double, letterSpacing);
    QFETCH(double, spaceWidth);
    const ChunkLayout result = layout(chunk({paragraph(content)}), width);
    QCOMPARE(result.lines.size(), 2);
    const LayoutLine& first = result.lines.first();
    QCOMPARE(first.runs.size(), 2);
    QCOMPARE(first.letterSpacing, letterSpacing);
    QCOMPARE(first.runs.first().x + first.runs.first().width + spaceWidth + first.runs.last().width, width);
    for (const LayoutRun& run : first.runs)
        QCOMPARE(run.width, run.textLength * (8 + letterSpacing));
    QCOMPARE(result.lines.last().letterSpacing, 0.0);
}

void TestChunkLayout::ideographicLinesAreJustified()
{
    const ChunkLayout result = layout(chunk({paragraph(QString(95, QChar(0x6587)))}), 100);
    QCOMPARE(result.lines.size(), 8); // 12 characters of 8 px to a line of 100
    for (qsizetype i = 0; i + 1 < result.lines.size(); ++i) {
        QCOMPARE(result.lines[i].width, 100.0);
        QCOMPARE(result.rectOf(result.lines[i].runs.last()).right(), 100.0);
    }
    QCOMPARE(result.lines.last().width, 11 * 8.0);
}

void TestChunkLayout::dictionaryScriptsBreakBetweenWords_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("expected");
    // ICU's dictionary words, "|" between them (8 px a character, combining marks too):
    // Thai: ภาษา|ไทย|เป็น|ภาษา|ที่|ไม่มี|การ|เว้น|วรรค|ระหว่าง|คำ
    QTest::newRow("Thai")
        << QStringLiteral("ภาษาไทยเป็นภาษาที่ไม่มีการเว้นวรรคระหว่างคำ") << 100.0
        << QStringList{QStringLiteral("ภาษาไทยเป็น"), QStringLiteral("ภาษาที่ไม่มี"), QStringLiteral("การเว้นวรรค"),
                       QStringLiteral("ระหว่างคำ")};
    // A space between Thai phrases is a space as before.
    QTest::newRow("Thai phrases") << QStringLiteral("ภาษาไทย เป็นภาษา") << 64.0
                                  << QStringList{QStringLiteral("ภาษาไทย"), QStringLiteral("เป็นภาษา")};
    // Lao: ພາສາ|ລາວ|ເປັນ|ພາສາ|ທີ່
    QTest::newRow("Lao") << QStringLiteral("ພາສາລາວເປັນພາສາທີ່") << 64.0
                         << QStringList{QStringLiteral("ພາສາລາວ"), QStringLiteral("ເປັນພາສາ"), QStringLiteral("ທີ່")};
    // Khmer: ភាសាខ្មែរ|គឺជា|ភាសា
    QTest::newRow("Khmer") << QStringLiteral("ភាសាខ្មែរគឺជាភាសា") << 80.0
                           << QStringList{QStringLiteral("ភាសាខ្មែរ"), QStringLiteral("គឺជាភាសា")};
    // Burmese: မြန်မာဘာသာ|စကား|သည်
    QTest::newRow("Burmese") << QStringLiteral("မြန်မာဘာသာစကားသည်") << 88.0
                             << QStringList{QStringLiteral("မြန်မာဘာသာ"), QStringLiteral("စကားသည်")};
}

// Scripts without spaces between words break between dictionary words, with no gap drawn at the
// break; a justified line shares its slack among those breaks in gaps far narrower than a space.
void TestChunkLayout::dictionaryScriptsBreakBetweenWords()
{
    QFETCH(QString, content);
    QFETCH(double, width);
    QFETCH(QStringList, expected);
    const ChunkLayout left = layout(chunk({paragraph(content, TextAlign::Left)}), width);
    QStringList lines;
    for (const LayoutLine& line : left.lines) {
        QString text;
        for (const LayoutRun& run : line.runs)
            text += left.textOf(run);
        lines << text;
        QVERIFY2(line.width <= width, qPrintable(text));
        for (qsizetype r = 1; r < line.runs.size(); ++r) // natural width: the words touch
            QVERIFY(!content.contains(u' ') || line.runs[r].x >= left.rectOf(line.runs[r - 1]).right());
        if (!content.contains(u' ')) {
            for (qsizetype r = 1; r < line.runs.size(); ++r)
                QCOMPARE(line.runs[r].x, left.rectOf(line.runs[r - 1]).right());
        }
    }
    QCOMPARE(lines, expected);

    const ChunkLayout justified = layout(chunk({paragraph(content)}), width);
    QCOMPARE(justified.lines.size(), left.lines.size());
    for (qsizetype i = 0; i + 1 < justified.lines.size(); ++i) {
        const LayoutLine& line = justified.lines[i];
        if (line.runs.size() < 2)
            continue; // one word: nothing to share the slack
        QCOMPARE(justified.rectOf(line.runs.last()).right(), width);
        for (qsizetype r = 1; r < line.runs.size(); ++r)
            QVERIFY(line.runs[r].x - justified.rectOf(line.runs[r - 1]).right() < 8 + 4 * 2 + 1e-9);
    }
}

void TestChunkLayout::overlongWordsBreakAnywhere_data()
{
    QTest::addColumn<QList<BlockItem>>("blocks");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("expected");
    // 8 px a character: 12 to a line of 100.
    QTest::newRow("long URL fills its lines")
        << QList<BlockItem>{paragraph(QStringLiteral("see http://example.org/a/very/long/path end"))} << 100.0
        << QStringList{"see http://e", "xample.org/a", "/very/long/p", "ath end"};
    QTest::newRow("a word that fits a line of its own stays whole")
        << QList<BlockItem>{paragraph(QStringLiteral("a abcdefghijkl b"))} << 100.0
        << QStringList{"a", "abcdefghijkl", "b"};
    // Eleven of the twelve places filled: the next accented letter takes two.
    QTest::newRow("accents stay on their letters")
        << QList<BlockItem>{paragraph(QString(9, u'x') + QStringLiteral("e\u0301").repeated(4))} << 100.0
        << QStringList{QStringLiteral("xxxxxxxxxe\u0301"), QStringLiteral("e\u0301").repeated(3)};
    TextStyle bold;
    bold.weight = 700;
    QTest::newRow("compound of two styles")
        << QList<BlockItem>{paragraph({text(QStringLiteral("Donaudampf")), text(QStringLiteral("schifffahrt"), bold)})}
        << 100.0 << QStringList{"Donaudampfsc", "hifffahrt"};
    BlockItem code = paragraph(QStringLiteral("int x = aVeryLongFunctionName(arg);"));
    code.preformatted = true;
    QTest::newRow("long code line") << QList<BlockItem>{code} << 100.0
                                    << QStringList{"int x = aVer", "yLongFunctio", "nName(arg);"};
    BlockItem hebrew = paragraph(QString(20, QChar(0x05D0)) + QStringLiteral(" ") + QString(3, QChar(0x05D1)));
    hebrew.style.direction = TextDirection::RightToLeft;
    QTest::newRow("right-to-left word") << QList<BlockItem>{hebrew} << 100.0
                                        << QStringList{QString(12, QChar(0x05D0)),
                                                       QString(3, QChar(0x05D1)) + QStringLiteral(" ") + QString(8, QChar(0x05D0))};
}

// A word wider than the column breaks between grapheme clusters so that every piece fits and
// nothing is lost; a word that fits a line of its own is not broken.
void TestChunkLayout::overlongWordsBreakAnywhere()
{
    QFETCH(QList<BlockItem>, blocks);
    QFETCH(double, width);
    QFETCH(QStringList, expected);
    const ChunkLayout result = layout(chunk(blocks), width);
    QCOMPARE(texts(result), expected);
    QString drawn;
    for (const LayoutLine& line : result.lines) {
        for (const LayoutRun& run : line.runs) {
            QVERIFY(result.rectOf(run).right() <= width + 1e-9);
            QVERIFY(run.x >= -1e-9);
            drawn += result.textOf(run);
        }
    }
    QString source;
    for (const BlockItem& block : blocks) {
        for (const InlineRun& run : block.runs)
            source += run.text;
    }
    source.remove(u' ');
    drawn.remove(u' ');
    if (blocks.first().style.direction != TextDirection::RightToLeft)
        QCOMPARE(drawn, source);
}

// A box cut between two chunks: the upper chunk's box reaches its bottom without a bottom edge,
// the lower chunk's box starts at its top without a top edge.
void TestChunkLayout::splitBoxDrawnAsOne()
{
    const BoxStyle box = framedBox();
    BoxStyle upperEnd = box;
    upperEnd.marginBottom = upperEnd.paddingBottom = upperEnd.borderBottom = 0;
    BoxStyle lowerStart = box;
    lowerStart.marginTop = lowerStart.paddingTop = lowerStart.borderTop = 0;
    BlockItem spaced = paragraph(words(20));
    const BoxStyle paragraphMargins = [] {
        BoxStyle margins;
        margins.marginTop = margins.marginBottom = 10;
        return margins;
    }();

    const ChunkLayout upper = layout(chunk({containerStart(box), containerStart(paragraphMargins), spaced,
                                            containerEnd(paragraphMargins), containerEnd(upperEnd)}),
                                     300);
    const ChunkLayout lower = layout(chunk({containerStart(lowerStart), containerStart(paragraphMargins), spaced,
                                            containerEnd(paragraphMargins), containerEnd(box)},
                                           1),
                                     300);
    QCOMPARE(upper.boxes.size(), 1);
    QCOMPARE(lower.boxes.size(), 1);
    const LayoutBox& top = upper.boxes[0];
    const LayoutBox& bottom = lower.boxes[0];
    QCOMPARE(top.rect.top(), 8.0);
    QCOMPARE(top.top, 2.0);
    QCOMPARE(top.bottom, 0.0);
    QCOMPARE(top.rect.bottom(), upper.height);
    QCOMPARE(bottom.rect.top(), 0.0);
    QCOMPARE(bottom.top, 0.0);
    QCOMPARE(bottom.bottom, 2.0);
    QCOMPARE(bottom.rect.bottom() + 8, lower.height + 8); // bottom margin dropped at the chunk's end
    QCOMPARE(top.rect.left(), bottom.rect.left());
    QCOMPARE(top.rect.width(), bottom.rect.width());
    QCOMPARE(top.left, bottom.left);
    QCOMPARE(top.right, bottom.right);
    // The paragraph's own margin shows once, inside the lower half, not at the cut twice.
    QCOMPARE(lower.lines[0].y, 10.0);
    QCOMPARE(upper.lines.last().y + upper.lines.last().height, upper.height);
}

void TestChunkLayout::boxesInsetAndCollapseMargins()
{
    BoxStyle margins;
    margins.marginTop = 16;
    margins.marginBottom = 12;
    const ChunkLayout result = layout(chunk({containerStart(margins), paragraph("one"), containerEnd(margins),
                                             containerStart(margins), paragraph("two"), containerEnd(margins)}),
                                      200);
    QCOMPARE(result.lines.size(), 2);
    QCOMPARE(result.lines[0].y, 16.0);
    QCOMPARE(result.lines[1].y, 16.0 + 16 + 16); // 12 and 16 collapse to 16
    QCOMPARE(result.height, 64.0);               // the trailing 12 is dropped
    QVERIFY(result.boxes.isEmpty());             // margins alone draw nothing

    const BoxStyle framed = framedBox();
    const ChunkLayout boxed =
        layout(chunk({containerStart(framed), paragraph(words(40)), containerEnd(framed)}), 200);
    QCOMPARE(boxed.boxes.size(), 1);
    const LayoutBox& box = boxed.boxes[0];
    QCOMPARE(box.rect, QRectF(8, 8, 192, boxed.lines.last().y + 16 + 6 - 8));
    QCOMPARE(boxed.lines[0].y, 8.0 + 2 + 4);
    QCOMPARE(boxed.lines[0].x, 8.0 + 2 + 4);
    QCOMPARE(boxed.height, box.rect.bottom());
    QCOMPARE(boxed.styleOf(boxed.lines[0].runs[0]).blockBackground.toColor(), QColor(Qt::yellow));
    QCOMPARE(box.borderColour, QColor(Qt::blue));
    QCOMPARE(box.left + box.top + box.bottom + box.right, 8.0);
}

void TestChunkLayout::images_data()
{
    QTest::addColumn<InlineRun>("run");
    QTest::addColumn<QSizeF>("natural");
    QTest::addColumn<QSizeF>("expected");
    QTest::newRow("given size") << image("i", 120, 80) << QSizeF(-1, -1) << QSizeF(120, 80);
    QTest::newRow("wider than the column keeps its aspect") << image("i", 800, 400) << QSizeF(-1, -1)
                                                             << QSizeF(200, 100);
    QTest::newRow("max width") << image("i", 150, 300, 50) << QSizeF(-1, -1) << QSizeF(50, 100);
    QTest::newRow("natural size") << image("i", -1, -1) << QSizeF(60, 30) << QSizeF(60, 30);
    QTest::newRow("width given, natural aspect") << image("i", 100, -1) << QSizeF(60, 30) << QSizeF(100, 50);
    QTest::newRow("height given, natural aspect") << image("i", -1, 90) << QSizeF(60, 30) << QSizeF(180, 90);
    QTest::newRow("unknown: an em square") << image("i", -1, -1) << QSizeF(-1, -1) << QSizeF(16, 16);
}

void TestChunkLayout::images()
{
    QFETCH(InlineRun, run);
    QFETCH(QSizeF, natural);
    QFETCH(QSizeF, expected);
    FakeResolver resolver;
    resolver.sizes.insert(QStringLiteral("i"), natural);
    const ChunkLayout result = layout(chunk({paragraph({run})}), 200, 16, 1.0, &resolver);
    QCOMPARE(result.images.size(), 1);
    QCOMPARE(result.images[0].source, QStringLiteral("i"));
    QCOMPARE(result.images[0].rect.size(), expected);
    QCOMPARE(resolver.calls, run.width > 0 && run.height > 0 ? 0 : 1);
}

void TestChunkLayout::imageOnlyLineIsExactlyAsTallAsItsImage()
{
    InlineRun inverted = image("b", 100, 60);
    inverted.invert = 0.5;
    const ChunkLayout result =
        layout(chunk({paragraph({image("a", 100, 40), inverted}), paragraph("after")}), 150);
    QCOMPARE(texts(result), (QStringList{"[image a]", "[image b]", "after"}));
    QCOMPARE(result.images[0].invert, 0.0);
    QCOMPARE(result.images[1].invert, 0.5); // drawn inverted as the book asks
    QCOMPARE(result.lines[0].height, 40.0);
    QCOMPARE(result.lines[1].height, 60.0);
    QCOMPARE(result.images[1].rect, QRectF(0, 40, 100, 60));
    QCOMPARE(result.height, 116.0);
}

void TestChunkLayout::stylesReachTheRuns()
{
    TextStyle style;
    style.families = QStringList{"monospace", "serif"};
    style.weight = 700;
    style.italic = true;
    style.smallCaps = true;
    style.colour = QColor(Qt::red);
    style.background = QColor(Qt::green);
    style.link = style.underline = style.lineThrough = style.overline = true;
    style.textTransform = TextStyle::Uppercase;
    style.letterSpacing = 2;
    const ChunkLayout result = layout(chunk({paragraph({text("hello", style)})}), 400);
    const LayoutRun& run = result.lines[0].runs[0];
    const LayoutStyle& drawn = result.styleOf(run);
    QCOMPARE(result.textOf(run), QStringLiteral("HELLO"));
    QCOMPARE(run.width, 5 * (8.0 + 2));
    QCOMPARE(drawn.font.families().value(0), QStringLiteral("monospace"));
    QCOMPARE(drawn.font.weight(), QFont::Bold);
    QVERIFY(drawn.font.italic());
    QCOMPARE(drawn.font.capitalization(), QFont::SmallCaps);
    QCOMPARE(drawn.font.pixelSize(), 16);
    QVERIFY(!drawn.font.underline()); // the painter draws decorations itself
    QCOMPARE(drawn.colour.toColor(), QColor(Qt::red));
    QCOMPARE(drawn.background.toColor(), QColor(Qt::green));
    QVERIFY(drawn.link && drawn.underline && drawn.lineThrough && drawn.overline);

    TextStyle capitalize;
    capitalize.textTransform = TextStyle::Capitalize;
    TextStyle lower;
    lower.textTransform = TextStyle::Lowercase;
    QCOMPARE(texts(layout(chunk({paragraph({text("the old ", capitalize), text("MAN", lower)})}), 400)),
             QStringList{"The Old man"});
}

void TestChunkLayout::raisedRunGrowsTheLine()
{
    TextStyle sup;
    sup.size = 10;
    sup.baselineShift = 8;
    const ChunkLayout plain = layout(chunk({paragraph("x")}), 200);
    const ChunkLayout raised = layout(chunk({paragraph({text("x "), text("2", sup)})}), 200);
    const LayoutLine& line = raised.lines[0];
    QCOMPARE(line.runs[1].baseline, line.baseline - 8);
    QVERIFY(line.height > plain.lines[0].height);
    QVERIFY(raised.rectOf(line.runs[1]).top() >= line.y - Eps);
}

void TestChunkLayout::decorationsRunAcrossSpaces()
{
    TextStyle link;
    link.link = link.underline = true;
    const ChunkLayout result = layout(chunk({paragraph({text("see "), text("the link", link), text(" here")})}), 400);
    const QList<LayoutRun>& runs = result.lines[0].runs;
    QCOMPARE(runs.size(), 5); // see | the | (underlined gap) | link | here
    QVERIFY(result.textOf(runs[2]).isEmpty() && result.styleOf(runs[2]).underline);
    QCOMPARE(result.rectOf(runs[2]).left(), result.rectOf(runs[1]).right());
    QCOMPARE(result.rectOf(runs[2]).right(), result.rectOf(runs[3]).left());
}

void TestChunkLayout::bookSizesScaleWithTheReaderFontSize()
{
    TextStyle big;
    big.size = 32;
    TextStyle readers;
    readers.size = 0; // the reader's own size
    BoxStyle margins;
    margins.marginTop = 16;
    margins.borderLeft = 1;
    margins.paddingLeft = 10;
    BlockItem indented = paragraph({text("a", big), text("b", readers)});
    indented.indent = 20;
    const ChunkLayout result = layout(chunk({containerStart(margins), indented, containerEnd(margins)}), 600, 24);
    const LayoutLine& line = result.lines[0];
    QCOMPARE(result.styleOf(line.runs[0]).font.pixelSize(), 48);
    QCOMPARE(result.styleOf(line.runs[1]).font.pixelSize(), 24);
    QCOMPARE(line.y, 16 * 1.5);              // margins scale
    QCOMPARE(line.runs[0].x, 1 + 15 + 30.0); // the border stays, padding and indent scale
}

void TestChunkLayout::lineHeightOfTheBookAndOfTheReader()
{
    BlockItem book = paragraph(words(40));
    book.lineHeight = 2; // twice the paragraph's 16 px
    const ChunkLayout bookSpaced = layout(chunk({book}), 200, 16, 1.5);
    QCOMPARE(bookSpaced.lines[1].y - bookSpaced.lines[0].y, 32.0);
    const ChunkLayout readerSpaced = layout(chunk({paragraph(words(40))}), 200, 16, 1.5);
    QCOMPARE(readerSpaced.lines[1].y - readerSpaced.lines[0].y, 24.0);
    QCOMPARE(readerSpaced.lines[0].baseline, 4 + 12.0); // half the extra 8 px above the text
    const ChunkLayout tight = layout(chunk({paragraph(words(40))}), 200, 16, 0.5);
    QCOMPARE(tight.lines[1].y - tight.lines[0].y, 8.0);
}

void TestChunkLayout::alignment_data()
{
    QTest::addColumn<int>("align");
    QTest::addColumn<double>("x");
    QTest::newRow("justify: last line left") << int(TextAlign::Justify) << 0.0;
    QTest::newRow("left") << int(TextAlign::Left) << 0.0;
    QTest::newRow("center") << int(TextAlign::Center) << 38.0;
    QTest::newRow("right") << int(TextAlign::Right) << 76.0;
}

void TestChunkLayout::alignment()
{
    QFETCH(int, align);
    QFETCH(double, x);
    const ChunkLayout result = layout(chunk({paragraph("abc", TextAlign(align))}), 100);
    QCOMPARE(result.lines[0].x, x);
    QCOMPARE(result.lines[0].runs[0].x, x);
    QCOMPARE(result.lines[0].width, 24.0);
}

void TestChunkLayout::markerAndIndentStartTheFirstLine()
{
    BlockItem item = paragraph(words(30));
    item.marker = QStringLiteral("\u2022 ");
    item.indent = 24;
    const ChunkLayout result = layout(chunk({item}), 200);
    QVERIFY(result.lines.size() > 1);
    const LayoutRun& marker = result.lines[0].runs[0]; // drawn with the first word
    QCOMPARE(result.textOf(marker), QStringLiteral("\u2022 a"));
    QCOMPARE(marker.x, 24.0);
    QCOMPARE(marker.width, 3 * 8.0);
    QCOMPARE(result.lines[1].runs[0].x, 0.0);
}

void TestChunkLayout::unbalancedAndEmptyChunks()
{
    const BoxStyle box = framedBox();
    const ChunkLayout stray = layout(chunk({containerEnd(box), paragraph("text"), containerEnd(box)}), 200);
    QCOMPARE(texts(stray), QStringList{"text"});
    QVERIFY(stray.boxes.isEmpty());

    const ChunkLayout unclosed = layout(chunk({containerStart(box), paragraph("text")}), 200);
    QCOMPARE(unclosed.boxes.size(), 1);
    QCOMPARE(unclosed.boxes[0].rect.bottom(), unclosed.height);

    QCOMPARE(layout(chunk({}), 200).lines.size(), 0);
    QCOMPARE(layout(chunk({}), 200).height, 0.0);
    const ChunkLayout containersOnly = layout(chunk({containerStart({}), containerEnd({})}), 200);
    QVERIFY(containersOnly.lines.isEmpty());
    QCOMPARE(containersOnly.height, 0.0);
    QCOMPARE(layout(chunk({BlockItem()}), 200).lines.size(), 0); // a paragraph without runs

    const ChunkLayoutEngine engine = fixedEngine();
    QVERIFY(ChunkLayoutEngine::PreparedChunk().isEmpty());
    const ChunkLayout fromNothing = engine.layoutPreparedChunk(ChunkLayoutEngine::PreparedChunk(), LayoutParams());
    QVERIFY(fromNothing.lines.isEmpty());
}

void TestChunkLayout::ruleStandsOnALine()
{
    const ChunkLayout result = layout(chunk({rule(QColor(Qt::red))}), 300);
    QCOMPARE(result.lines.size(), 1);
    QVERIFY(result.lines[0].runs.isEmpty());
    QCOMPARE(result.rules.size(), 1);
    QCOMPARE(result.rules[0].rect, QRectF(0, 7.5, 300, 1));
    QCOMPARE(result.rules[0].colour, QColor(Qt::red));
    QCOMPARE(result.height, 16.0);
}

void TestChunkLayout::otherFontSizeIsMeasuredAgain()
{
    const ContentChunk content = chunk({paragraph(words(60))});
    const ChunkLayoutEngine engine = fixedEngine();
    LayoutParams params;
    params.width = 300;
    params.fontSize = 24;
    const ChunkLayout direct = engine.layoutPreparedChunk(engine.prepareChunk(content, 24, nullptr), params);
    const ChunkLayout again = engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params);
    QCOMPARE(again, direct);
}

void TestChunkLayout::tileEdgesFallBetweenLines()
{
    const ChunkLayout tall = layout(chunk({paragraph(words(3000)), paragraph({image("big", 100, 3000)})}), 100);
    QVERIFY(tall.height > 3 * 1000);
    const QList<double> edges = tall.tileEdges(1000);
    QVERIFY(!edges.isEmpty());
    double top = 0;
    for (double edge : edges) {
        QVERIFY(edge > top);
        QVERIFY(edge - top <= 1000 + Eps);
        const bool lineTop = std::any_of(tall.lines.cbegin(), tall.lines.cend(),
                                         [edge](const LayoutLine& line) { return qAbs(line.y - edge) < Eps; });
        const bool insideImage = edge > tall.images[0].rect.top() && edge < tall.images[0].rect.bottom();
        QVERIFY(lineTop || insideImage);
        top = edge;
    }
    QVERIFY(tall.height - top <= 1000 + Eps);
    QVERIFY(layout(chunk({paragraph("short")}), 100).tileEdges().isEmpty());
}

// A picture taller than several tiles below a line of fractional height: the cuts inside it are
// measured from that fractional top, where adding the tile height rounds past the limit.
void TestChunkLayout::tileEdgesKeepToTheLimit_data()
{
    QTest::addColumn<double>("pictureTop");
    for (const double top : {0.3, 2.2, 7.7, 17.3, 33.33, 16194.3})
        QTest::addRow("picture at %g", top) << top;
}

void TestChunkLayout::tileEdgesKeepToTheLimit()
{
    QFETCH(double, pictureTop);
    ChunkLayout tall;
    LayoutLine text;
    text.height = pictureTop;
    LayoutLine picture;
    picture.y = pictureTop;
    picture.height = 5 * ChunkLayout::kMaxTileHeight + 0.5;
    tall.lines = {text, picture};
    tall.height = picture.y + picture.height;
    double top = 0;
    const QList<double> edges = tall.tileEdges();
    QVERIFY(edges.size() >= 6);
    for (double edge : edges) {
        QVERIFY2(edge - top <= ChunkLayout::kMaxTileHeight, qPrintable(QString::number(edge - top, 'g', 17)));
        top = edge;
    }
    QVERIFY(tall.height - top <= ChunkLayout::kMaxTileHeight);
}

void TestChunkLayout::metaTypeAndEquality()
{
    registerChunkLayoutMetaType();
    QVERIFY(QMetaType::fromName("ChunkLayout").isValid());
    const ChunkLayout result = layout(chunk({paragraph(words(20)), rule(), paragraph({image("i", 20, 20)})}), 200);
    const QVariant variant = QVariant::fromValue(result);
    QVERIFY(variant.canConvert<ChunkLayout>());
    QCOMPARE(variant.value<ChunkLayout>(), result);

    ChunkLayout nudged = result;
    nudged.lines[0].runs[1].x += 1e-14;
    QCOMPARE(nudged, result); // within the relative rule
    nudged.lines[0].runs[1].x += 1e-3;
    QVERIFY(!(nudged == result));
    ChunkLayout recoloured = result;
    recoloured.rules[0].colour = QColor(Qt::red);
    QVERIFY(!(recoloured == result));
}

QTEST_GUILESS_MAIN(TestChunkLayout)
#include "tst_chunklayout.moc"
