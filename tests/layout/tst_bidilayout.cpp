#include "ChunkFixture.h"
#include "ChunkLayoutDump.h"
#include "FixedAdvanceMeasurer.h"
#include "html/HtmlBlockParser.h"

#include <QTest>

#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <memory>

using namespace ChunkFixture;

namespace {

// The lines of a book's markup laid out with the fixed-advance font (8 px a character): each line
// as "x=<left of its first run> |<words left to right>|", and the texts of the runs drawn right to
// left, left to right.
struct Seen {
    QStringList lines;
    QStringList rightToLeft;
};

Seen seen(const QList<BlockItem>& blocks, double width)
{
    const ChunkLayout result = layout(chunk(blocks), width);
    Seen out;
    for (const LayoutLine& line : result.lines) {
        const double left = line.runs.isEmpty() ? line.x : line.runs.first().x;
        out.lines << QStringLiteral("x=%1 |%2|").arg(left).arg(ChunkLayoutDump::lineText(result, line));
        for (const LayoutRun& run : line.runs) {
            if (run.rightToLeft)
                out.rightToLeft << result.textOf(run);
        }
    }
    return out;
}

// A measurer whose Arabic letters come from a taller fallback font, as in a Latin face.
class FallbackMeasurer final : public ITextMeasurer {
public:
    FontMetrics metrics(const FontRequest& font) const override { return fixed.metrics(font); }
    double advance(const FontRequest& font, const QString& text) const override { return fixed.advance(font, text); }
    FontMetrics textMetrics(const FontRequest& font, const QString& text) const override
    {
        FontMetrics m = fixed.metrics(font);
        for (const QChar c : text) {
            if (c.script() == QChar::Script_Arabic)
                return {m.ascent * 1.5, m.descent * 2, m.lineSpacing * 1.75};
        }
        return m;
    }

private:
    FixedAdvanceMeasurer fixed;
};

// A line as it shows, one character cell per 8 px: each run's characters in the order the text
// engine draws them (a right-to-left run reversed, its brackets mirrored: every run holds
// characters of one level), gaps as spaces.
QString shownLine(const ChunkLayout& layout, const LayoutLine& line)
{
    QString shown;
    const double left = line.runs.isEmpty() ? line.x : line.runs.first().x;
    for (const LayoutRun& run : line.runs) {
        QString text = layout.textOf(run);
        if (run.rightToLeft) {
            std::reverse(text.begin(), text.end());
            for (QChar& c : text)
                c = QChar(char16_t(u_charMirror(c.unicode())));
        }
        const qsizetype cell = qRound((run.x - left) / 8);
        if (shown.size() < cell)
            shown += QString(cell - shown.size(), u' ');
        shown = shown.left(cell) + text;
    }
    return shown;
}

// What ICU shows for one line of text: its visual order with mirrored brackets.
QString icuShown(const QString& text, TextDirection direction)
{
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UBiDi, void (*)(UBiDi*)> bidi(ubidi_open(), ubidi_close);
    const UBiDiLevel level = direction == TextDirection::RightToLeft ? 1
        : direction == TextDirection::LeftToRight                   ? 0
                                                                     : UBIDI_DEFAULT_LTR;
    ubidi_setPara(bidi.get(), reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), level, nullptr,
                  &error);
    QString shown(text.size() * 2, QChar());
    const int32_t length = ubidi_writeReordered(bidi.get(), reinterpret_cast<UChar*>(shown.data()),
                                                int32_t(shown.size()), UBIDI_DO_MIRRORING, &error);
    return U_SUCCESS(error) ? shown.left(length) : QStringLiteral("ICU failed: ") + u_errorName(error);
}

} // namespace

class TestBidiLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void visualOrderAndAlignment_data();
    void visualOrderAndAlignment();
    void plainTextTakesTheFirstStrongCharacter();
    void latinParagraphsAreNotReordered();
    void linesAreAsTallAsTheirFallbackGlyphs();
    void wordsOfDifferentStylesKeepTheirSpaces_data();
    void wordsOfDifferentStylesKeepTheirSpaces();
    void visualOrderIsIcus_data();
    void visualOrderIsIcus();
};

