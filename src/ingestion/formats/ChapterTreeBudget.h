#pragma once

// How many chapter trees a book's open holds at once. The chapters of a book are parsed on several
// threads, and a DOM tree costs many times the text it is built from: a book of large chapters
// parsed all at once would hold one large tree per thread. Each chapter takes a share of the
// budget as large as its tree's cost, counted in bytes of text (at most the whole budget), before
// its tree is built and gives it back once its blocks are built and the tree is gone, so small
// chapters still run side by side while large ones take turns. The reader counts a byte of a
// folded formula as a third of one (see EpubReader).
//
// The memory of a large tree goes back to the system as soon as the tree is gone (glibc keeps
// freed blocks in the heap of the thread that freed them).
//
// Any thread. take() blocks until the share is free; the holders never wait for anything while
// they hold it, so a waiting thread always gets its turn.
//
// The live and peak counts cover every budget of the process: a test hook.

#include <QMutex>
#include <QWaitCondition>

class ChapterTreeBudget {
public:
    // Bytes of chapter text whose trees may exist at once: a few large chapters, about 40 MB of
    // trees.
    static constexpr qint64 kDefaultUnits = qint64(4) * 1024 * 1024;

    explicit ChapterTreeBudget(qint64 units = kDefaultUnits);
    ChapterTreeBudget(const ChapterTreeBudget&) = delete;
    ChapterTreeBudget& operator=(const ChapterTreeBudget&) = delete;

    // A share held for one chapter's tree; given back when destroyed (or by release()).
    class Share {
    public:
        Share(ChapterTreeBudget& budget, qint64 units);
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        ~Share() { release(); }
        void release();

    private:
        ChapterTreeBudget* m_budget;
        qint64 m_units;
    };

    // Chapter trees alive in the process now, and the most alive at once since resetPeak().
    static int liveTrees();
    static int peakTrees();
    static void resetPeak();

private:
    void take(qint64 units);
    void give(qint64 units);

    const qint64 m_units;
    qint64 m_free;
    QMutex m_mutex;
    QWaitCondition m_freed;
};
