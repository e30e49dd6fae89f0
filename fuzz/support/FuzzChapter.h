#pragma once

// A chapter read from a bundle (FuzzBundle) the way a reader reads a spine document: the parts
// named "*.css" are its linked style sheets, in order, and the first other non-empty part is its
// (X)HTML or FictionBook text; the text's <style> elements join the cascade after the linked
// sheets. A text that is no XML even after HtmlEntities::toXmlSafe is read by the HTML5 parser,
// with the same sheets.
//
// Stateless; any thread.

#include "content/ContentModel.h"
#include "content/DocumentChunkBuilder.h"

#include <QByteArray>
#include <QList>

namespace FuzzChapter {

// The chapter's chunks, as the EPUB reader would make them with this budget.
QList<ContentChunk> parseChunks(const QByteArray& input, int budget = DocumentChunkBuilder::kReaderBudget);

} // namespace FuzzChapter
