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

} // namespace WoffDecoder
