#include "ChunkFixture.h"
#include "ChunkLayoutEngine.h"
#include "QtTextMeasurer.h"

#include <QFontMetricsF>
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

QTEST_MAIN(TestQtTextMeasurer)
#include "tst_qttextmeasurer.moc"
