#pragma once

// Remote images: the QML image provider "web" (its ids are the remote URLs) and the synchronous
// fetchImage() the book image resolver uses, both over one WebImageCache (memory, disk, download).
//
// Threads: fetchImage() and setArrivalListener() may be called from any thread; only calls on
// threads of the download pool wait for a download (WebImageCache). Image requests run on that
// pool and hold the cache, not the provider, so the engine may delete the provider while some still
// run; teardown waits for the pool (WebImageCache::downloadPool()) as it does for the global one.

#include "DiskWebImageStorage.h"
#include "WebImageCache.h"

#include <QImage>
#include <QQuickAsyncImageProvider>
#include <QString>

#include <memory>

class WebImageProvider : public QQuickAsyncImageProvider {
public:
    using Fetcher = WebImageCache::Fetcher;

    // Answered at once with an empty image and no work; the window asks for it first so that the
    // image loader is created on the GUI thread.
    static inline const QString WarmupId = QStringLiteral("__warmup__");

    // A null storage keeps nothing on disk; an empty fetcher means the HTTP download.
    explicit WebImageProvider(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher = {});
    ~WebImageProvider() override;

    // For callers that have no provider of their own: disk storage in the default folder. Never
    // deleted, so tasks still running at exit do not find it gone.
    static WebImageProvider* defaultInstance();

    QQuickImageResponse* requestImageResponse(const QString& id, const QSize& requestedSize) override;

    // The image at `url` fitted to requestedSize (ImageScaling; (-1, -1) for the full size); null
    // when it cannot be had (now). Virtual so that callers can be tried against answers timed as
    // the network never times them reliably.
    virtual QImage fetchImage(const QString& url, const QSize& requestedSize);

    // Told, on a download thread, of each remote image that arrives; empty to stop.
    void setArrivalListener(WebImageCache::ArrivalListener listener);

private:
    std::shared_ptr<WebImageCache> m_cache;
};
