#include "BackgroundLayoutRun.h"

#include "formats/ParallelFor.h"
#include "PreparedRetention.h"

#include <QThreadPool>

namespace {

bool lacksPreparation(const ChunkLayoutEngine::PreparedChunk& prepared, const ContentChunk& chunk)
{
    return prepared.isEmpty() && !chunk.blocks.isEmpty();
}

} // namespace

bool BackgroundLayoutRun::needsPreparation() const
{
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (lacksPreparation(prepared.at(i), chunks.at(i)))
            return true;
    }
    return false;
}

bool BackgroundLayoutRun::measurementTask()
{
    layouts = QList<ChunkLayout>(chunks.size());
    ChunkLayout* out = layouts.data();
    ChunkLayoutEngine::PreparedChunk* kept = prepared.data(); // detached here, written by index below
    // Each index checks the token, so a superseded run stops within one chunk per thread instead
    // of finishing the whole book (the model's destructor waits for it).
    ParallelFor::run(*QThreadPool::globalInstance(), chunks.size(), [&](qsizetype index) {
        if (!isStale())
            out[index] = measureChunk(index, kept[index]);
    });
    return !isStale();
}

ChunkLayout BackgroundLayoutRun::measureChunk(qsizetype index, ChunkLayoutEngine::PreparedChunk& kept) const
{
    if (!lacksPreparation(kept, chunks.at(index)))
        return engine.layoutPreparedChunk(kept, params);
    ChunkLayoutEngine::PreparedChunk fresh = engine.prepareChunk(chunks.at(index), fontSize, resolver);
    ChunkLayout layout = engine.layoutPreparedChunk(fresh, params);
    const bool inWindow = index >= windowFirst && index <= windowLast;
    if (PreparedRetention::keeps(fresh, keepsAllPrepared, inWindow))
        kept = std::move(fresh);
    return layout;
}

bool BackgroundLayoutRun::relayoutTask()
{
    layouts = QList<ChunkLayout>(prepared.size());
    ChunkLayout* out = layouts.data();
    ParallelFor::run(*QThreadPool::globalInstance(), prepared.size(), [&](qsizetype index) {
        if (!isStale())
            out[index] = engine.layoutPreparedChunk(prepared.at(index), params);
    });
    return !isStale();
}
