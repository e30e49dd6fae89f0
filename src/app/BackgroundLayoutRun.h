#pragma once

// One background layout run of the reading model: prepares the chunks whose prepared entry is still
// empty, then lays every chunk out, as two ordered map-and-reduce stages on the global thread pool
// (so list positions stay chunk indices). Everything a run reads is a copy it owns, plus the image
// resolver (thread-safe) and the generation token it shares with its model; it never touches the
// model itself.
//
// execute() runs on a pool thread. The rest is a plain value made and read on the GUI thread.

#include "ChunkLayout.h"
#include "ChunkLayoutEngine.h"
#include "ContentModel.h"
#include "LayoutParams.h"

#include <QList>

#include <atomic>
#include <memory>

class IBookImageResolver;

struct BackgroundLayoutRun {
    ChunkLayoutEngine engine; // a copy sharing the model's measurer
    QList<ContentChunk> chunks;
    QList<ChunkLayoutEngine::PreparedChunk> prepared; // one entry per chunk; empty entries get prepared
    QList<ChunkLayout> layouts;                       // the result: one layout per chunk
    int fontSize = 16;
    LayoutParams params;
    IBookImageResolver* resolver = nullptr;
    int windowFirst = -1; // the rows the model laid out itself when the run started
    int windowLast = -1;
    int generation = 0;
    std::shared_ptr<const std::atomic<int>> currentGeneration;

    // A later run, a new book or the model's destruction moved the generation on.
    bool isStale() const { return currentGeneration->load() != generation; }

    // False when the run became stale midway; its lists are then incomplete and must be dropped.
    bool execute();
};
