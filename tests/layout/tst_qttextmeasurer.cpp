#include "ChunkFixture.h"
#include "ChunkLayoutEngine.h"
#include "QtTextMeasurer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QThread>
#include <QtConcurrent>

using namespace ChunkFixture;

namespace {

ContentChunk styledChunk(int seed)
{
    TextStyle bold;
    bold.weight = 700;
    TextStyle italic;
    italic.italic = true;
    italic.size = 20;
    TextStyle mono;
    mono.families = QStringList{"monospace"};
    mono.smallCaps = true;
    QList<InlineRun> runs{text(words(40 + seed) + " "), text("bold words ", bold),
                          text(QStringLiteral("hy\u00ADphen\u00ADated "), italic), text("mono", mono)};
    BoxStyle box;
    box.paddingLeft = 12;
    box.borderLeft = 3;
    return chunk({containerStart(box), paragraph(runs), paragraph(words(25 + seed)), containerEnd(box)});
}

} // namespace

// Real fonts: needs the QGuiApplication that QTEST_MAIN makes (offscreen platform under CTest).
class TestQtTextMeasurer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void measuresAsQtDoes();
    void fontsCarryAPixelSize_data();
    void fontsCarryAPixelSize();
    void layoutIsTheSameOnAPoolThread();
    void arabicLinesDoNotOverlap();
    void outlinesAreTracedOncePerScript();
};

void TestQtTextMeasurer::measuresAsQtDoes()
{
    const QtTextMeasurer measurer;
    const FontRequest request{QString(), 18, 700, true, false, 0};
    const QFontMetricsF fm(request.toFont());
    const QString word = QStringLiteral("Typography");
    QCOMPARE(measurer.advance(request, word), fm.horizontalAdvance(word));
    QCOMPARE(measurer.advance(request, word), fm.horizontalAdvance(word)); // from the cache
    const FontMetrics metrics = measurer.metrics(request);
    QCOMPARE(metrics.ascent, fm.ascent());
    QCOMPARE(metrics.descent, fm.descent());
    QCOMPARE(metrics.lineSpacing, fm.lineSpacing());
    FontRequest spaced = request;
    spaced.letterSpacing = 3;
    QVERIFY(measurer.advance(spaced, word) > measurer.advance(request, word) + 20);
}

void TestQtTextMeasurer::fontsCarryAPixelSize_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("hint");
    QTest::newRow("default") << QString() << int(QFont::Serif);
    QTest::newRow("serif") << QStringLiteral("serif") << int(QFont::Serif);
    QTest::newRow("sans-serif") << QStringLiteral("sans-serif") << int(QFont::SansSerif);
    QTest::newRow("monospace") << QStringLiteral("monospace") << int(QFont::Monospace);
    QTest::newRow("named") << QStringLiteral("DejaVu Sans") << int(QFont::AnyStyle);
}

void TestQtTextMeasurer::fontsCarryAPixelSize()
{
    QFETCH(QString, family);
    QFETCH(int, hint);
    const QFont font = FontRequest{family, 21}.toFont();
    QCOMPARE(font.pixelSize(), 21);
    QCOMPARE(int(font.styleHint()), hint);
    QCOMPARE(font.families().value(0), family.isEmpty() ? QStringLiteral("serif") : family);
}

// Preparation and layout run on the GUI thread (the window) and on pool threads (the rest):
// both must give the same chunk, whatever the thread's font cache holds.
void TestQtTextMeasurer::layoutIsTheSameOnAPoolThread()
{
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 320;
    auto run = [engine, params](const ContentChunk& content) {
        return engine.layoutPreparedChunk(engine.prepareChunk(content, 16, nullptr), params);
    };
    QList<ContentChunk> chunks;
    for (int seed = 0; seed < 16; ++seed)
        chunks << styledChunk(seed);

    QList<ChunkLayout> onGui;
    for (const ContentChunk& content : std::as_const(chunks))
        onGui << run(content);
    QVERIFY(onGui[0].lines.size() > 3);

    QThread* const gui = QThread::currentThread();
    bool elsewhere = false;
    const ChunkLayout single = QtConcurrent::run([&] {
                                   elsewhere = QThread::currentThread() != gui;
                                   return run(chunks[0]);
                               }).result();
    QVERIFY(elsewhere);
    QCOMPARE(single, onGui[0]);

    const QList<ChunkLayout> onPool = QtConcurrent::blockingMapped(chunks, run);
    QCOMPARE(onPool.size(), onGui.size());
    for (qsizetype i = 0; i < onGui.size(); ++i)
        QVERIFY2(onPool[i] == onGui[i], qPrintable(QString::number(i)));
}

