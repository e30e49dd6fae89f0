#pragma once

// Well-formed UTF-8 of a long text decoded in slices side by side. Decoding one byte at a time is
// the longest step of opening a large plain-text book that one thread must take alone; the
// slices are decoded on the free threads of a pool, each straight to where its units belong, so
// that the text comes out in one buffer as one pass over the whole would write it.
//
// A slice never starts inside a character, so a character is well-formed in its slice exactly
// when it is in the whole: the bytes are accepted or refused as decodeWellFormedUtf8 accepts or
// refuses them.
//
// Stateless; any thread (the pool's own included: see ParallelFor).

#include <QByteArray>

class QThreadPool;

namespace Utf8Slices {

// Bytes below which the text is decoded on the calling thread alone.
constexpr qsizetype kSliceBytes = 256 * 1024;

// The UTF-16 units that well-formed UTF-8 decodes into, counted without checking it: for bytes
// that are not well-formed the answer means nothing.
qsizetype unitsOfWellFormed(const char* data, qsizetype size);

// What TextEncoding::decodeUtf8Into(data, out) writes and answers, the slices decoded on pool.
qsizetype decodeInto(const QByteArray& data, char16_t* out, QThreadPool& pool);

} // namespace Utf8Slices
