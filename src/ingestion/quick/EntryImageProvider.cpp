#include "quick/EntryImageProvider.h"

#include "images/ImageDecoder.h"
#include "images/ImageUrl.h"
#include "quick/AsyncImageResponse.h"
#include "quick/ImageScaling.h"

#include <QThreadPool>

EntryImageProvider::EntryImageProvider(SourceFactory sourceFactory, QString id)
    : m_factory(std::move(sourceFactory))
    , m_providerId(std::move(id))
{
}

EntryImageProvider::~EntryImageProvider() = default;

QImage EntryImageProvider::loadImageFromSource(IByteSource& source, const QString& entry, const QSize& requestedSize)
{
    if (entry.isEmpty())
        return QImage();
    const QByteArray bytes = source.readEntry(entry);
    if (bytes.isEmpty())
        return QImage();
    // Decoded at the requested size where the format allows (a huge page would not fit in memory at
    // its own), then fitted exactly.
    constexpr int kUnbounded = 1 << 20;
    const bool width = requestedSize.width() >= 1;
    const bool height = requestedSize.height() >= 1;
    const QSize bound = width || height ? QSize(width ? requestedSize.width() : kUnbounded, height ? requestedSize.height() : kUnbounded)
                                        : QSize();
    return ImageScaling::toRequestedSize(ImageDecoder::decode(bytes, bound), requestedSize);
}

QQuickImageResponse* EntryImageProvider::requestImageResponse(const QString& id, const QSize& requestedSize)
{
    const ProviderIdParts parts = ImageUrl::parseProviderId(id);
    AsyncImageResponse::Job job = [sourceFactory = m_factory, entry = parts.path, bookPath = parts.src,
                                   requestedSize]() -> QImage {
        if (bookPath.isEmpty() || !sourceFactory)
            return QImage();
        const std::unique_ptr<IByteSource> source = sourceFactory();
        if (!source || !source->open(bookPath))
            return QImage();
        return loadImageFromSource(*source, entry, requestedSize);
    };
    auto* response = new AsyncImageResponse(std::move(job));
    QThreadPool::globalInstance()->start(response);
    return response;
}
