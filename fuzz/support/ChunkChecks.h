#pragma once

// The invariants every producer of content chunks promises (ContentModel.h), checked on a
// harness's result: a broken one aborts with its name, so the fuzzer keeps the input.
//
// Stateless; any thread.

#include "content/ContentModel.h"

#include <QList>

namespace ChunkChecks {

// Aborts with a message when what is false.
void require(bool condition, const char* what);

// Nesting, non-empty chunks, trimmed paragraphs with runs, weights, run fields, and finite
// lengths and sizes everywhere (the layout computes with them).
void checkChunks(const QList<ContentChunk>& chunks);
// Finite lengths, a positive finite font size and a weight of 100..900.
void checkTextStyle(const TextStyle& style);
void checkBox(const BoxStyle& box);
// A reader's chunks: those of its documents, or for a book without readable content the one
// chunk that holds a single empty paragraph.
void checkReaderChunks(const QList<ContentChunk>& chunks);

} // namespace ChunkChecks
