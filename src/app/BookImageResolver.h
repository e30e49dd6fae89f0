#pragma once

// Resolves the image references of the open book for layout (sizes) and painting (images): book
// entries ("image://<scheme>/<entry>?src=<book>"), web images ("image://web/<url>"), plain
// "http://" and "https://" URLs, and "data:" URLs. Entry bytes come from one byte source kept open
// between calls, made by a factory; web images from the web image provider, which never makes a
// caller here wait for the network.
//
// Sizes come from image headers (an SVG's size attributes or view box) and are never learnt by
// decoding when the header names them. Images are decoded at the size they are shown when the
// painter says it (resolveImageAt), SVGs rendered at that size, and never beyond
// ImageDecoder::kMaxDecodedBytes. An SVG's <image> references are resolved against the book.
//
// Threads: called from the GUI thread and from several pool threads at once. One lock guards the
// caches, the remembered book and the open source; it is held across opening and reading an entry
// (so reads from a container are serialised) and released around decoding and web fetches, so two
// threads may fetch the same image at once (the later store wins). The size listener is called on
// whichever thread learnt the size, without the lock.
//
// The decoded images are held up to kDecodedCacheBytes, least recently used dropped first; the sizes
// (a few bytes each) are kept until clearCache() or a factory change.

#include "formats/FormatReader.h"
#include "IBookImageResolver.h"

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSet>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class WebImageProvider;

class BookImageResolver : public IBookImageResolver {
public:
    static constexpr qsizetype kDecodedCacheBytes = 64 * 1024 * 1024;

    // Told the URL of an image that was asked for and could not be had (its size unknown, or its
    // picture still on its way) and can be now.
    using ResolvedListener = std::function<void(const QString& url)>;

    BookImageResolver();
    // A null web provider means WebImageProvider::defaultInstance(). Not owned.
    BookImageResolver(SourceFactory factory, WebImageProvider* web);
    BookImageResolver(SchemeSourceFactory factory, WebImageProvider* web);
    ~BookImageResolver() override;

    // Each installs its factory, drops the other and forgets everything made with the old one.
    void setSourceFactory(SourceFactory factory);
    void setSchemeSourceFactory(SchemeSourceFactory factory);
    void setWebProvider(WebImageProvider* web);
    void setResolvedListener(ResolvedListener listener);
    // Called when the book changes: the decoded images of the old one are of no further use.
    void clearCache();

    // To be called when the web provider reports a downloaded image (its bare remote URL): the
    // resolved listener hears of each form of that URL that was waited for.
    void webImageArrived(const QString& url);

    // The bytes of a book-entry or data URL; empty for any other URL or on any failure. A URL
    // without a book path reads from the book opened last.
    QByteArray fetchEntryBytes(const QString& url);

    QImage resolveImage(const QString& url) override;
    QImage resolveImageAt(const QString& url, const QSize& pixelSize) override;
    QSizeF imageSize(const QString& url) override;

    // What the decoded images hold now, in bytes.
    qsizetype decodedBytes() const;

private:
    void forgetLocked();
    // fetchEntryBytes, the first maxBytes of the entry only (all of it for a negative maxBytes).
    QByteArray fetchEntry(const QString& url, qint64 maxBytes);
    WebImageProvider* webProvider();
    // The remote image, or null while it is on its way. The URL is waited for (m_waiting) before
    // the download can start, so an answer that comes before the fetch returns still tells the
    // listener; an image the caches answer with is not waited for.
    QImage fetchWebImage(const QString& url);
    // Entry or data bytes, an SVG's image references made self-contained.
    QByteArray imageBytes(const QString& url);
    void sizeLearnt(const QString& url, const QSize& size);

    SourceFactory m_sourceFactory;
    SchemeSourceFactory m_schemeSourceFactory;
    WebImageProvider* m_web = nullptr;
    ResolvedListener m_resolvedListener;
    mutable QMutex m_mutex;
    QCache<QString, QImage> m_images; // cost in bytes
    QHash<QString, QSizeF> m_sizes;
    QSet<QString> m_waiting; // asked for and not had yet, for the listener
    QString m_openProvider;
    QString m_openBookPath;
    std::unique_ptr<IByteSource> m_openSource;
};
