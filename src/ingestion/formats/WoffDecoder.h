#pragma once

// The font inside a web font file: WOFF 1.0 (sfnt tables, each stored plain or zlib-compressed)
// and WOFF 2.0 (decoded by the woff2 library). Plain TTF, OTF and TTC files pass through as their
// own font. Decoded sizes are bounded (kMaxFontBytes), so a hostile file cannot inflate without end.
//
// Stateless; any thread.

#include "formats/SfntFont.h"

#include <QByteArray>

namespace WoffDecoder {

constexpr qsizetype kMaxFontBytes = 64 * 1024 * 1024;

// The font of bytes, whichever of the formats above it is in; false for anything else or a
// damaged file.
bool decode(const QByteArray& bytes, SfntFont* out);

// The bytes the font of `bytes` takes once decoded, as its header states it (a decode never
// yields more): the whole file for a plain font. -1 for anything that is no font this reads.
qint64 decodedSize(const QByteArray& bytes);

} // namespace WoffDecoder
