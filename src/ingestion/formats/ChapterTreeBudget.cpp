#include "formats/ChapterTreeBudget.h"

#include <QMutexLocker>

#include <algorithm>
#include <atomic>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

std::atomic<int> s_live{0};
std::atomic<int> s_peak{0};

} // namespace

ChapterTreeBudget::ChapterTreeBudget(qint64 units)
    : m_units(std::max<qint64>(1, units))
    , m_free(m_units)
{
}

ChapterTreeBudget::Share::Share(ChapterTreeBudget& budget, qint64 units)
    : m_budget(&budget)
    , m_units(std::clamp<qint64>(units, 1, budget.m_units))
{
    m_budget->take(m_units);
}

void ChapterTreeBudget::Share::release()
{
    if (!m_budget)
        return;
    m_budget->give(m_units);
    m_budget = nullptr;
}

void ChapterTreeBudget::take(qint64 units)
{
    {
        QMutexLocker lock(&m_mutex);
        while (m_free < units)
            m_freed.wait(&m_mutex);
        m_free -= units;
    }
    const int live = ++s_live;
    int peak = s_peak.load();
    while (live > peak && !s_peak.compare_exchange_weak(peak, live)) {
    }
}

void ChapterTreeBudget::give(qint64 units)
{
    --s_live;
    {
        const QMutexLocker lock(&m_mutex);
        m_free += units;
    }
    m_freed.wakeAll();
#if defined(__GLIBC__)
    // A tree is many small blocks, freed into the heap of the thread that built it, where no
    // other thread's tree can use them: a large one is handed back to the system at once, or
    // every thread would keep the largest tree it ever built.
    if (units >= m_units / 4)
        malloc_trim(0);
#endif
}

int ChapterTreeBudget::liveTrees()
{
    return s_live.load();
}

int ChapterTreeBudget::peakTrees()
{
    return s_peak.load();
}

void ChapterTreeBudget::resetPeak()
{
    s_peak.store(s_live.load());
}
