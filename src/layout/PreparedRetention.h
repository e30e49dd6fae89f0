#pragma once

// Which chunks of a book keep their prepared records (PreparedChunk) between layouts. Prepared
// records cost about 15 bytes per character of text, several times the text itself: a book of
// ordinary size keeps them all, so that a change of width only lays the chunks out again, but a
// larger book would hold hundreds of megabytes of them. Such a book keeps the prepared records of
// the rows around the reader only, and each full layout prepares the others anew, lays them out
// and drops them.
//
// A chunk whose pictures had no size yet keeps its record all the same: it is laid out again when
// a picture's size arrives, and only the record says which pictures it waits for.
//
// Plain functions of their arguments; any thread.

#include "PreparedChunk.h"

#include <QtGlobal>

namespace PreparedRetention {

// Books up to this much chunk weight (about characters of text) keep every prepared chunk:
// about 60 MB of records.
inline constexpr qint64 kKeepAllWeight = 4'000'000;

inline bool keepsAll(qint64 bookWeight)
{
    return bookWeight <= kKeepAllWeight;
}

inline bool waitsForImages(const PreparedChunk& prepared)
{
    for (const QSizeF& size : prepared.imageSizes) {
        if (!(size.width() > 0 && size.height() > 0))
            return true;
    }
    return false;
}

// Whether a chunk just laid out keeps its prepared record: all do in a book that keeps them all;
// in a large one, those of the rows near the reader and those waiting for a picture's size.
inline bool keeps(const PreparedChunk& prepared, bool bookKeepsAll, bool nearReader)
{
    return bookKeepsAll || nearReader || waitsForImages(prepared);
}

} // namespace PreparedRetention
