#include "KnuthPlass.h"
#include "PackedItems.h"

#include <QTest>

using KnuthPlass::Item;
using KnuthPlass::Line;

Q_DECLARE_METATYPE(Item)
Q_DECLARE_METATYPE(QList<Item>)
Q_DECLARE_METATYPE(QList<Line>)

namespace {

// Glue of the hand-worked paragraphs: width 10, stretch 10, shrink 3.
Item g()
{
    return Item::glue(10, 10, 3);
}

Item b(double width)
{
    return Item::box(width);
}

Item hyphen(double width)
{
    return Item::penaltyItem(width, 0, true);
}

QList<Item> closed(QList<Item> items)
{
    KnuthPlass::finishParagraph(items);
    return items;
}

QString describe(const QList<Line>& lines)
{
    QStringList parts;
    for (const Line& line : lines) {
        parts << QStringLiteral("{%1,%2,%3%4}")
                     .arg(line.start)
                     .arg(line.end)
                     .arg(line.ratio)
                     .arg(line.hyphenated ? QStringLiteral(",h") : QString());
    }
    return parts.join(u' ');
}

} // namespace

class TestKnuthPlass : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void finishParagraph_data();
    void finishParagraph();
    void breakLines_data();
    void breakLines();
    void flaggedDemeritAvoidsConsecutiveHyphens();
    void aggregateFieldsInOrder_data();
    void aggregateFieldsInOrder();
    void packedItemsUnpackAsTheyWere();
};

void TestKnuthPlass::finishParagraph_data()
{
    QTest::addColumn<QList<Item>>("items");
    QTest::addColumn<QList<Item>>("expected");
    const Item never = Item::penaltyItem(0, 10000, false);
    const Item finishing = Item::glue(0, 1e7, 0);
    const Item forced = Item::penaltyItem(0, -10000, false);
    QTest::newRow("empty gets an empty box") << QList<Item>{} << QList<Item>{b(0), never, finishing, forced};
    QTest::newRow("trailing glue dropped") << QList<Item>{b(5), g(), g()}
                                           << QList<Item>{b(5), never, finishing, forced};
    QTest::newRow("after a forced break an empty line")
        << QList<Item>{b(5), forced} << QList<Item>{b(5), forced, b(0), never, finishing, forced};
}

void TestKnuthPlass::finishParagraph()
{
    QFETCH(QList<Item>, items);
    QFETCH(QList<Item>, expected);
    KnuthPlass::finishParagraph(items);
    QCOMPARE(items.size(), expected.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i].type, expected[i].type);
        QCOMPARE(items[i].width, expected[i].width);
        QCOMPARE(items[i].stretch, expected[i].stretch);
        QCOMPARE(items[i].penalty, expected[i].penalty);
        QCOMPARE(items[i].runIndex, -1);
    }
}

void TestKnuthPlass::breakLines_data()
{
    QTest::addColumn<QList<Item>>("items");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no items") << QList<Item>{} << 100.0 << QString();
    QTest::newRow("empty paragraph: one line, natural") << closed({}) << 100.0 << QStringLiteral("{0,3,0}");

    // Widths 35 35 10 60 40. First fit fills line one (35+35+10 and two spaces = 100) and leaves
    // 60 alone on line two, which has no glue to stretch (ratio 10000); 60 and 40 do not fit
    // together even shrunk. Total fit moves the 10 down: two lines at ratio 2, within tolerance.
    QTest::newRow("total fit beats first fit")
        << closed({b(35), g(), b(35), g(), b(10), g(), b(60), g(), b(40)}) << 100.0
        << QStringLiteral("{0,3,2} {4,7,2} {8,11,0}");

    // A line break closed like a paragraph end: the line before it is set at natural width.
    QList<Item> withBreak{b(30), g(), b(30)};
    KnuthPlass::finishLine(withBreak);
    withBreak << b(20) << g() << b(20);
    QTest::newRow("finished line break") << closed(withBreak) << 100.0 << QStringLiteral("{0,5,0} {6,11,0}");

    // A bare forced break always breaks; its short line (ratio 3) needs the second pass.
    QTest::newRow("bare forced break, second pass")
        << closed({b(30), g(), b(40), Item::penaltyItem(0, -10000, false), b(20)}) << 110.0
        << QStringLiteral("{0,3,3} {4,7,0}");

    // No glue to stretch: ratio 10000, infeasible in passes one and two, taken by pass three.
    QTest::newRow("third pass: unstretchable line")
        << closed({b(60), g(), b(60)}) << 100.0 << QStringLiteral("{0,1,10000} {2,5,0}");

    // A box wider than the line: only the rescue of pass three sets it, with no glue to shrink.
    QTest::newRow("overfull box rescued") << closed({b(150)}) << 100.0 << QStringLiteral("{0,3,-10000}");
    QTest::newRow("overfull box mid paragraph")
        << closed({b(40), g(), b(150), g(), b(40)}) << 100.0
        << QStringLiteral("{0,1,10000} {2,3,-10000} {4,7,0}");

    // Breaking at the second glue would give a perfect line in pass one; only glue after a box
    // is a breakpoint, and the glue after a break is discarded.
    QTest::newRow("glue after glue is no breakpoint")
        << closed({b(30), g(), g(), b(30)}) << 40.0 << QStringLiteral("{0,1,10000} {3,6,0}");
    // Neither a penalty of 10000 nor the glue after it breaks: one overfull line, shrunk.
    QTest::newRow("never-break penalty and the glue after it")
        << closed({b(30), Item::penaltyItem(0, 10000, false), g(), b(30)}) << 64.0
        << QStringLiteral("{0,6,-2}");

    QTest::newRow("flagged width 0 is not hyphenated")
        << closed({b(40), g(), b(35), Item::penaltyItem(0, 0, true), b(30)}) << 85.0
        << QStringLiteral("{0,3,0} {4,7,0}");
    QTest::newRow("flagged width 5 is hyphenated")
        << closed({b(40), g(), b(35), hyphen(5), b(30)}) << 90.0 << QStringLiteral("{0,3,0,h} {4,7,0}");

    // Width 0 (or less) counts as 1: a box of width 1 then fits exactly.
    QTest::newRow("line width 0 is 1") << closed({b(1)}) << 0.0 << QStringLiteral("{0,3,0}");
    QTest::newRow("negative line width is 1") << closed({b(1)}) << -5.0 << QStringLiteral("{0,3,0}");
}

