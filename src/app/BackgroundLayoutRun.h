#pragma once

// One background layout run of the reading model. A measurement run prepares each chunk whose
// prepared entry is still empty and lays every chunk out; a relayout run only lays the prepared
// chunks out again. A book too large to keep every prepared chunk (PreparedRetention) keeps
// only those of the model's window, and of chunks still waiting for a picture's size: the others
// are dropped as soon as they are laid out, so the run never holds them all. The work is spread
// over the global pool with ParallelFor, results stored by chunk index (so list positions stay
// chunk indices). Everything a run reads is a copy it owns,
// plus the image resolver (thread-safe) and the generation token it shares with its model; it
// never touches the model itself.
//
// measurementTask() and relayoutTask() run on a pool thread. They never wait for a thread of the
// pool: the calling thread works through every chunk no free thread took, so a run finishes on a
// pool of one thread too. The rest is a plain value made and read on the GUI thread.

#include "ChunkLayout.h"
#include "ChunkLayoutEngine.h"
#include "content/ContentModel.h"
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
    bool keepsAllPrepared = true; // false: see above
    int generation = 0;
    std::shared_ptr<const std::atomic<int>> currentGeneration;

    // A later run, a new book or the model's destruction moved the generation on.
    bool isStale() const { return currentGeneration->load() != generation; }
    // Some chunk with content has no prepared entry yet: only a measurement run completes it.
    bool needsPreparation() const;

    // Both return false when the run became stale midway; its lists are then incomplete and must
    // be dropped.
    bool measurementTask();
    bool relayoutTask();

private:
    ChunkLayout measureChunk(qsizetype index, ChunkLayoutEngine::PreparedChunk& kept) const;
};
