#pragma once

// Turns an (X)HTML or FictionBook element tree, styled by the user-agent sheet, the book's sheets
// and style attributes, into content chunks through the DocumentChunkBuilder.
//
// Block elements (by their computed display) end the paragraph around them; those with margins,
// paddings, borders or a background become containers, opened when their first content arrives
// (an empty one is left out) and always closed again. As in CSS, a container's top margin
// collapses with the bottom margins of the containers closed right before it and with the top
// margins of those opened right before it. The vocabulary is FictionBook when the document
// element is FictionBook, else HTML. Lists number their items by list-style-type (ol start, li
// value); br, hr, img, svg image, and FictionBook's empty-line and image are the leaves.
//
// Readers build the tree through MarkupFallback: with XmlDomParser, which keeps the white space
// between inline elements, or, for chapters that are not well-formed, with HtmlSoupParser, which
// gives the same shape.
// The tree is walked without recursion. Elements nested deeper than kMaxStyledDepth add their text
// to the element above them, unstyled, so a hostile document costs time linear in its size.
//
// Stateless between calls; any thread, several at once (the EPUB reader parses its documents in
// parallel), each call with a tree of its own.

#include "content/ContentModel.h"

#include <QDomElement>
#include <QList>
#include <QString>

namespace Css {
class StyleSheet;
}

class HtmlBlockParser {
public:
    static constexpr int kMaxStyledDepth = 256;

    // Walks root with the cascade of sheet (may be null). Image sources are resolved with
    // ImageUrl::resolve(providerId, src, bookPath, baseDir). sectionDepth is the nesting depth of
    // the FB2 section root (1 for EPUB documents) and sizes FB2 section titles.
    // An "image://" source written in the document is refused (the image is left out): a book
    // names its own entries only.
    static QList<ContentChunk> parseChunks(const QDomElement& root, const QString& chunkId, int budget,
                                           const ParseParams& params, const Css::StyleSheet* sheet,
                                           const QString& providerId, const QString& bookPath,
                                           const QString& baseDir, int sectionDepth);

    // HTML text: wrapped in <body><p> when it lacks them, made XML-safe and read by XmlDomParser
    // (no style sheets apply); a document that still is not well-formed is read by
    // HtmlSoupParser as a browser would, and one that yields nothing there either degrades to
    // plainTextChunks, never to nothing.
    static QList<ContentChunk> parseChunks(const QString& html, const QString& chunkId, int budget,
                                           const ParseParams& params);

    // The paragraphs HtmlPlainText finds in markup, unstyled: for markup of no known structure.
    static QList<ContentChunk> plainTextChunks(const QString& markup, const QString& chunkId, int budget,
                                               const ParseParams& params);

    // The blocks of one chunk built with DocumentChunkBuilder::kSingleChunkBudget.
    static QList<BlockItem> parse(const QString& html, const ParseParams& params);

};
