#pragma once

// Runs a job for every index of a range on the threads of a pool that are free when it starts,
// together with the thread that started it.
//
// Unlike QtConcurrent's blocking calls, this never waits for the pool to find a thread: helpers are
// only started on threads that are free right now, and the starting thread works through whatever
// is left when it finishes. A task already running on the pool (the book-opening task) may
// therefore use it even when every other thread of the pool is busy, or is itself inside such a
// loop: at worst the range runs on the starting thread alone, never into a deadlock.
//
// Between the constructor and finish() the starting thread may do other work of its own while the
// helpers run. The job is called concurrently from several threads, each index exactly once, in no
// particular order. Construct, finish and destroy on one thread (any thread, a pool's own included).
// The helpers run under the starting thread's CancelToken; once it is cancelled, indices not yet
// taken are skipped.

#include <QtGlobal>

#include <functional>
#include <memory>

class QThreadPool;

class ParallelFor {
public:
    using Job = std::function<void(qsizetype index)>;

    // Starts helpers on the free threads of pool; the job must stay callable until finish().
    ParallelFor(QThreadPool& pool, qsizetype count, Job job);
    ParallelFor(const ParallelFor&) = delete;
    ParallelFor& operator=(const ParallelFor&) = delete;
    // Finishes the loop if finish() was not called.
    ~ParallelFor();

    // Runs the indices no helper has taken yet on this thread, then waits for the helpers; when it
    // returns, every call of the job has returned.
    void finish();

    // Constructs and finishes at once.
    static void run(QThreadPool& pool, qsizetype count, Job job);

    // A pool starts its threads when work first comes, and a thread takes about as long to start
    // as a millisecond of work: a task about to use the pool calls this first, and the threads the
    // pool lacks start while it does work of its own. Returns at once; any thread.
    static void startThreads(QThreadPool& pool);

private:
    struct Progress;
    std::shared_ptr<Progress> progress; // shared with the helpers, which may outlast finish() briefly
};