void TestBidiLayout::visualOrderAndAlignment_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<double>("width");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("rightToLeft");

    const QString one = QStringLiteral("\u05D0\u05D7\u05EA");                  // Hebrew "one"
    const QString two = QStringLiteral("\u05E9\u05EA\u05D9\u05D9\u05DD");      // "two"
    const QString three = QStringLiteral("\u05E9\u05DC\u05D5\u05E9");          // "three"
    const QString four = QStringLiteral("\u05D0\u05E8\u05D1\u05E2");           // "four"
    const QString said = QStringLiteral("\u0642\u0627\u0644");                 // Arabic "said"
    const QString year = QStringLiteral("\u0639\u0627\u0645");                 // "year"
    const QString thing = QStringLiteral("\u0634\u064A\u0626\u0627");          // "something"
    const QString peace = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");          // Hebrew "peace"
    const QString world = QStringLiteral("\u05E2\u05D5\u05DC\u05DD");          // "world"

    // Justified: the first line fills the column, the last sits at the right.
    QTest::newRow("Hebrew paragraph")
        << QStringLiteral("<p dir=\"rtl\">%1 %2 %3 %4</p>").arg(one, two, three, four) << 120.0
        << QStringList{QStringLiteral("x=0 |%1 %2 %3|").arg(three, two, one), QStringLiteral("x=88 |%1|").arg(four)}
        << QStringList{three, two, one, four};
    // The Latin name keeps its order, the number stays whole, the Arabic words run right to left.
    QTest::newRow("Arabic with a Latin name and a number")
        << QStringLiteral("<html lang=\"ar\"><body><p>%1 John Smith %2 2020 %3.</p></body></html>").arg(said, year, thing)
        << 400.0 << QStringList{QStringLiteral("x=168 |%1. 2020 %2 John Smith %3|").arg(thing, year, said)}
        << QStringList{thing + u'.', year, said};
    QTest::newRow("English with a Hebrew phrase")
        << QStringLiteral("<p>He said %1 %2 to me</p>").arg(peace, world) << 400.0
        << QStringList{QStringLiteral("x=0 |He said %1 %2 to me|").arg(world, peace)} << QStringList{world, peace};
    QTest::newRow("dir auto, Hebrew first")
        << QStringLiteral("<p dir=\"auto\">%1 big world</p>").arg(peace) << 400.0
        << QStringList{QStringLiteral("x=288 |big world %1|").arg(peace)} << QStringList{peace};
    QTest::newRow("dir auto, Latin first")
        << QStringLiteral("<p dir=\"auto\">big %1 world</p>").arg(peace) << 400.0
        << QStringList{QStringLiteral("x=0 |big %1 world|").arg(peace)} << QStringList{peace};
    // The marker is the first thing of the line, so on the right: its number rightmost, its full
    // stop and space (right to left, like the word beside them) to the number's left.
    QTest::newRow("direction rtl list")
        << QStringLiteral("<ol style=\"direction: rtl; padding: 0; margin: 0\"><li>%1 %2</li></ol>").arg(one, two)
        << 200.0 << QStringList{QStringLiteral("x=104 |%1 . %2").arg(two, one) + QStringLiteral("1|")}
        << QStringList{two, QStringLiteral(". ") + one};
    QTest::newRow("list of a right-to-left document indented on the right")
        << QStringLiteral("<body dir=\"rtl\"><ul style=\"margin:0\"><li>%1</li></ul></body>").arg(one) << 200.0
        << QStringList{QStringLiteral("x=120 |\u2022 %1|").arg(one)} << QStringList{QStringLiteral("\u2022 ") + one};
    // Brackets around a right-to-left word in a right-to-left paragraph are drawn right to left,
    // so mirrored; in a left-to-right one the brackets are left to right, the word inside them not.
    QTest::newRow("brackets in a right-to-left paragraph")
        << QStringLiteral("<p dir=\"rtl\">(%1) %2</p>").arg(peace, world) << 400.0
        << QStringList{QStringLiteral("x=312 |%1 (%2)|").arg(world, peace)}
        << QStringList{world, QStringLiteral("(%1)").arg(peace)};
    QTest::newRow("brackets in a left-to-right paragraph")
        << QStringLiteral("<p>see (%1) here</p>").arg(peace) << 400.0
        << QStringList{QStringLiteral("x=0 |see (%1) here|").arg(peace)} << QStringList{peace};
    // An isolate of the other direction is reordered as a whole; its spaces stay its own.
    QTest::newRow("right-to-left isolate in a Latin paragraph")
        << QStringLiteral("<p>a <span dir=\"rtl\">1 2 3</span> b</p>") << 400.0
        << QStringList{QStringLiteral("x=0 |a 3 2 1 b|")} << QStringList{};
    QTest::newRow("text-align start and end")
        << QStringLiteral("<p dir=\"rtl\" style=\"text-align:start\">%1</p><p dir=\"rtl\" style=\"text-align:end\">%1</p>"
                          "<p style=\"text-align:end\">ab</p>").arg(one)
        << 100.0 << QStringList{QStringLiteral("x=76 |%1|").arg(one), QStringLiteral("x=0 |%1|").arg(one), QStringLiteral("x=84 |ab|")}
        << QStringList{one, one};
    QTest::newRow("first-line indent on the right")
        << QStringLiteral("<p dir=\"rtl\" style=\"text-indent: 2em\">%1</p>").arg(one) << 100.0
        << QStringList{QStringLiteral("x=44 |%1|").arg(one)} << QStringList{one};
}

