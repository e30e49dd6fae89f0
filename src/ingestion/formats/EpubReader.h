#pragma once

// The reader of EPUB books (2 and 3): follows META-INF/container.xml to the package document,
// reads title, first creator and cover from it, registers the embedded fonts (undoing their
// obfuscation), and turns every spine document, styled by its linked and inline style sheets, into
// content chunks. A spine item that is no content document stands for the first one of its
// manifest fallback chain, or is skipped.
//
// One thread at a time (see FormatReader): open() runs on the book-opening task, loadMetadata()
// on a history task. Embedded fonts are registered from that thread through EmbeddedFonts.
// Inside open() the spine documents are parsed in parallel, on the opening thread and the free
// threads of the global pool (see ParallelFor); the byte source is only ever read by one of them at
// a time, and the chunks keep the spine order.

#include "formats/EpubFontObfuscation.h"
#include "formats/FormatReader.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class StyleSheetCache;

struct EpubManifestItem {
    QString href;       // percent-decoded as UTF-8, relative to the package document
    QString mediaType;  // lower-cased
    QString properties; // as written
    QString fallback;   // id of the item to show in its place, as written
};

// What one spine document yields. Parsed on any thread; its fonts are registered and its chunks
// appended in spine order by the opening thread.
struct EpubSpineDocument {
    QList<ContentChunk> chunks;
    QStringList fontPaths; // cleaned archive paths of its @font-face sources, in order
    bool notText = false;  // its bytes are binary: nothing of it is shown
    bool asksColourScheme = false; // its style sheets have queries of prefers-color-scheme
};

class EpubReader : public FormatReader {
public:
    EpubReader(SourceFactory sourceFactory, QString scheme);

    int contentKind() const override { return ContentKind::Text; }
    bool open(const QString& path) override;
    bool loadMetadata(const QString& path) override;
    QString errorString() const override { return errorString_; }
    QString filePath() const override { return filePath_; }
    QString title() const override { return title_; }
    QString author() const override { return author_; }
    QString coverImageUrl() const override;
    QByteArray contentHash() const override { return contentHash_; }
    QList<ComicPage> pages() const override { return {}; }
    QList<ContentChunk> chunks() const override { return chunks_; }
    bool followsColourScheme() const override { return followsColourScheme_; }

private:
    bool parseOpen(const QString& path, bool metadataOnly);
    static bool parseContainer(const QByteArray& bytes, QString* outPath);
    // Unless metadataOnly, *fontPaths gets the cleaned paths of the manifest's font items in
    // manifest order; parseOpen registers them. *identifiers gets the dc:identifier texts, the
    // package's unique identifier first.
    bool parseOpf(const QByteArray& bytes, bool metadataOnly, QStringList* fontPaths, QStringList* identifiers);
    // The item shown for the spine item of this manifest id: itself when it is a content document,
    // else the first content document of its fallback chain; null when there is none.
    const EpubManifestItem* spineDocumentFor(const QString& id) const;
    // Any thread: reads only fields that stay unchanged while the spine is parsed.
    EpubSpineDocument parseSpineDocument(const QString& html, const QString& path,
                                         StyleSheetCache& styleSheetCache) const;
    // A picture standing in the spine by itself (a bitmap or an SVG page): one chunk showing it.
    EpubSpineDocument imageSpineDocument(const QString& path) const;
    void appendSpineChunks(EpubSpineDocument&& document, const QString& path, const IByteSource& source,
                           QSet<QString>& loadedFontPaths);
    void registerFont(const QString& path, const QByteArray& stored) const;

    SourceFactory sourceFactory;
    QString scheme;
    QString filePath_;
    QByteArray contentHash_;
    QString title_;
    QString author_;
    QString language_;     // the first dc:language
    QString errorString_;
    QString opfDirectory; // with its final "/", empty for an OPF at the archive root
    QString coverPath;
    QHash<QString, EpubManifestItem> manifest;
    QList<QString> spine;  // cleaned archive paths, in reading order
    QSet<QString> imageSpinePaths; // the spine items whose media type is an image
    QList<ContentChunk> chunks_;
    bool followsColourScheme_ = false;
    EpubFontObfuscation fontObfuscation; // of the open book's fonts, set before they are registered
};
