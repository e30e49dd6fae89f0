#include "formats/ParallelFor.h"

#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <vector>

class TestParallelFor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyIndexRunsOnce_data();
    void everyIndexRunsOnce();
    void saturatedPoolDoesNotDeadlock();
    void callerMayWorkBeforeFinishing();
    void startingThreadsNeverWaitsForThePool();
};

void TestParallelFor::everyIndexRunsOnce_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("many") << 5000;
}

void TestParallelFor::everyIndexRunsOnce()
{
    QFETCH(int, count);
    QThreadPool pool;
    std::vector<std::atomic<int>> runs(count);
    ParallelFor::run(pool, count, [&runs](qsizetype index) { ++runs[index]; });
    for (int i = 0; i < count; ++i)
        QCOMPARE(runs[i].load(), 1);
}

void TestParallelFor::saturatedPoolDoesNotDeadlock()
{
    // Every thread of the pool runs a task that waits for a loop on that same pool, whose jobs
    // wait for loops of their own: a loop that queued its work on the pool would wait forever.
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    std::atomic<int> innerJobs { 0 };
    for (int task = 0; task < pool.maxThreadCount(); ++task) {
        pool.start([&pool, &innerJobs] {
            ParallelFor::run(pool, 20, [&pool, &innerJobs](qsizetype) {
                ParallelFor::run(pool, 10, [&innerJobs](qsizetype) { ++innerJobs; });
            });
        });
    }
    QVERIFY(pool.waitForDone(60000));
    QCOMPARE(innerJobs.load(), 2 * 20 * 10);
}

void TestParallelFor::callerMayWorkBeforeFinishing()
{
    QThreadPool pool;
    std::vector<std::atomic<int>> runs(300);
    int ownWork = 0;
    {
        ParallelFor loop(pool, qsizetype(runs.size()), [&runs](qsizetype index) { ++runs[index]; });
        ownWork = 1;
        // Leaving the scope finishes the loop.
    }
    QCOMPARE(ownWork, 1);
    for (const std::atomic<int>& count : runs)
        QCOMPARE(count.load(), 1);

    ParallelFor loop(pool, 3, [&runs](qsizetype index) { ++runs[index]; });
    loop.finish();
    loop.finish();
    QCOMPARE(runs[2].load(), 2);
}

void TestParallelFor::startingThreadsNeverWaitsForThePool()
{
    // Every thread of the pool is busy until the loop below has run: starting threads ahead may
    // neither wait for one nor keep one from the loop's helpers for good.
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    QSemaphore busy;
    QSemaphore release;
    for (int task = 0; task < pool.maxThreadCount(); ++task) {
        pool.start([&busy, &release] {
            busy.release();
            release.acquire();
        });
    }
    busy.acquire(pool.maxThreadCount());
    ParallelFor::startThreads(pool);
    std::vector<std::atomic<int>> runs(100);
    ParallelFor::run(pool, qsizetype(runs.size()), [&runs](qsizetype index) { ++runs[index]; });
    for (const std::atomic<int>& count : runs)
        QCOMPARE(count.load(), 1);
    release.release(pool.maxThreadCount());
    QVERIFY(pool.waitForDone(60000));

    ParallelFor::startThreads(pool); // on an idle pool, the threads start and are let go
    ParallelFor::run(pool, qsizetype(runs.size()), [&runs](qsizetype index) { ++runs[index]; });
    QVERIFY(pool.waitForDone(60000));
    for (const std::atomic<int>& count : runs)
        QCOMPARE(count.load(), 2);
}

QTEST_GUILESS_MAIN(TestParallelFor)
#include "tst_parallelfor.moc"
