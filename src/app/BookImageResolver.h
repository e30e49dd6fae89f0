#pragma once

// Resolves the image references of the open book for layout (sizes) and painting (images): book
// entries ("image://<scheme>/<entry>?src=<book>"), web images ("image://web/<url>") and plain
// "http://" and "https://" URLs. Entry bytes come from one byte source kept open between calls,
// made by a factory; web images from the web image provider.
//
// Threads: called from the GUI thread and from several pool threads at once. One lock guards the
// caches, the remembered book and the open source; it is held across opening and reading an entry
// (so reads from a container are serialised) and released around decoding and web fetches, so two
// threads may fetch the same image at once (the later store wins).
//
// The caches have no bound and live until clearCache() or a factory change.

#include "FormatReader.h"
#include "IBookImageResolver.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSizeF>
#include <QString>

#include <memory>

class WebImageProvider;

class BookImageResolver : public IBookImageResolver {
public:
    BookImageResolver();
    // A null web provider means WebImageProvider::defaultInstance(). Not owned.
    BookImageResolver(SourceFactory factory, WebImageProvider* web);
    BookImageResolver(SchemeSourceFactory factory, WebImageProvider* web);
    ~BookImageResolver() override;

    // Each installs its factory, drops the other and forgets everything made with the old one.
    void setSourceFactory(SourceFactory factory);
    void setSchemeSourceFactory(SchemeSourceFactory factory);
    void setWebProvider(WebImageProvider* web);
    void clearCache();

    // The bytes of a book-entry URL; empty for any other URL or on any failure. A URL without a
    // book path reads from the book opened last.
    QByteArray fetchEntryBytes(const QString& url);

    QImage resolveImage(const QString& url) override;
    QSizeF imageSize(const QString& url) override;

private:
    void forgetLocked();
    WebImageProvider* webProvider();

    SourceFactory m_sourceFactory;
    SchemeSourceFactory m_schemeSourceFactory;
    WebImageProvider* m_web = nullptr;
    QMutex m_mutex;
    QHash<QString, QImage> m_images;
    QHash<QString, QSizeF> m_sizes;
    QString m_openProvider;
    QString m_openBookPath;
    std::unique_ptr<IByteSource> m_openSource;
};
