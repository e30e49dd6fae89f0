#pragma once

// Runs a job for every index of a range on the calling thread together with the threads of a pool
// that are free at the time of the call.
//
// Unlike QtConcurrent's blocking calls, this never waits for the pool to find a thread: helpers are
// only started on threads that are free right now, and the calling thread works through the range
// itself. A task already running on the pool (the book-opening task) may therefore call it even
// when every other thread of the pool is busy, or is itself waiting in such a call: at worst the
// range runs on the caller alone, never into a deadlock.
//
// Any thread, including a thread of the pool itself. The job is called concurrently from several
// threads, each index exactly once, in no particular order; run() returns when every call has.

#include <QtGlobal>

#include <functional>

class QThreadPool;

class ParallelFor {
public:
    static void run(QThreadPool& pool, qsizetype count, const std::function<void(qsizetype index)>& job);
};
