#pragma once

// A text dump of a laid-out chunk, one text line per layout line, so a reader (or a golden test)
// sees where lines break and how they are placed. Pure; any thread.
//
// A line reads "y=<top> h=<height> x=<left> w=<width> |<text>|": the text of its runs left to
// right as a reader sees them (each word in its own character order), with one space where the
// runs are a word gap apart (glue between words), and "[image <source>]" for each image standing
// on it. Numbers have two decimals.

#include "ChunkLayout.h"

#include <QStringList>

namespace ChunkLayoutDump {

QString lineText(const ChunkLayout& layout, const LayoutLine& line);

// One entry per line; top is added to every y (the chunk's top in a column of chunks).
QStringList lines(const ChunkLayout& layout, double top = 0);

// One entry per line, "y=<top> <run> <run> ...", each run "x=<left> w=<width> |<text>|" left to
// right as placed ("|-|" for a hyphen alone, "||" for a drawn gap), so the gaps between runs show.
QStringList runs(const ChunkLayout& layout, double top = 0);

// "chunk height=.. width=..", the lines, then "image", "rule" and "box" entries.
QStringList full(const ChunkLayout& layout);

} // namespace ChunkLayoutDump
