#include "BackgroundLayoutRun.h"

#include "formats/ParallelFor.h"

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
    QList<qsizetype> missing;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (lacksPreparation(prepared.at(i), chunks.at(i)))
            missing.append(i);
    }
    // Each index checks the token, so a superseded run stops within one chunk per thread instead
    // of finishing the whole book (the model's destructor waits for it).
    ChunkLayoutEngine::PreparedChunk* out = prepared.data(); // detached here, written by index below
    ParallelFor::run(*QThreadPool::globalInstance(), missing.size(), [&](qsizetype k) {
        const qsizetype index = missing.at(k);
        if (!isStale())
            out[index] = engine.prepareChunk(chunks.at(index), fontSize, resolver);
    });
    if (isStale())
        return false;
    return relayoutTask();
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
