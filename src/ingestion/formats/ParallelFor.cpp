#include "formats/ParallelFor.h"

#include "text/CancelToken.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QWaitCondition>

#include <atomic>
#include <utility>

struct ParallelFor::Progress {
    Progress(qsizetype count, Job job)
        : count(count)
        , job(std::move(job))
    {
    }

    // Every thread takes the next index nobody has taken yet, so uneven jobs balance out; a
    // cancelled loop hands out no more.
    void work()
    {
        for (qsizetype index = next++; index < count && !token.isCancelled(); index = next++)
            job(index);
    }

    const qsizetype count;
    Job job;
    // The starting thread's, so that the jobs on the helpers see the same request to stop.
    const CancelToken token = CancelToken::current();
    std::atomic<qsizetype> next { 0 };
    QMutex mutex;
    QWaitCondition helpersDone;
    int helpersRunning = 0;
    bool finished = false;
};

ParallelFor::ParallelFor(QThreadPool& pool, qsizetype count, Job job)
    : progress(std::make_shared<Progress>(count, std::move(job)))
{
    // The starting thread takes part in finish(), so one index is left for it at least.
    for (qsizetype helpers = 0; helpers < count - 1; ++helpers) {
        {
            const QMutexLocker locker(&progress->mutex);
            ++progress->helpersRunning;
        }
        // The helper holds its own reference: it signals after the last job, when finish() may
        // already be returning.
        const bool started = pool.tryStart([progress = progress] {
            {
                const CancelToken::Scope scope(progress->token);
                progress->work();
            }
            const QMutexLocker locker(&progress->mutex);
            if (--progress->helpersRunning == 0)
                progress->helpersDone.wakeAll();
        });
        if (!started) {
            const QMutexLocker locker(&progress->mutex);
            --progress->helpersRunning;
            break;
        }
    }
}

ParallelFor::~ParallelFor()
{
    finish();
}

void ParallelFor::finish()
{
    if (progress->finished)
        return;
    progress->work();
    // The job is the caller's: no helper may still be inside it when finish() returns.
    QMutexLocker locker(&progress->mutex);
    while (progress->helpersRunning > 0)
        progress->helpersDone.wait(&progress->mutex);
    progress->finished = true;
    progress->job = nullptr; // and what it captured goes here, not on a helper's thread
}

void ParallelFor::run(QThreadPool& pool, qsizetype count, Job job)
{
    ParallelFor loop(pool, count, std::move(job));
    loop.finish();
}

namespace {

// Threads started ahead are held until all have started, so that the pool cannot hand one of them
// a second start: at most this long, as real work may already be waiting for them.
constexpr int kStartingWaitMs = 50;

struct Starting {
    QMutex mutex;
    QWaitCondition allStarted;
    bool done = false;

    void hold()
    {
        const QDeadlineTimer deadline(kStartingWaitMs);
        const QMutexLocker locker(&mutex);
        while (!done && allStarted.wait(&mutex, deadline)) {
        }
    }
};

} // namespace

void ParallelFor::startThreads(QThreadPool& pool)
{
    // One thread is started here; it starts the others, so that the caller waits for one only.
    auto starting = std::make_shared<Starting>();
    pool.start([&pool, starting] {
        for (int k = 1; k < pool.maxThreadCount(); ++k) {
            if (!pool.tryStart([starting] { starting->hold(); }))
                break;
        }
        {
            const QMutexLocker locker(&starting->mutex);
            starting->done = true;
        }
        starting->allStarted.wakeAll();
    });
}
