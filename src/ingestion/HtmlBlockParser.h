#pragma once

// Turns an (X)HTML or FictionBook element tree, styled by the user-agent sheet, the book's sheets
// and style attributes, into content chunks through the DocumentChunkBuilder.
//
// Stateless between calls; a call runs on the calling thread (the book-opening task).

#include "ContentModel.h"

#include <QDomElement>
#include <QList>
#include <QString>

namespace Css {
class StyleSheet;
}

class HtmlBlockParser {
public:
    // Walks root with the cascade of sheet (may be null). Image sources are resolved with
    // ImageUrl::resolve(providerId, src, bookPath, baseDir). sectionDepth is the nesting depth of
    // the FB2 section root (1 for EPUB documents) and sizes FB2 section titles.
    static QList<ContentChunk> parseChunks(const QDomElement& root, const QString& chunkId, int budget,
                                           const ParseParams& params, const Css::StyleSheet* sheet,
                                           const QString& providerId, const QString& bookPath,
                                           const QString& baseDir, int sectionDepth);

    // HTML text: wrapped in <body><p> when it lacks them, made XML-safe; a document that still is
    // not well-formed degrades to plain paragraphs of its text, never to nothing.
    static QList<ContentChunk> parseChunks(const QString& html, const QString& chunkId, int budget,
                                           const ParseParams& params);

    // The blocks of one chunk built with DocumentChunkBuilder::SingleChunkBudget.
    static QList<BlockItem> parse(const QString& html, const ParseParams& params);
};
