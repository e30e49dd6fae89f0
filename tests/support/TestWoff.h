#pragma once

// Writes WOFF 1.0 fixtures: the tables of an sfnt font in the WOFF wrapper, each zlib-compressed
// when that makes it smaller (or all stored as they are).

#include <QByteArray>

namespace TestWoff {

// The WOFF file of the TrueType or OpenType font sfnt; empty when sfnt is no such font.
QByteArray fromSfnt(const QByteArray& sfnt, bool compress = true);

} // namespace TestWoff
