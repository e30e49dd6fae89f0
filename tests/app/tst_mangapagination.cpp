#include "MangaPagination.h"

#include <QTest>

namespace {

const QSize kPortrait(600, 900);
const QSize kWide(1800, 900);
const QSize kUnknown(-1, -1);

QList<QSize> pages(int count, QSize size = kPortrait)
{
    return QList<QSize>(count, size);
}

// Pairs written as "0 1-2 3-4".
QString describe(const MangaPagination& pagination)
{
    QStringList parts;
    for (int i = 0; i < pagination.count(); ++i) {
        const PagePair pair = pagination.at(i);
        parts.append(pair.right < 0 ? QString::number(pair.left) : QStringLiteral("%1-%2").arg(pair.left).arg(pair.right));
    }
    return parts.join(QLatin1Char(' '));
}

MangaPagination built(const QList<QSize>& sizes, bool landscape, bool shift)
{
    MangaPagination pagination;
    pagination.rebuild(sizes, landscape, shift);
    return pagination;
}

} // namespace

class TestMangaPagination : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rebuild_data()
    {
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("pairs");
        QList<QSize> wideThird = pages(6);
        wideThird[2] = kWide;
        QList<QSize> wideFirst = pages(3);
        wideFirst[0] = kWide;
        QTest::newRow("portrait view") << pages(5) << false << true << "0 1 2 3 4";
        QTest::newRow("landscape, shift") << pages(5) << true << true << "0 1 2-3 4";
        QTest::newRow("landscape, no shift") << pages(5) << true << false << "0 1-2 3-4";
        QTest::newRow("wide page stands alone") << wideThird << true << false << "0 1 2 3-4 5";
        QTest::newRow("wide cover") << wideFirst << true << false << "0 1-2";
        QTest::newRow("one page, shift") << pages(1) << true << true << "0";
        QTest::newRow("two pages, shift") << pages(2) << true << true << "0 1";
        QTest::newRow("unknown sizes pair like portrait") << pages(4, kUnknown) << true << false << "0 1-2 3";
        QTest::newRow("square pages pair") << pages(3, QSize(500, 500)) << true << false << "0 1-2";
        QTest::newRow("no pages") << QList<QSize>{} << true << true << "";
    }
    void rebuild()
    {
        QFETCH(QList<QSize>, sizes);
        QFETCH(bool, landscape);
        QFETCH(bool, shift);
        QFETCH(QString, pairs);
        QCOMPARE(describe(built(sizes, landscape, shift)), pairs);
    }

    void lookups()
    {
        const MangaPagination pairs = built(pages(5), true, false); // 0 1-2 3-4
        QCOMPARE(pairs.pairIndexForChunk(2), 1);
        QCOMPARE(pairs.pairIndexForChunk(3), 2);
        QCOMPARE(pairs.pairIndexForChunk(5), 0);
        QCOMPARE(pairs.pairIndexForChunk(-1), 0);
        QCOMPARE(MangaPagination().pairIndexForChunk(0), 0);
        QCOMPARE(pairs.at(-1).left, -1);
        QCOMPARE(pairs.at(3).right, -1);
        QCOMPARE(pairs.at(3).left, -1);
    }

    void anchorForShiftToggle()
    {
        const MangaPagination unshifted = built(pages(5), true, false); // 0 1-2 3-4
        const MangaPagination shifted = built(pages(5), true, true);    // 0 1 2-3 4
        QCOMPARE(unshifted.anchorChunkForShiftToggle(1, true), 2);
        QCOMPARE(unshifted.anchorChunkForShiftToggle(1, false), 1);
        QCOMPARE(shifted.anchorChunkForShiftToggle(1, false), 1);
        QCOMPARE(shifted.anchorChunkForShiftToggle(0, true), 0);
        QCOMPARE(shifted.anchorChunkForShiftToggle(-1, true), 0);
        QCOMPARE(shifted.anchorChunkForShiftToggle(4, true), 0);
    }
};

QTEST_GUILESS_MAIN(TestMangaPagination)
#include "tst_mangapagination.moc"
