#pragma once

// Small builders of content-model records for the layout tests, and an engine measuring with
// the fixed-advance font.

#include "ChunkLayoutEngine.h"
#include "content/ContentModel.h"

namespace ChunkFixture {

InlineRun text(const QString& text, const TextStyle& style = {});
InlineRun image(const QString& url, double width, double height, double maxWidth = -1);
InlineRun lineBreak();
BlockItem paragraph(const QList<InlineRun>& runs, TextAlign align = TextAlign::Justify);
BlockItem paragraph(const QString& text, TextAlign align = TextAlign::Justify);
BlockItem containerStart(const BoxStyle& box);
BlockItem containerEnd(const BoxStyle& box);
BlockItem rule(const QColor& colour = {});
ContentChunk chunk(const QList<BlockItem>& blocks, int reopenedContainers = 0);

ChunkLayoutEngine fixedEngine();

// Prepared at fontSize and laid out at width with the fixed-advance font.
ChunkLayout layout(const ContentChunk& chunk, double width, int fontSize = 16, double lineHeight = 1.0,
                   IBookImageResolver* resolver = nullptr);

// n words "w0 w1 ..." of varying lengths, for paragraphs that break over many lines.
QString words(int n);

} // namespace ChunkFixture
