#pragma once

// The reader of EPUB books (2 and 3): follows META-INF/container.xml to the package document,
// reads title, first creator and cover from it, registers the embedded fonts (undoing their
// obfuscation) under names of their own, and turns every spine document, styled by its linked and
// inline style sheets, into content chunks whose styles name those fonts. A spine item that is no content document stands for the first one of its
// manifest fallback chain, or is skipped.
//
// One thread at a time (see FormatReader): open() runs on the book-opening task, loadMetadata()
// on a history task. Embedded fonts are registered from that thread through EmbeddedFonts.
// Inside open() the spine documents are parsed in parallel, on the opening thread and the free
// threads of the global pool (see ParallelFor); the byte source is only ever read by one of them at
// a time, and the chunks keep the spine order.

#include "content/BookCostMeter.h"
#include "css/CssStyleSheet.h"
#include "formats/ChapterTreeBudget.h"
#include "formats/EmbeddedFonts.h"
#include "formats/EpubFontObfuscation.h"
#include "formats/MetadataReader.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <memory>

class BookFontFaces;
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
    QList<Css::FontFace> fontFaces; // its @font-face rules in order, sources as cleaned archive paths
    bool notText = false;  // its bytes are binary: nothing of it is shown
    bool asksColourScheme = false; // its style sheets have queries of prefers-color-scheme
};

class EpubReader : public MetadataReader {
public:
    EpubReader(SourceFactory sourceFactory, QString scheme);

    int contentKind() const override { return ContentKind::Text; }
    bool open(const QString& path) override;
    bool loadMetadata(const QString& path) override;
    // m_book.cover is the cleaned archive path of the cover image.
    QString coverImageUrl() const override { return m_book.coverImageUrl(m_scheme); }
    QList<ComicPage> pages() const override { return {}; }
    QList<ContentChunk> chunks() const override { return m_chunks; }
    bool followsColourScheme() const override { return m_followsColourScheme; }

    // Bytes of chapter text whose DOM trees may exist at once while open() parses the spine
    // (see ChapterTreeBudget); ChapterTreeBudget::kDefaultUnits unless set.
    void setChapterTreeBudget(qint64 bytes) { m_treeBudget = bytes; }
    // Bytes the book may need in memory once laid out (BookMemoryBudget), counted by the weight of
    // its chunks; a book that needs more is refused. BookMemoryBudget::defaultBudget() unless set.
    void setMemoryBudget(qint64 bytes) { m_memoryBudget = bytes; }

    // The decoded bytes all the fonts of one book may take: each font is bounded by the decoder,
    // but a book may embed a hundred of them. Fonts past it are left out.
    static constexpr qint64 kMaxBookFontBytes = qint64(128) * 1024 * 1024;

private:
    struct PackageReading; // what parseOpf gathers on its way through the package document
    struct SpineReading;   // what the spine documents share while they are parsed

    void clear();
    bool parseOpen(const QString& path, bool metadataOnly);
    // Opens the book and finds its package document; false with the error set.
    std::unique_ptr<IByteSource> openSource(const QString& path, bool metadataOnly);
    bool findPackage(const IByteSource& source, QString* opfPath);
    static bool parseContainer(const QByteArray& bytes, QString* outPath);
    // Unless metadataOnly, *fontPaths gets the cleaned paths of the manifest's font items in
    // manifest order; parseOpen registers them. *identifiers gets the dc:identifier texts, the
    // package's unique identifier first.
    bool parseOpf(const QByteArray& bytes, bool metadataOnly, QStringList* fontPaths, QStringList* identifiers);
    void readMetadataElement(QXmlStreamReader& reader, QStringView name, const QXmlStreamAttributes& attributes,
                             PackageReading& package);
    void readManifestItem(const QXmlStreamAttributes& attributes, bool metadataOnly, PackageReading& package);
    void readSpineItem(const QXmlStreamAttributes& attributes, bool metadataOnly);
    void chooseCover(const PackageReading& package);
    // The item shown for the spine item of this manifest id: itself when it is a content document,
    // else the first content document of its fallback chain; null when there is none.
    const EpubManifestItem* spineDocumentFor(const QString& id) const;
    // Parses every spine document into m_chunks; false when one is too large to read.
    // The meter counts what the book costs; once it is past its budget the rest is not read.
    bool readSpine(IByteSource& source, const QString& path, const QStringList& manifestFontPaths,
                   BookCostMeter& meter);
    // Any thread: reads only fields that stay unchanged while the spine is parsed.
    EpubSpineDocument loadSpineDocument(const QString& path, SpineReading& reading) const;
    EpubSpineDocument parseSpineDocument(QByteArray xml, const QString& path, StyleSheetCache& styleSheetCache,
                                         BookCostMeter& meter) const;
    // A picture standing in the spine by itself (a bitmap or an SVG page): one chunk showing it.
    EpubSpineDocument imageSpineDocument(const QString& path) const;
    // Registers the fonts document's rules name (each path once per open, through loadedFonts) and
    // declares their faces.
    void appendSpineChunks(EpubSpineDocument&& document, const QString& path, const IByteSource& source,
                           QHash<QString, EmbeddedFonts::Font>& loadedFonts, BookFontFaces& faces);
    // Registers a font of the book, unless its decoded bytes would take the book's fonts past
    // kMaxBookFontBytes (counted in m_fontBytes).
    EmbeddedFonts::Font registerFont(const QString& path, const QByteArray& stored);

    SourceFactory m_sourceFactory;
    QString m_scheme;
    QString m_language;     // the first dc:language
    QString m_opfDirectory; // with its final "/", empty for an OPF at the archive root
    QHash<QString, EpubManifestItem> m_manifest;
    QList<QString> m_spine;  // cleaned archive paths, in reading order
    QSet<QString> m_imageSpinePaths; // the spine items whose media type is an image
    QList<ContentChunk> m_chunks;
    bool m_followsColourScheme = false;
    EpubFontObfuscation m_fontObfuscation; // of the open book's fonts, set before they are registered
    qint64 m_treeBudget;
    qint64 m_memoryBudget;
    qint64 m_fontBytes = 0; // decoded bytes of the fonts registered by the open in progress
};