void TestBidiLayout::visualOrderAndAlignment()
{
    QFETCH(QString, html);
    QFETCH(double, width);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, rightToLeft);
    const Seen result = seen(HtmlBlockParser::parse(html, ParseParams()), width);
    QCOMPARE(result.lines, lines);
    QCOMPARE(result.rightToLeft, rightToLeft);
}

// Plain text states no direction: each paragraph reads in the direction of its first letter.
void TestBidiLayout::plainTextTakesTheFirstStrongCharacter()
{
    const QString peace = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    BlockItem hebrew = paragraph(QStringLiteral("12 %1 ok").arg(peace));
    BlockItem latin = paragraph(QStringLiteral("ok %1 12").arg(peace));
    QCOMPARE(hebrew.style.direction, TextDirection::Auto);
    const Seen result = seen({hebrew, latin}, 200);
    QCOMPARE(result.lines, (QStringList{QStringLiteral("x=120 |ok %1 12|").arg(peace), QStringLiteral("x=0 |ok 12 %1|").arg(peace)}));

    // A document whose package names a right-to-left language reads right to left.
    ParseParams arabic;
    arabic.language = QStringLiteral("ar-EG");
    const QList<BlockItem> blocks = HtmlBlockParser::parse(QStringLiteral("<p>ab cd</p>"), arabic);
    QCOMPARE(blocks.value(1).style.direction, TextDirection::RightToLeft);
    ParseParams japanese;
    japanese.language = QStringLiteral("ja");
    QCOMPARE(HtmlBlockParser::parse(QStringLiteral("<p>ab</p>"), japanese).value(1).style.direction, TextDirection::LeftToRight);
}

void TestBidiLayout::latinParagraphsAreNotReordered()
{
    const ChunkLayoutEngine engine = fixedEngine();
    const ChunkLayoutEngine::PreparedChunk prepared =
        engine.prepareChunk(chunk({paragraph(words(80)), paragraph(QStringLiteral("caf\u00E9 na\u00EFve \u00FCber"))}), 16, nullptr);
    for (const PreparedBlock& block : prepared.blocks) {
        QVERIFY(block.paragraph.levels.isEmpty());
        QVERIFY(!block.paragraph.rightToLeft);
    }
}

