#include "ParallelFor.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QWaitCondition>

#include <atomic>
#include <memory>

namespace {

// Owned jointly by the caller and its helpers: a helper still signals after the caller's last
// index is done, so none of this may live on the caller's stack.
struct Progress {
    std::atomic<qsizetype> next { 0 };
    QMutex mutex;
    QWaitCondition helpersDone;
    int helpersRunning = 0;
};

} // namespace

void ParallelFor::run(QThreadPool& pool, qsizetype count, const std::function<void(qsizetype index)>& job)
{
    if (count <= 0)
        return;
    const auto progress = std::make_shared<Progress>();
    // Every thread takes the next index that nobody has taken yet, so uneven jobs balance out.
    const auto work = [&job, count, progress] {
        for (qsizetype index = progress->next++; index < count; index = progress->next++)
            job(index);
    };

    for (qsizetype helpers = 0; helpers < count - 1; ++helpers) {
        {
            const QMutexLocker locker(&progress->mutex);
            ++progress->helpersRunning;
        }
        const bool started = pool.tryStart([work, progress] {
            work();
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

    work();
    // The job is the caller's: no helper may still be inside it when run() returns.
    QMutexLocker locker(&progress->mutex);
    while (progress->helpersRunning > 0)
        progress->helpersDone.wait(&progress->mutex);
}
