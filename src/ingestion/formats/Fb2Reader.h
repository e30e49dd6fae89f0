#pragma once

// The reader of FictionBook 2 books, plain or zipped, over an Fb2ByteSource: title, author and
// cover from description/title-info, and the bodies (the main text, then the notes) turned into
// content chunks section by section, each section's chunks named by its path in the book
// ("body0/section3/section1").
//
// One thread at a time (see FormatReader): open() runs on the book-opening task, loadMetadata()
// on a history task.

#include "formats/MetadataReader.h"

#include <QDomElement>
#include <QList>
#include <QString>

class Fb2Reader : public MetadataReader {
public:
    // sourceFactory must make Fb2ByteSources: the reader needs the book's XML, not only its entries.
    Fb2Reader(SourceFactory sourceFactory, QString scheme);

    int contentKind() const override { return ContentKind::Text; }
    bool open(const QString& path) override;
    bool loadMetadata(const QString& path) override;
    // m_book.cover is the binary id of the cover image, without "#".
    QString coverImageUrl() const override { return m_book.coverImageUrl(m_scheme); }
    QList<ComicPage> pages() const override { return {}; }
    QList<ContentChunk> chunks() const override { return m_chunks; }

    // Sections nested deeper than this are read as content of the deepest section kept.
    static constexpr int kMaxSectionDepth = 64;

    // Bytes the book may need in memory (BookMemoryBudget), counted by what its content is made
    // of (BookCostMeter); a book that needs more is refused. BookMemoryBudget::defaultBudget()
    // unless set.
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }

private:
    bool parseOpen(const QString& path, bool metadataOnly);
    void readMetadata(const QString& xml);
    // False when the document is not well-formed and no text can be recovered from it. What is
    // built is charged to m_params.costMeter.
    bool appendBodies(const QString& xml);
    void appendSection(const QDomElement& section, const QString& chunkId, int depth);
    void appendContent(const QDomElement& owner, const QList<QDomNode>& nodes, const QString& chunkId, int depth);

    SourceFactory m_sourceFactory;
    QString m_scheme;
    QList<ContentChunk> m_chunks;
    qint64 m_memoryBudget;
    ParseParams m_params; // of the open in progress
};
