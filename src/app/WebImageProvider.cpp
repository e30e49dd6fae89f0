#include "WebImageProvider.h"

#include "quick/AsyncImageResponse.h"
#include "quick/ImageScaling.h"

#include <QThreadPool>

WebImageProvider::WebImageProvider(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher)
    : m_cache(WebImageCache::create(std::move(storage), std::move(fetcher)))
{
}

WebImageProvider::~WebImageProvider() = default;

WebImageProvider* WebImageProvider::defaultInstance()
{
    static WebImageProvider* const instance = new WebImageProvider(std::make_shared<DiskWebImageStorage>());
    return instance;
}

QQuickImageResponse* WebImageProvider::requestImageResponse(const QString& id, const QSize& requestedSize)
{
    if (id == WarmupId) {
        auto* response = new AsyncImageResponse({});
        response->finishWithoutRunning();
        return response;
    }
    auto* response = new AsyncImageResponse([cache = m_cache, id, requestedSize] {
        return ImageScaling::toRequestedSize(cache->image(id), requestedSize);
    }, WebImageCache::downloadPool());
    WebImageCache::downloadPool()->start(response);
    return response;
}

void WebImageProvider::setArrivalListener(WebImageCache::ArrivalListener listener)
{
    m_cache->setArrivalListener(std::move(listener));
}

QImage WebImageProvider::fetchImage(const QString& url, const QSize& requestedSize)
{
    return ImageScaling::toRequestedSize(m_cache->image(url), requestedSize);
}
