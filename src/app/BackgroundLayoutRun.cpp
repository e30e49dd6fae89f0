#include "BackgroundLayoutRun.h"

#include <QtConcurrent/QtConcurrentMap>

bool BackgroundLayoutRun::execute()
{
    // Each mapped item checks the token, so a superseded run stops within one chunk per thread
    // instead of finishing the whole book (the model's destructor waits for it).
    QList<int> missing;
    for (int i = 0; i < chunks.size(); ++i) {
        if (prepared.at(i).isEmpty() && !chunks.at(i).blocks.isEmpty())
            missing.append(i);
    }
    if (!missing.isEmpty()) {
        const QList<PreparedChunk> fresh = QtConcurrent::blockingMappedReduced<QList<PreparedChunk>>(
            missing,
            [this](int index) {
                return isStale() ? PreparedChunk() : engine.prepareChunk(chunks.at(index), fontSize, resolver);
            },
            [](QList<PreparedChunk>& out, const PreparedChunk& one) { out.append(one); },
            QtConcurrent::OrderedReduce);
        if (isStale())
            return false;
        for (int k = 0; k < missing.size(); ++k)
            prepared[missing.at(k)] = fresh.at(k);
    }

    layouts = QtConcurrent::blockingMappedReduced<QList<ChunkLayout>>(
        prepared,
        [this](const PreparedChunk& one) {
            return isStale() ? ChunkLayout() : engine.layoutPreparedChunk(one, params);
        },
        [](QList<ChunkLayout>& out, const ChunkLayout& one) { out.append(one); },
        QtConcurrent::OrderedReduce);
    return !isStale();
}
