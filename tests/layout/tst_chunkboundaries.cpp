#include "ChunkFixture.h"
#include "content/DocumentChunkBuilder.h"
#include "html/HtmlBlockParser.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace ChunkFixture;

namespace {

// What a reader sees of a column: line boxes and drawn boxes in the coordinates of the whole
// column, the halves of a box split at a cut joined again.
struct Column {
    QList<LayoutLine> lines;
    QStringList texts; // the runs of each line, for messages
    QList<LayoutBox> boxes;
    double height = 0;
};

bool continues(const LayoutBox& upper, const LayoutBox& lower, double cut)
{
    return upper.bottom == 0 && lower.top == 0 && std::abs(upper.rect.bottom() - cut) < 0.01
        && std::abs(lower.rect.top() - cut) < 0.01 && std::abs(upper.rect.left() - lower.rect.left()) < 0.01
        && std::abs(upper.rect.width() - lower.rect.width()) < 0.01 && upper.background == lower.background
        && upper.borderColour == lower.borderColour && upper.left == lower.left && upper.right == lower.right;
}

Column laidOut(const QList<ContentChunk>& chunks, int fontSize)
{
    const ChunkLayoutEngine engine = fixedEngine();
    LayoutParams params;
    params.width = 300;
    params.fontSize = fontSize;
    Column column;
    QList<int> openAtCut; // boxes of the column that reached the previous chunk's bottom
    for (const ContentChunk& content : chunks) {
        const ChunkLayout layout = engine.layoutPreparedChunk(engine.prepareChunk(content, fontSize, nullptr), params);
        const double top = column.height;
        for (LayoutLine line : layout.lines) {
            line.y += top;
            line.baseline += top;
            QStringList runs;
            for (const LayoutRun& run : line.runs)
                runs << layout.textOf(run);
            column.lines.append(line);
            column.texts.append(runs.join(u'/'));
        }
        QList<int> reaching;
        for (qsizetype b = 0; b < layout.boxes.size(); ++b) {
            LayoutBox box = layout.boxes[b];
            box.rect.translate(0, top);
            // Only the boxes of the containers the cut reopened continue one above.
            const auto upper = b >= content.reopenedContainers ? openAtCut.cend()
                : std::find_if(openAtCut.cbegin(), openAtCut.cend(),
                               [&](int i) { return continues(column.boxes[i], box, top); });
            if (upper != openAtCut.cend()) {
                LayoutBox& joined = column.boxes[*upper];
                joined.rect.setBottom(box.rect.bottom());
                joined.bottom = box.bottom;
                if (box.bottom == 0)
                    reaching.append(*upper);
                openAtCut.erase(upper);
                continue;
            }
            column.boxes.append(box);
            if (box.bottom == 0)
                reaching.append(int(column.boxes.size()) - 1);
        }
        openAtCut = reaching;
        column.height += layout.height;
    }
    return column;
}

QString describe(const LayoutLine& line, const QString& text)
{
    return QStringLiteral("y=%1 x=%2 h=%3 |%4|").arg(line.y).arg(line.x).arg(line.height).arg(text);
}

QString describe(const LayoutBox& box)
{
    return QStringLiteral("box %1,%2 %3x%4 t=%5 b=%6")
        .arg(box.rect.x())
        .arg(box.rect.y())
        .arg(box.rect.width())
        .arg(box.rect.height())
        .arg(box.top)
        .arg(box.bottom);
}

bool near(double a, double b)
{
    return std::abs(a - b) <= 1.0;
}

// A chapter of the block structures books are made of, with margins of every sign and size.
QString randomChapter(quint32 seed)
{
    QRandomGenerator random(seed);
    const auto length = [&random] {
        static const char* const lengths[] = {"0", "4px", "1em", "1.5em", "-6px", "24px", "0.5em"};
        return QString::fromLatin1(lengths[random.bounded(7)]);
    };
    QString html = QStringLiteral("<body>");
    int depth = 0;
    int words = 0;
    for (int step = 0; step < 40; ++step) {
        switch (random.bounded(depth > 0 ? 7 : 5)) {
        case 0:
        case 1:
            html += QStringLiteral("<p style=\"margin-top:%1; margin-bottom:%2\">%3</p>")
                        .arg(length(), length(), ChunkFixture::words(3 + (words++ * 7) % 40));
            break;
        case 2:
            html += QStringLiteral("<h2>%1</h2>").arg(ChunkFixture::words(2 + step % 5));
            break;
        case 3:
            html += random.bounded(4) == 0 ? QStringLiteral("<hr/>") : QStringLiteral("<p>%1</p>").arg(ChunkFixture::words(12));
            break;
        case 4: {
            static const char* const boxes[] = {
                "margin: %1 0 %2 0",
                "margin: %1 8px %2 8px; padding: 4px; border: 2px solid blue; background-color: #ffe",
                "margin: %1 0 %2 0; background-color: #eef",
                "margin: %1 0 %2 0; padding-top: 6px",
                "margin: %1 0 %2 0; border-bottom: 3px solid red",
            };
            html += QStringLiteral("<div style=\"%1\">").arg(QString::fromLatin1(boxes[random.bounded(5)]).arg(length(), length()));
            ++depth;
            break;
        }
        default:
            if (depth > 0) {
                html += QStringLiteral("<p>%1</p></div>").arg(ChunkFixture::words(5));
                --depth;
            }
            break;
        }
    }
    for (; depth > 0; --depth)
        html += QStringLiteral("<p>end</p></div>");
    return html + QStringLiteral("</body>");
}

} // namespace