void TestBidiLayout::linesAreAsTallAsTheirFallbackGlyphs()
{
    const ChunkLayoutEngine engine(std::make_shared<FallbackMeasurer>());
    const QString arabic = QStringLiteral("\u0643\u0644\u0645\u0629");
    const ContentChunk content = chunk({paragraph(QStringLiteral("latin words")),
                                        paragraph(QStringLiteral("%1 %1 %1 %1 %1 %1 %1 %1").arg(arabic))});
    LayoutParams params;
    params.width = 100;
    const ChunkLayout result = engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params);
    QVERIFY(result.lines.size() >= 3);
    QCOMPARE(result.lines[0].height, 16.0);
    for (qsizetype i = 1; i < result.lines.size(); ++i) {
        const LayoutLine& line = result.lines[i];
        QCOMPARE(line.height, 12.0 * 1.5 + 4.0 * 2);
        for (const LayoutRun& run : line.runs) {
            QVERIFY(result.rectOf(run).top() >= line.y - 1e-9);
            QVERIFY(result.rectOf(run).bottom() <= line.y + line.height + 1e-9);
        }
        QCOMPARE(line.y, result.lines[i - 1].y + result.lines[i - 1].height);
    }
    QCOMPARE(result.height, result.lines.last().y + result.lines.last().height);
}

void TestBidiLayout::wordsOfDifferentStylesKeepTheirSpaces_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("runs");

    const QString one = QStringLiteral("\u05D0\u05D7\u05EA");             // Hebrew "one"
    const QString two = QStringLiteral("\u05E9\u05EA\u05D9\u05D9\u05DD"); // "two"
    const QString said = QStringLiteral("\u0642\u0627\u0644");            // Arabic "said"
    const QString year = QStringLiteral("\u0639\u0627\u0645");            // "year"
    // Characters and spaces are 8 px wide; a run reads "x w |text|", left to right on the page.
    QTest::newRow("space between two styles")
        << QStringLiteral("<p dir=\"rtl\"><b>%1</b> %2</p>").arg(one, two)
        << QStringList{QStringLiteral("328 40 |%1|").arg(two), QStringLiteral("376 24 |%1|").arg(one)};
    QTest::newRow("space at the end of the first style")
        << QStringLiteral("<p dir=\"rtl\"><b>%1 </b>%2</p>").arg(one, two)
        << QStringList{QStringLiteral("328 40 |%1|").arg(two), QStringLiteral("376 24 |%1|").arg(one)};
    QTest::newRow("space at the start of the second style")
        << QStringLiteral("<p dir=\"rtl\">%1<i> %2</i></p>").arg(one, two)
        << QStringList{QStringLiteral("328 40 |%1|").arg(two), QStringLiteral("376 24 |%1|").arg(one)};
    QTest::newRow("three styles")
        << QStringLiteral("<p dir=\"rtl\"><b>%1</b> <i>%2</i> %1</p>").arg(one, two)
        << QStringList{QStringLiteral("296 24 |%1|").arg(one), QStringLiteral("328 40 |%1|").arg(two),
                       QStringLiteral("376 24 |%1|").arg(one)};
    QTest::newRow("larger word")
        << QStringLiteral("<p dir=\"rtl\" style=\"font-size:16px\"><span style=\"font-size:32px\">%1</span> %2</p>").arg(one, two)
        << QStringList{QStringLiteral("304 40 |%1|").arg(two), QStringLiteral("352 48 |%1|").arg(one)};
    // A Latin word starts the right-to-left line, its colon (right to left) to its left; the Arabic
    // words follow, each gap between two words where it was written; the "!" after the italic word
    // ends it.
    QTest::newRow("mixed runs")
        << QStringLiteral("<p dir=\"rtl\">CSS: <b>%1</b> <i>%2</i>!</p>").arg(said, year)
        << QStringList{QStringLiteral("296 8 |!|"), QStringLiteral("304 24 |%1|").arg(year),
                       QStringLiteral("336 24 |%1|").arg(said), QStringLiteral("368 8 |:|"),
                       QStringLiteral("376 24 |CSS|")};
    QTest::newRow("mixed runs, left to right")
        << QStringLiteral("<p>CSS: <b>%1</b> <i>%2</i>!</p>").arg(said, year)
        << QStringList{QStringLiteral("0 32 |CSS:|"), QStringLiteral("40 24 |%1|").arg(year),
                       QStringLiteral("72 24 |%1|").arg(said), QStringLiteral("96 8 |!|")};
}