void TestKnuthPlass::breakLines()
{
    QFETCH(QList<Item>, items);
    QFETCH(double, width);
    QFETCH(QString, expected);
    const QList<Line> lines = KnuthPlass::breakLines(items, width, KnuthPlass::Params{});
    QCOMPARE(describe(lines), expected);
}

// Line one must end at hyphen F1. Line two may end at hyphen F2 (X) or at the glue after the
// word (Y); both are 90 wide, ratio 1, and the last lines cost the same. Only the flagged demerit
// for two hyphenated lines in a row tells them apart; without it the tie goes to X, the node
// met first.
void TestKnuthPlass::flaggedDemeritAvoidsConsecutiveHyphens()
{
    const QList<Item> items =
        closed({b(40), g(), b(35), hyphen(5), b(20), g(), b(55), hyphen(5), b(5), g(), b(10)});
    KnuthPlass::Params params;
    QCOMPARE(describe(KnuthPlass::breakLines(items, 100, params)),
             QStringLiteral("{0,3,1,h} {4,9,1} {10,13,0}"));
    params.flaggedDemerit = 0;
    QCOMPARE(describe(KnuthPlass::breakLines(items, 100, params)),
             QStringLiteral("{0,3,1,h} {4,7,1,h} {8,13,0}"));
}

// Items written as aggregates, {type, width, stretch, shrink, penalty, flagged, runIndex}, with
// a distinct value in every field, against the builders.
void TestKnuthPlass::aggregateFieldsInOrder_data()
{
    QTest::addColumn<Item>("written");
    QTest::addColumn<Item>("built");
    QTest::newRow("box") << Item{KnuthPlass::Box, 12, 0, 0, 0, false, 3} << Item::box(12, 3);
    QTest::newRow("glue") << Item{KnuthPlass::Glue, 10, 4, 2, 0, false, 5} << Item::glue(10, 4, 2, 5);
    QTest::newRow("penalty") << Item{KnuthPlass::Penalty, 6, 0, 0, 50, true, 7} << Item::penaltyItem(6, 50, true, 7);
}

void TestKnuthPlass::aggregateFieldsInOrder()
{
    QFETCH(Item, written);
    QFETCH(Item, built);
    QCOMPARE(written.type, built.type);
    QCOMPARE(written.width, built.width);
    QCOMPARE(written.stretch, built.stretch);
    QCOMPARE(written.shrink, built.shrink);
    QCOMPARE(written.penalty, built.penalty);
    QCOMPARE(written.flagged, built.flagged);
    QCOMPARE(written.runIndex, built.runIndex);
}

// A paragraph of every kind of item, with more distinct glue than the packing looks back over.
void TestKnuthPlass::packedItemsUnpackAsTheyWere()
{
    QList<Item> items;
    for (int i = 0; i < 40; ++i) {
        items << Item::box(7.25 + i / 3.0, i) << Item::glue(4.1 + i % 12, 2.05 + i % 12, 1.3 + i % 12, 100 + i % 12);
        if (i % 5 == 0)
            items << Item::penaltyItem(3.5, 50, true, i);
        if (i % 7 == 0)
            items << Item::glue(0, 0.8, 0, -1) << Item::penaltyItem(0, -0.0, false);
    }
    KnuthPlass::finishParagraph(items);
    const PackedItems packed(items);
    const QList<Item> unpacked = packed.unpacked();
    QCOMPARE(packed.size(), items.size());
    QCOMPARE(unpacked.size(), items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        for (const Item& item : {unpacked[i], packed[i]}) {
            QCOMPARE(item.type, items[i].type);
            QCOMPARE(item.width, items[i].width);
            QCOMPARE(item.stretch, items[i].stretch);
            QCOMPARE(item.shrink, items[i].shrink);
            QCOMPARE(item.penalty, items[i].penalty);
            QCOMPARE(item.runIndex, items[i].runIndex);
            QCOMPARE(item.flagged, items[i].flagged);
        }
    }
    // One style's words share their glue's values, whatever their number: boxes, glue and the
    // three items that finish a paragraph make five.
    QList<Item> words;
    for (int i = 0; i < 500; ++i)
        words << Item::box(5 + i % 9, i) << Item::glue(4, 2, 1.5, 500);
    KnuthPlass::finishParagraph(words);
    QCOMPARE(PackedItems(words).valueCapacity(), 5);
    QCOMPARE(describe(KnuthPlass::breakLines(packed.unpacked(), 90, {})), describe(KnuthPlass::breakLines(items, 90, {})));
}

QTEST_GUILESS_MAIN(TestKnuthPlass)
#include "tst_knuthplass.moc"
