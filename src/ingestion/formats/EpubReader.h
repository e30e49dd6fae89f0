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

#include "css/CssStyleSheet.h"
#include "formats/ChapterTreeBudget.h"
#include "formats/EmbeddedFonts.h"
#include "formats/EpubFontObfuscation.h"
#include "formats/FormatReader.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

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

    // Bytes of chapter text whose DOM trees may exist at once while open() parses the spine
    // (see ChapterTreeBudget); ChapterTreeBudget::DefaultUnits unless set.
    void setChapterTreeBudget(qint64 bytes) { treeBudget = bytes; }
    // Bytes the book may need in memory once laid out (BookMemoryBudget), counted by the weight of
    // its chunks; a book that needs more is refused. BookMemoryBudget::defaultBudget() unless set.
    void setMemoryBudget(qint64 bytes) { memoryBudget = bytes; }

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
    EpubSpineDocument parseSpineDocument(QString html, const QString& path,
                                         StyleSheetCache& styleSheetCache) const;
    // A picture standing in the spine by itself (a bitmap or an SVG page): one chunk showing it.
    EpubSpineDocument imageSpineDocument(const QString& path) const;
    // Registers the fonts document's rules name (each path once per open, through loadedFonts) and
    // declares their faces.
    void appendSpineChunks(EpubSpineDocument&& document, const QString& path, const IByteSource& source,
                           QHash<QString, EmbeddedFonts::Font>& loadedFonts, BookFontFaces& faces);
    EmbeddedFonts::Font registerFont(const QString& path, const QByteArray& stored) const;

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
    qint64 treeBudget;
    qint64 memoryBudget;
};