// A cut between two chunks must leave no trace: every chapter, laid out as one chunk and as
// chunks cut at every boundary the chunk builder may cut at, shows the same page.
class TestChunkBoundaries : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cutsLeaveNoTrace_data();
    void cutsLeaveNoTrace();
    void marginSeparatedParagraphsKeepEqualGaps();
    void gapsAreCollapsedMargins_data();
    void gapsAreCollapsedMargins();
};

void TestChunkBoundaries::cutsLeaveNoTrace_data()
{
    QTest::addColumn<QString>("html");
    QTest::newRow("default paragraph margins") << QStringLiteral("<body><p>one</p><p>two</p><p>three</p><p>four</p></body>");
    QTest::newRow("larger heading margins")
        << QStringLiteral("<body><p>one</p><h1>title</h1><p>two</p><h3>small</h3><p>three</p></body>");
    QTest::newRow("nested boxes with edges and backgrounds")
        << QStringLiteral("<body><div style=\"margin:20px 0; padding:5px; border:2px solid red; background-color:#eee\">"
                          "<p>one</p><div style=\"margin:10px; background-color:#ddd\"><p>two</p><p>three</p></div>"
                          "<p>four</p></div><p>after</p></body>");
    QTest::newRow("negative margins")
        << QStringLiteral("<body><p style=\"margin-bottom:-8px\">one</p><p style=\"margin-top:-4px\">two</p>"
                          "<p style=\"margin-bottom:30px\">three</p><p style=\"margin-top:-10px\">four</p></body>");
    QTest::newRow("lists and rules")
        << QStringLiteral("<body><ul><li>one</li><li>two<ol><li>deep</li></ol></li></ul><hr/><p>after</p></body>");
    QTest::newRow("quotation inside a box")
        << QStringLiteral("<body><blockquote><p>one</p><p>two</p></blockquote><blockquote style=\"border-left:3px solid\">"
                          "<p>three</p></blockquote></body>");
    for (quint32 seed = 1; seed <= 24; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("random chapter %1").arg(seed))) << randomChapter(seed);
}

