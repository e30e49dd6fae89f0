#pragma once

// Words wider than their column (a long URL, a compound, a line of code) broken where they must
// be, as CSS overflow-wrap: anywhere breaks them: a stretch of text no line may break inside
// that is wider than the column gets a break opportunity between every two grapheme clusters,
// so that lines fill up to the edge and nothing is drawn beyond it. Words that fit a line of
// their own are left whole. The breaks show no hyphen; they stretch a little, so that a line
// ending inside such a word is justified without a visible gap. Images are narrowed to the
// column by chunk layout instead.
//
// Part of chunk layout, on its thread; it measures the clusters through the engine's measurer.

#include "ITextMeasurer.h"
#include "KnuthPlass.h"
#include "PreparedChunk.h"

#include <QList>

namespace OverlongWords {

// A copy of paragraph whose words wider than width are broken into clusters; items holds its
// items unpacked, in and out.
PreparedParagraph broken(const PreparedChunk& chunk, const ITextMeasurer& measurer,
                         const PreparedParagraph& paragraph, double width, QList<KnuthPlass::Item>& items);

} // namespace OverlongWords
