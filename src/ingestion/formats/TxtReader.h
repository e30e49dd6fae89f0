#pragma once

// The reader of plain-text books: decodes the file in its detected encoding and cuts it into
// paragraphs and chunks. It reads no container, so it has no byte source and no images. What
// decodes into binary data or into replacement characters (TextContentCheck) fails to open.
//
// Used by one thread at a time, as every FormatReader: opened on a worker thread, then only read.

#include "formats/BookMemoryBudget.h"
#include "formats/MetadataReader.h"

class TxtReader : public MetadataReader {
public:
    int contentKind() const override { return ContentKind::Text; }
    bool open(const QString& path) override;
    // Path and title only: the text is not read.
    bool loadMetadata(const QString& path) override;
    QString coverImageUrl() const override { return QString(); }
    QList<ComicPage> pages() const override { return {}; }
    QList<ContentChunk> chunks() const override { return m_chunks; }

    // Larger files are refused rather than held several times over in memory.
    static constexpr qint64 kMaxFileSize = qint64(256) * 1024 * 1024;
    // Bytes a book may need in memory once laid out (BookMemoryBudget); a book whose text needs
    // more is refused. BookMemoryBudget::defaultBudget() unless set.
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }

private:
    // Clears every field, then takes the path and the title of the new book.
    void start(const QString& path);
    bool fail(const QString& message);
    // Judges the decoded text and cuts it into the book's chunks; false, with the reason, when
    // it is no text or too large to hold.
    bool settle(QStringView text, const QString& fileName);

    QList<ContentChunk> m_chunks;
    qint64 m_memoryBudget = BookMemoryBudget::defaultBudget();
};