void TestChunkBoundaries::cutsLeaveNoTrace()
{
    QFETCH(QString, html);
    const QList<ContentChunk> whole =
        HtmlBlockParser::parseChunks(html, QStringLiteral("c"), DocumentChunkBuilder::kSingleChunkBudget, ParseParams());
    const QList<ContentChunk> cut = HtmlBlockParser::parseChunks(html, QStringLiteral("c"), 1, ParseParams());
    QCOMPARE(whole.size(), 1);
    QVERIFY(cut.size() > 2);
    for (const int fontSize : {16, 22}) {
        const Column uncut = laidOut(whole, fontSize);
        const Column pieces = laidOut(cut, fontSize);
        QCOMPARE(pieces.lines.size(), uncut.lines.size());
        for (qsizetype i = 0; i < uncut.lines.size(); ++i) {
            const LayoutLine& a = uncut.lines[i];
            const LayoutLine& b = pieces.lines[i];
            QVERIFY2(near(a.y, b.y) && near(a.x, b.x) && near(a.height, b.height) && near(a.width, b.width),
                     qPrintable(QStringLiteral("font %1, line %2: %3 cut: %4").arg(fontSize).arg(i).arg(describe(a, uncut.texts[i]), describe(b, pieces.texts[i]))));
        }
        QCOMPARE(pieces.boxes.size(), uncut.boxes.size());
        for (qsizetype i = 0; i < uncut.boxes.size(); ++i) {
            const LayoutBox& a = uncut.boxes[i];
            const LayoutBox& b = pieces.boxes[i];
            QVERIFY2(near(a.rect.top(), b.rect.top()) && near(a.rect.bottom(), b.rect.bottom())
                         && near(a.rect.left(), b.rect.left()) && near(a.rect.width(), b.rect.width())
                         && a.top == b.top && a.bottom == b.bottom && a.background == b.background,
                     qPrintable(QStringLiteral("font %1, box %2: %3 cut: %4").arg(fontSize).arg(i).arg(describe(a), describe(b))));
        }
        QVERIFY(near(pieces.height, uncut.height));
    }
}

void TestChunkBoundaries::marginSeparatedParagraphsKeepEqualGaps()
{
    QString html = QStringLiteral("<body>");
    for (int i = 0; i < 8; ++i)
        html += QStringLiteral("<p>%1</p>").arg(words(60 + i));
    html += QStringLiteral("</body>");
    const QList<ContentChunk> chunks =
        HtmlBlockParser::parseChunks(html, QStringLiteral("c"), DocumentChunkBuilder::kReaderBudget, ParseParams());
    QVERIFY(chunks.size() >= 4); // about a paragraph each
    const Column column = laidOut(chunks, 16);
    // Every paragraph is separated from the next by one collapsed 1em margin.
    QList<double> gaps;
    for (qsizetype i = 1; i < column.lines.size(); ++i) {
        const LayoutLine& above = column.lines[i - 1];
        const double gap = column.lines[i].y - (above.y + above.height);
        if (gap > 0.01)
            gaps << gap;
    }
    QCOMPARE(gaps.size(), 7);
    for (const double gap : std::as_const(gaps))
        QCOMPARE(gap, 16.0);
}

void TestChunkBoundaries::gapsAreCollapsedMargins_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<double>("gap");
    QTest::newRow("the larger margin comes second")
        << QStringLiteral("<p style=\"margin-bottom:16px\">a</p><h2 style=\"margin-top:19.9px\">b</h2>") << 19.9;
    QTest::newRow("the larger margin comes first")
        << QStringLiteral("<p style=\"margin:10px 0 20px\">a</p><p style=\"margin:10px 0 20px\">b</p>") << 20.0;
    QTest::newRow("a parent's top margin meets its first child's")
        << QStringLiteral("<p style=\"margin-bottom:10px\">a</p><div style=\"margin-top:30px\"><p style=\"margin-top:12px\">b</p></div>")
        << 30.0;
    QTest::newRow("padding keeps parent and child apart")
        << QStringLiteral("<p style=\"margin-bottom:10px\">a</p>"
                          "<div style=\"margin-top:30px; padding-top:1px\"><p style=\"margin-top:12px\">b</p></div>")
        << 43.0;
    QTest::newRow("a last child's bottom margin meets its parent's")
        << QStringLiteral("<div style=\"margin-bottom:5px\"><p style=\"margin-bottom:25px\">a</p></div><p style=\"margin-top:10px\">b</p>")
        << 25.0;
}

// The gap between two one-line paragraphs is their margins collapsed as CSS collapses them.
void TestChunkBoundaries::gapsAreCollapsedMargins()
{
    QFETCH(QString, body);
    QFETCH(double, gap);
    const QList<ContentChunk> chunks = HtmlBlockParser::parseChunks(
        QStringLiteral("<body>%1</body>").arg(body), QStringLiteral("c"), DocumentChunkBuilder::kSingleChunkBudget, ParseParams());
    const Column column = laidOut(chunks, 16);
    QCOMPARE(column.lines.size(), 2);
    const LayoutLine& above = column.lines[0];
    QCOMPARE(column.lines[1].y - (above.y + above.height), gap);
}

QTEST_MAIN(TestChunkBoundaries)
#include "tst_chunkboundaries.moc"
