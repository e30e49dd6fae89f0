#pragma once

// Resolves an image reference of the open book (a book image URL, a web image URL) to the decoded
// image and to its natural size.
//
// Called from the GUI thread (painting) and from several pool threads at once (chunk preparation
// asks for sizes): implementations guard their own state.

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

class IBookImageResolver {
public:
    virtual ~IBookImageResolver() = default;

    // A null image when the reference cannot be resolved.
    virtual QImage resolveImage(const QString& url) = 0;
    // The image for drawing at pixelSize (device pixels): an implementation may decode it no
    // larger than that. The caller scales whatever comes back.
    virtual QImage resolveImageAt(const QString& url, const QSize& pixelSize)
    {
        Q_UNUSED(pixelSize);
        return resolveImage(url);
    }
    // The natural size in pixels, (-1, -1) when unknown.
    virtual QSizeF imageSize(const QString& url) = 0;
};