// Lines of Arabic in the default (Latin) face take their glyphs from a fallback font: painted
// as the reader paints them, each line's ink stays inside its line box, so no two lines overlap.
void TestQtTextMeasurer::arabicLinesDoNotOverlap()
{
    const QString words = QStringLiteral("\u0628\u0650\u0633\u0652\u0645\u0650 \u0627\u0644\u0644\u0651\u064E\u0647\u0650 "
                                         "\u0627\u0644\u0631\u0651\u064E\u062D\u0652\u0645\u064E\u0670\u0646\u0650 "
                                         "\u0627\u0644\u0652\u0643\u0650\u062A\u064E\u0627\u0628\u064F \u062C\u064E\u0645\u0650\u064A\u0644\u064C");
    BlockItem arabic = paragraph(words + u' ' + words + u' ' + words);
    arabic.style.direction = TextDirection::RightToLeft;
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 220;
    const ChunkLayout layout = engine.layoutPreparedChunk(engine.prepareChunk(chunk({arabic}), 16, nullptr), params);
    QVERIFY(layout.lines.size() >= 2);

    const int height = int(std::ceil(layout.height)) + 20;
    QList<QPair<int, int>> inks; // first and last row with ink, per line
    for (const LayoutLine& line : layout.lines) {
        QImage image(int(params.width) + 40, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(20, 10);
        painter.setPen(Qt::black);
        for (const LayoutRun& run : line.runs) {
            QVERIFY(run.rightToLeft);
            painter.setFont(layout.styleOf(run).font);
            painter.setLayoutDirection(run.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
            painter.drawText(QPointF(run.x, run.baseline), layout.textOf(run));
        }
        painter.end();
        int first = -1, last = -1;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            if (std::any_of(row, row + image.width(), [](QRgb p) { return qAlpha(p) > 64; })) {
                first = first < 0 ? y - 10 : first;
                last = y - 10;
            }
        }
        QVERIFY(first >= 0);
        QVERIFY2(first >= std::floor(line.y) - 1 && last <= std::ceil(line.y + line.height) + 1,
                 qPrintable(QStringLiteral("ink %1..%2, line %3..%4").arg(first).arg(last).arg(line.y).arg(line.y + line.height)));
        inks.append({first, last});
    }
    for (qsizetype i = 1; i < inks.size(); ++i)
        QVERIFY(inks[i - 1].second < inks[i].first + 2);
}

// A window of chunks full of different words whose letters carry marks traces one outline per
// script and depth of stacked marks, however many words there are.
void TestQtTextMeasurer::outlinesAreTracedOncePerScript()
{
    QList<ContentChunk> window;
    for (int c = 0; c < 31; ++c) {
        QString arabic;
        QString thai;
        for (int w = 0; w < 20; ++w) {
            const int n = c * 20 + w;
            // Three letters, each with one vowel sign; two Thai consonants, one with a tone mark.
            for (int letter = 0; letter < 3; ++letter)
                arabic.append(QChar(0x0628 + (n >> (letter * 3)) % 8 + letter * 8)).append(QChar(0x064E));
            thai.append(QChar(0x0E01 + n % 40)).append(QChar(0x0E48)).append(QChar(0x0E01 + n / 40 % 40)).append(u' ');
            arabic += u' ';
        }
        window.append(chunk({paragraph(arabic), paragraph(thai), paragraph(words(30))}));
    }
    const ChunkLayoutEngine engine;
    LayoutParams params;
    params.width = 300;
    // A font size no other case uses: its fonts have traced nothing on this thread yet.
    params.fontSize = 23;
    const int before = QtTextMeasurer::outlinesTraced();
    qsizetype lines = 0;
    for (const ContentChunk& chunk : std::as_const(window))
        lines += engine.layoutPreparedChunk(engine.prepareChunk(chunk, params.fontSize, nullptr), params).lines.size();
    QVERIFY(lines > 31 * 3);
    QCOMPARE(QtTextMeasurer::outlinesTraced() - before, 2);
}

QTEST_MAIN(TestQtTextMeasurer)
#include "tst_qttextmeasurer.moc"
