#include "content/ContentModel.h"

#include <QTest>

// The numeric values of the kinds and the defaults are compared as plain ints by every consumer.
class TestContentModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaults()
    {
        BlockItem item;
        QCOMPARE(item.kind, 2);
        QCOMPARE(item.fontSize, 16.0);
        QCOMPARE(int(item.align), 0);
        QVERIFY(item.runs.isEmpty());
        QVERIFY(!item.ruleColour.isValid());
        InlineRun run;
        QCOMPARE(run.width, -1.0);
        QCOMPARE(run.maxWidth, -1.0);
        QCOMPARE(int(InlineRun::LineBreak), 2);
        QCOMPARE(int(BlockItem::Rule), 3);
    }
};

QTEST_GUILESS_MAIN(TestContentModel)
#include "tst_contentmodel.moc"
