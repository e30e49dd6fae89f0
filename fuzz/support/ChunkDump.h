#pragma once

// A text form of content blocks holding every field, one entry per block, so that harnesses can
// compare two ways of making the same blocks and print the difference. Pure; any thread.

#include "content/ContentModel.h"

#include <QList>
#include <QStringList>

namespace ChunkDump {

QStringList blocks(const QList<BlockItem>& blocks);

// The document's blocks behind a chunk list: the blocks of all chunks in order, less the
// container items a cut synthesises (each chunk's first reopenedContainers items, and as many
// closing items at the end of the chunk before it).
QList<BlockItem> documentBlocks(const QList<ContentChunk>& chunks);

// Aborts, printing the first entry that differs, unless both dumps are equal.
void requireSame(const QStringList& expected, const QStringList& actual, const char* what);

} // namespace ChunkDump
