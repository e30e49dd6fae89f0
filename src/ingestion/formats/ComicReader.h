#pragma once

// A comic book: the images of a CBZ, a CBR or a folder, as pages in natural reading order.
//
// Pages are the entries with an image suffix (see imageFileExtensions()), ordered numerically
// ("2.png" before "10.png"); folders and the resource forks of macOS ("__MACOSX/", "._name") are
// left out. Each page carries its pixel size, read from the image header without decoding it.
// Used by one thread at a time, like every FormatReader.

#include "formats/MetadataReader.h"

class ComicReader : public MetadataReader {
public:
    ComicReader(SourceFactory sourceFactory, QString scheme);

    int contentKind() const override { return ContentKind::Pages; }
    // Lists the pages with their sizes and takes the content hash.
    bool open(const QString& path) override;
    // Title and cover only: no page list, no sizes, no content hash.
    bool loadMetadata(const QString& path) override;
    // m_book.cover is the first page's entry.
    QString coverImageUrl() const override { return m_book.coverImageUrl(m_scheme); }
    // Entries are image URLs; sizes are (-1, -1) where the header could not be read.
    QList<ComicPage> pages() const override { return m_pages; }
    QList<ContentChunk> chunks() const override { return {}; }

private:
    bool load(const QString& path, bool withPages);
    void clear();

    SourceFactory m_sourceFactory;
    QString m_scheme;
    QList<ComicPage> m_pages;
};
