#include "content/DocumentChunkBuilder.h"

#include <QTest>

namespace {

QString longText(int length)
{
    return QString(length, QLatin1Char('x'));
}

// All blocks of all chunks with the container items a cut synthesises removed.
QList<BlockItem> withoutSynthesised(const QList<ContentChunk>& chunks)
{
    QList<BlockItem> blocks;
    for (const ContentChunk& chunk : chunks) {
        blocks += chunk.blocks.mid(chunk.reopenedContainers);
    }
    return blocks;
}

} // namespace

class TestDocumentChunkBuilder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whiteSpaceIsCollapsedAndTrimmed_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("expectedRuns");
        QTest::newRow("inner and edges") << QStringList{QStringLiteral("  hello   world  ")}
                                         << QStringList{QStringLiteral("hello world")};
        QTest::newRow("blank only") << QStringList{QStringLiteral(" \t\n ")} << QStringList{};
        QTest::newRow("no-break spaces kept") << QStringList{QString::fromUtf8("a\u00A0\u00A0b")}
                                              << QStringList{QString::fromUtf8("a\u00A0\u00A0b")};
        QTest::newRow("blank edge runs") << QStringList{QStringLiteral(" "), QStringLiteral("word "), QStringLiteral("  ")}
                                         << QStringList{QStringLiteral("word")};
        QTest::newRow("space between runs") << QStringList{QStringLiteral("a "), QStringLiteral(" b")}
                                            << QStringList{QStringLiteral("a "), QStringLiteral(" b")};
        QTest::newRow("every ASCII space kind") << QStringList{QStringLiteral("a\t\r\n\v\fb \tc")}
                                               << QStringList{QStringLiteral("a b c")};
        QTest::newRow("a run after collapsed text") << QStringList{QStringLiteral("one two  three\nfour")}
                                                    << QStringList{QStringLiteral("one two three four")};
        QTest::newRow("other Unicode spaces kept") << QStringList{QString::fromUtf8("a\u2003 \u2003\u3000b")}
                                                   << QStringList{QString::fromUtf8("a\u2003 \u2003\u3000b")};
    }
    void whiteSpaceIsCollapsedAndTrimmed()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, expectedRuns);
        DocumentChunkBuilder builder(QStringLiteral("doc"), DocumentChunkBuilder::kReaderBudget);
        for (const QString& text : texts)
            builder.appendText(text, TextStyle(), false);
        const QList<ContentChunk> chunks = builder.build();
        if (expectedRuns.isEmpty()) {
            QVERIFY(chunks.isEmpty());
            return;
        }
        QCOMPARE(chunks.size(), 1);
        const BlockItem& paragraph = chunks.first().blocks.first();
        QStringList runs;
        int weight = 0;
        for (const InlineRun& run : paragraph.runs) {
            runs << run.text;
            weight += int(run.text.size());
        }
        QCOMPARE(runs, expectedRuns);
        QCOMPARE(chunks.first().weight, weight);
    }

    void trailingLineBreaksDropLeadingKept()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), DocumentChunkBuilder::kReaderBudget);
        builder.appendLineBreak();
        builder.appendText(QStringLiteral("text"), TextStyle(), false);
        builder.appendLineBreak();
        builder.appendText(QStringLiteral("  "), TextStyle(), true);
        const QList<ContentChunk> chunks = builder.build();
        QCOMPARE(chunks.size(), 1);
        const QList<InlineRun>& runs = chunks.first().blocks.first().runs;
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs.at(0).kind, int(InlineRun::LineBreak));
        QCOMPARE(runs.at(1).text, QStringLiteral("text"));
    }

    void preformattedKeepsText()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), DocumentChunkBuilder::kReaderBudget);
        builder.startParagraph({.align = TextAlign::Left, .preformatted = true});
        builder.appendText(QStringLiteral("  a\n   b  "), TextStyle(), false);
        builder.appendLineBreak();
        const QList<ContentChunk> chunks = builder.build();
        QCOMPARE(chunks.first().blocks.first().runs.size(), 2);
        QCOMPARE(chunks.first().blocks.first().runs.first().text, QStringLiteral("  a\n   b  "));
    }

    void cutsAtBlockBoundaryAfterBudget()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        for (int length : {300, 300, 10}) {
            builder.startParagraph(ParagraphFormat());
            builder.appendText(longText(length), TextStyle(), false);
        }
        builder.startParagraph(ParagraphFormat());
        builder.appendText(longText(2000), TextStyle(), false);
        const QList<ContentChunk> chunks = builder.build();
        QCOMPARE(chunks.size(), 2);
        QCOMPARE(chunks.at(0).weight, 600);
        QCOMPARE(chunks.at(0).blocks.size(), 2);
        QCOMPARE(chunks.at(1).weight, 2010); // an oversized paragraph stays whole
        QCOMPARE(chunks.at(1).id, QStringLiteral("doc"));
    }

    void weights_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("weight");
        QTest::newRow("icon 40") << 40.0 << 40.0 << 1;
        QTest::newRow("icon 48") << 48.0 << 48.0 << 1;
        QTest::newRow("49x10") << 49.0 << 10.0 << 1800;
        QTest::newRow("0x0") << 0.0 << 0.0 << 1800;
        QTest::newRow("unsized") << -1.0 << -1.0 << 1800;
    }
    void weights()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(int, weight);
        DocumentChunkBuilder builder(QStringLiteral("doc"), DocumentChunkBuilder::kSingleChunkBudget);
        builder.appendImage(QStringLiteral("image://epub/a.png"), width, height, -1, TextStyle());
        builder.appendImage(QString(), 10, 10, -1, TextStyle()); // no url: nothing
        const QList<ContentChunk> chunks = builder.build();
        QCOMPARE(chunks.size(), 1);
        QCOMPARE(chunks.first().blocks.first().runs.size(), 1);
        QCOMPARE(chunks.first().weight, weight);
    }

    void rulesAndContainersWeigh()
    {
        DocumentChunkBuilder rules(QStringLiteral("doc"), 512);
        rules.appendRule(QColor(Qt::red));
        QCOMPARE(rules.build().first().weight, 1);

        DocumentChunkBuilder boxes(QStringLiteral("doc"), 512);
        boxes.startContainer(BoxStyle());
        boxes.endContainer(BoxStyle());
        const QList<ContentChunk> chunks = boxes.build();
        QCOMPARE(chunks.first().weight, 0);
        QCOMPARE(chunks.first().blocks.size(), 2);
    }

    void cutInsideNestedContainers()
    {
        BoxStyle outer;
        outer.marginTop = outer.marginBottom = 5;
        outer.paddingTop = outer.paddingBottom = 3;
        outer.borderTop = outer.borderBottom = outer.borderLeft = 1;
        BoxStyle inner = outer;
        inner.marginLeft = 20;

        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        builder.startContainer(outer);
        builder.startContainer(inner);
        builder.appendText(longText(600), TextStyle(), false);
        builder.startParagraph(ParagraphFormat());
        builder.appendText(QStringLiteral("next"), TextStyle(), false);
        builder.endContainer(BoxStyle());
        builder.endContainer(BoxStyle());
        const QList<ContentChunk> chunks = builder.build();

        QCOMPARE(chunks.size(), 2);
        const QList<BlockItem>& first = chunks.at(0).blocks;
        QCOMPARE(first.size(), 5);
        QCOMPARE(first.at(3).kind, int(BlockItem::ContainerEnd));
        QCOMPARE(first.at(3).box.marginLeft, 20.0); // inner first
        QCOMPARE(first.at(4).box.marginLeft, 0.0);
        for (int i : {3, 4}) {
            QCOMPARE(first.at(i).box.marginBottom, 0.0);
            QCOMPARE(first.at(i).box.paddingBottom, 0.0);
            QCOMPARE(first.at(i).box.borderBottom, 0.0);
            QCOMPARE(first.at(i).box.borderLeft, 1.0);
        }
        const ContentChunk& second = chunks.at(1);
        QCOMPARE(second.reopenedContainers, 2);
        QCOMPARE(second.blocks.at(0).box.marginLeft, 0.0); // outer first
        QCOMPARE(second.blocks.at(1).box.marginLeft, 20.0);
        for (int i : {0, 1}) {
            QCOMPARE(second.blocks.at(i).kind, int(BlockItem::ContainerStart));
            QCOMPARE(second.blocks.at(i).box.marginTop, 0.0);
            QCOMPARE(second.blocks.at(i).box.paddingTop, 0.0);
            QCOMPARE(second.blocks.at(i).box.borderTop, 0.0);
        }
        // Closing with an empty box writes the box of the container it closes, unzeroed.
        QCOMPARE(second.blocks.at(3).box.marginLeft, 20.0);
        QCOMPARE(second.blocks.at(3).box.marginBottom, 5.0);
        QCOMPARE(second.blocks.at(4).box.marginLeft, 0.0);
    }

    void pendingCutHappensRightAfterContainerEnd()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        builder.startContainer(BoxStyle());
        builder.appendText(longText(520), TextStyle(), false);
        builder.endContainer(BoxStyle());
        builder.appendText(QStringLiteral("after"), TextStyle(), false);
        const QList<ContentChunk> chunks = builder.build();
        QCOMPARE(chunks.size(), 2);
        QCOMPARE(chunks.at(0).blocks.last().kind, int(BlockItem::ContainerEnd));
        QCOMPARE(chunks.at(1).reopenedContainers, 0);
        QCOMPARE(chunks.at(1).blocks.first().runs.first().text, QStringLiteral("after"));
    }

    // Cutting must not change the content: the same calls at a small budget and at "one chunk"
    // give the same blocks once the synthesised container items are dropped.
    void cuttingKeepsTheBlockList()
    {
        auto feed = [](DocumentChunkBuilder& builder) {
            for (int i = 0; i < 40; ++i) {
                if (i % 7 == 0)
                    builder.startContainer(BoxStyle{.marginTop = 4, .marginBottom = 4});
                builder.startParagraph(ParagraphFormat());
                builder.appendText(longText(37 * (i % 5) + 11), TextStyle(), false);
                if (i % 9 == 0)
                    builder.appendRule(QColor());
                if (i % 7 == 6)
                    builder.endContainer(BoxStyle());
            }
        };
        DocumentChunkBuilder small(QStringLiteral("doc"), 512);
        DocumentChunkBuilder whole(QStringLiteral("doc"), DocumentChunkBuilder::kSingleChunkBudget);
        feed(small);
        feed(whole);
        const QList<ContentChunk> smallChunks = small.build();
        const QList<ContentChunk> wholeChunks = whole.build();
        QCOMPARE(wholeChunks.size(), 1);
        QVERIFY(smallChunks.size() > 5);

        for (const ContentChunk& chunk : smallChunks) {
            QVERIFY(!chunk.blocks.isEmpty());
            int depth = 0;
            int weight = 0;
            for (const BlockItem& block : chunk.blocks) {
                depth += block.kind == BlockItem::ContainerStart ? 1 : block.kind == BlockItem::ContainerEnd ? -1 : 0;
                QVERIFY(depth >= 0);
                weight += block.kind == BlockItem::Rule ? 1 : DocumentChunkBuilder::paragraphWeight(block);
            }
            QCOMPARE(chunk.weight, weight);
        }
        // End items are compared by nesting above; what remains must match block for block.
        auto withoutEnds = [](QList<BlockItem> blocks) {
            blocks.removeIf([](const BlockItem& b) { return b.kind == BlockItem::ContainerEnd; });
            return blocks;
        };
        const QList<BlockItem> cutBlocks = withoutEnds(withoutSynthesised(smallChunks));
        const QList<BlockItem> reference = withoutEnds(wholeChunks.first().blocks);
        QCOMPARE(cutBlocks.size(), reference.size());
        for (qsizetype i = 0; i < reference.size(); ++i) {
            QCOMPARE(cutBlocks.at(i).kind, reference.at(i).kind);
            QCOMPARE(cutBlocks.at(i).runs.size(), reference.at(i).runs.size());
            QCOMPARE(cutBlocks.at(i).box.marginTop, reference.at(i).box.marginTop);
        }
    }

    void invariantBreakingCallsAreDropped()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        builder.endContainer(BoxStyle()); // nothing open
        builder.appendBlock(BlockItem()); // a paragraph without runs
        QVERIFY(builder.build().isEmpty());
    }

    // Items cost what they are, not what they weigh: line breaks weigh nothing and still fill
    // memory. Past the meter's budget the builder takes no more, so what it holds stays within the
    // budget however long the flood goes on, and a refused book keeps nothing.
    void stopsOnceTheBookIsPastItsBudget_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("line breaks") << "br";
        QTest::newRow("rules") << "hr";
        QTest::newRow("empty containers") << "div";
        QTest::newRow("one-letter paragraphs") << "p";
        QTest::newRow("ready-made paragraphs") << "block";
    }
    void stopsOnceTheBookIsPastItsBudget()
    {
        QFETCH(QString, item);
        const qint64 budget = 4 * 1024 * 1024;
        BookCostMeter meter(budget);
        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        builder.setCostMeter(&meter);
        BlockItem ready;
        ready.runs.append(InlineRun());
        ready.runs.first().text = QStringLiteral("x");
        const TextStyle style;
        int added = 0;
        for (; added < 1000000 && !builder.refused(); ++added) {
            if (item == u"br") {
                builder.appendLineBreak();
            } else if (item == u"hr") {
                builder.appendRule(QColor());
            } else if (item == u"div") {
                builder.startContainer(BoxStyle());
                builder.endContainer(BoxStyle());
            } else if (item == u"p") {
                builder.startParagraph({.style = style});
                builder.appendText(QStringLiteral("x"), style, false);
            } else {
                builder.appendBlock(ready);
            }
        }
        QVERIFY(builder.refused());
        QVERIFY(meter.exceeded());
        // Charged in batches of a few hundred kilobytes: a flood stops within one of the budget.
        QVERIFY2(meter.charged() <= budget + 512 * 1024, qPrintable(QString::number(meter.charged())));
        QVERIFY2(added <= (budget + 512 * 1024) / BookCostMeter::kBytesPerRun, qPrintable(QString::number(added)));
        QVERIFY(builder.build().isEmpty());
    }

    // Within the budget the meter changes nothing of what is built.
    void meteredBookWithinItsBudgetIsBuiltAlike()
    {
        const auto build = [](BookCostMeter* meter) {
            DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
            builder.setCostMeter(meter);
            const TextStyle style;
            for (int i = 0; i < 300; ++i) {
                builder.startContainer(BoxStyle());
                builder.startParagraph({.style = style});
                builder.appendText(longText(100), style, false);
                builder.appendLineBreak();
                builder.appendText(QStringLiteral("end"), style, false);
                builder.endContainer(BoxStyle());
                builder.appendRule(QColor());
            }
            return builder.build();
        };
        BookCostMeter meter(64 * 1024 * 1024);
        const QList<ContentChunk> metered = build(&meter);
        const QList<ContentChunk> unmetered = build(nullptr);
        QVERIFY(!meter.exceeded());
        QCOMPARE(metered.size(), unmetered.size());
        QCOMPARE(withoutSynthesised(metered).size(), withoutSynthesised(unmetered).size());
        // Each block and run was counted once, with its characters.
        const qint64 expected = 300 * (4 * BookCostMeter::kBytesPerBlock + 3 * BookCostMeter::kBytesPerRun
                                       + 103 * BookCostMeter::kBytesPerCharacter);
        QCOMPARE(meter.charged(), expected);
    }

    void emptyBuilderBuildsNothing()
    {
        DocumentChunkBuilder builder(QStringLiteral("doc"), 512);
        QVERIFY(builder.build().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDocumentChunkBuilder)
#include "tst_documentchunkbuilder.moc"