// The runs of a right-to-left line in visual order, with the gaps between them, whatever the
// styles of the words either side of a space.
void TestBidiLayout::wordsOfDifferentStylesKeepTheirSpaces()
{
    QFETCH(QString, html);
    QFETCH(QStringList, runs);
    const ChunkLayout result = layout(chunk(HtmlBlockParser::parse(html, ParseParams())), 400);
    QCOMPARE(result.lines.size(), 1);
    QStringList placed;
    for (const LayoutRun& run : result.lines.first().runs) {
        if (run.hasText())
            placed << QStringLiteral("%1 %2 |%3|").arg(run.x).arg(run.width).arg(result.textOf(run));
    }
    QCOMPARE(placed, runs);
}

void TestBidiLayout::visualOrderIsIcus_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("direction");

    const QString hebrew = QStringLiteral("\u05E1\u05E4\u05E8 \u05D4\u05DE\u05D3\u05D9\u05E0\u05D4"); // two words
    const QString word = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    const QString arabic = QStringLiteral("\u0642\u0627\u0644 \u0639\u0627\u0645");
    const int rtl = int(TextDirection::RightToLeft), ltr = int(TextDirection::LeftToRight);
    const int automatic = int(TextDirection::Auto);
    QTest::newRow("bracketed Latin title") << QStringLiteral("%1 (Two Treatises of Government) %1").arg(hebrew) << rtl;
    QTest::newRow("Latin sentence end and citation")
        << QStringLiteral("%1 Churchill. Locke, J. (1689). %1.").arg(hebrew) << rtl;
    QTest::newRow("Latin word with a comma") << QStringLiteral("%1 Locke, %1").arg(hebrew) << rtl;
    QTest::newRow("Latin phrase ending the paragraph") << QStringLiteral("%1 see Locke!").arg(hebrew) << rtl;
    QTest::newRow("number with a unit and a full stop") << QStringLiteral("%1 2020 km. %1").arg(arabic) << rtl;
    QTest::newRow("number inside an Arabic word") << QStringLiteral("%1 \u0639\u0627\u0645%2 %1").arg(arabic, QStringLiteral("1999")) << rtl;
    QTest::newRow("quoted Latin phrase") << QStringLiteral("%1 \"Hello, world\" %1").arg(hebrew) << rtl;
    QTest::newRow("Hebrew with a bracket inside a Latin phrase")
        << QStringLiteral("%1 (a %2 b) %1").arg(hebrew, word) << rtl;
    QTest::newRow("URL in a Hebrew paragraph") << QStringLiteral("%1 http://example.org/a-b, %1").arg(hebrew) << rtl;
    QTest::newRow("Hebrew phrase with punctuation in English")
        << QStringLiteral("He said (%1, %2!) to me.").arg(word, hebrew) << ltr;
    QTest::newRow("Arabic with digits in English") << QStringLiteral("See %1 12 %1: done").arg(arabic) << ltr;
    QTest::newRow("Hebrew quoted in English") << QStringLiteral("The word \"%1.\" ends").arg(word) << ltr;
    QTest::newRow("auto direction, Hebrew first") << QStringLiteral("%1, Smith (2001).").arg(hebrew) << automatic;
}

// Every line reads as ICU reorders the same text: the words of a phrase of the other direction
// stay together and in their order, with their punctuation and spaces where ICU puts them.
void TestBidiLayout::visualOrderIsIcus()
{
    QFETCH(QString, text);
    QFETCH(int, direction);
    BlockItem block = paragraph(text, TextAlign::Left);
    block.style.direction = TextDirection(direction);
    const ChunkLayout result = layout(chunk({block}), 2000);
    QCOMPARE(result.lines.size(), 1);
    QCOMPARE(shownLine(result, result.lines.first()), icuShown(text, TextDirection(direction)));
}

QTEST_MAIN(TestBidiLayout)
#include "tst_bidilayout.moc"
