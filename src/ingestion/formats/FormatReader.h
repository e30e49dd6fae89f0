#pragma once

// The abstract book reader and the factory types the format table is made of.
//
// A reader is used by one thread at a time: it is created and opened on a worker thread, then handed
// to the GUI thread, which only reads it. Every open()/loadMetadata() starts by clearing all fields.

#include "content/ContentModel.h"
#include "sources/IByteSource.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace ContentKind {
enum : int { Pages = 0, Text = 1 };
}

struct ComicPage {
    QString entry;              // inside a reader: the entry name; from pages(): its image URL
    QSize size = QSize(-1, -1); // pixel size, (-1, -1) when unknown
};

class FormatReader {
public:
    virtual ~FormatReader() = default;

    // ContentKind::Text (1) for chunked reflowable books; anything else means page images.
    virtual int contentKind() const = 0;
    virtual bool open(const QString& path) = 0;          // full parse
    virtual bool loadMetadata(const QString& path) = 0;  // title, author and cover only
    virtual QString errorString() const = 0;
    virtual QString filePath() const = 0;
    virtual QString title() const = 0;
    virtual QString author() const = 0;
    virtual QString coverImageUrl() const = 0;           // empty when none
    virtual QByteArray contentHash() const = 0;          // identity of the book file
    virtual QList<ComicPage> pages() const = 0;          // empty for text readers
    virtual QList<ContentChunk> chunks() const = 0;      // empty for page readers
    // True when the book's styles asked for the colour scheme (ColourScheme) while it opened, so
    // that it reads otherwise when opened in the other one.
    virtual bool followsColourScheme() const { return false; }
};

using ReaderFactory = std::function<std::unique_ptr<FormatReader>()>;
using SourceFactory = std::function<std::unique_ptr<IByteSource>()>;
using SchemeSourceFactory = std::function<std::unique_ptr<IByteSource>(const QString& scheme)>;
