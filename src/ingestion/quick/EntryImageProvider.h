#pragma once

// Serves the entries of a book's container as images to QML, under one provider id per container
// scheme ("cbz", "epub", ...). Ids are those of book image URLs: entry path and "?src=" book path.
//
// Threads: the engine calls requestImageResponse() on its image reader thread; each request's job
// runs on the global thread pool with a byte source of its own, so requests share nothing but the
// factory, which is only called.

#include "formats/FormatReader.h"

#include <QQuickAsyncImageProvider>

class EntryImageProvider : public QQuickAsyncImageProvider {
public:
    EntryImageProvider(SourceFactory factory, QString providerId);
    ~EntryImageProvider() override;

    // A started response; a request without a book path finishes without a texture.
    QQuickImageResponse* requestImageResponse(const QString& id, const QSize& requestedSize) override;

    // The entry decoded and scaled to the requested size; null when it is empty, missing or no image.
    static QImage loadImageFromSource(IByteSource& source, const QString& entry, const QSize& requestedSize);

private:
    SourceFactory m_factory;
    QString m_providerId;
};
