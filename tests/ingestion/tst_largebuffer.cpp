#include "text/LargeBuffer.h"

#include <QTest>

#include <thread>

namespace {

char patternAt(qsizetype i)
{
    return char((i * 131 + i / 4096) & 0xFF);
}

} // namespace

class TestLargeBuffer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Populating takes faults only: what one thread wrote before and while another populated the
    // buffer is all still there, in the small buffers malloc serves and in mapped ones of any size.
    void populatingKeepsWhatIsWritten_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("populated");
        QTest::newRow("small, from malloc") << qsizetype(1000) << qsizetype(1000);
        QTest::newRow("one huge page") << qsizetype(2 * 1024 * 1024) << qsizetype(2 * 1024 * 1024);
        QTest::newRow("pages and a part") << qsizetype(5 * 1024 * 1024 + 4097) << qsizetype(3 * 1024 * 1024 + 1);
        QTest::newRow("more asked than held") << qsizetype(3 * 1024 * 1024) << qsizetype(64 * 1024 * 1024);
    }
    void populatingKeepsWhatIsWritten()
    {
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, populated);
        LargeBuffer buffer(size);
        QCOMPARE(buffer.size(), size);
        char* const data = buffer.data();
        const qsizetype half = size / 2;
        for (qsizetype i = 0; i < half; ++i)
            data[i] = patternAt(i);
        std::thread populating([&buffer, populated] { buffer.populate(populated); });
        for (qsizetype i = half; i < size; ++i)
            data[i] = patternAt(i);
        populating.join();
        buffer.populate(populated); // again, over pages already in place
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] != patternAt(i))
                QFAIL(qPrintable(QStringLiteral("byte %1 changed").arg(i)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLargeBuffer)
#include "tst_largebuffer.moc"
