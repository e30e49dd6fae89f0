#pragma once

// Where remote images come from: a memory cache, then the disk cache (DiskWebImageStorage), then a
// download; a download is kept only when it decodes as an image.
//
// Thread-safe: the memory cache and the bookkeeping are guarded by one lock, the disk cache by its
// own. Downloads run on a small pool of their own (downloadPool()), never on the global pool, so
// slow servers cannot starve book opening or layout. Only threads of the download pool wait on the
// network: any other caller (the GUI thread, a layout task, the render thread) is answered from the
// caches alone, and a miss there starts the download for later requests. All requests for one URL
// share one download. When a download brings an image, the arrival listener hears of it (on the
// download thread), so that layouts made without its size can be made again. A URL whose download
// failed is not tried again for kFailureMemoryMs, so an unreachable server costs one timeout, not one
// per request.
//
// Held by shared pointer: downloads started here keep it alive until they end.

#include "DiskWebImageStorage.h"

#include <QCache>
#include <QDeadlineTimer>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSet>
#include <QString>

#include <functional>
#include <future>
#include <memory>

class QThreadPool;

class WebImageCache : public std::enable_shared_from_this<WebImageCache> {
public:
    // The bytes at a URL, empty on failure. Called on download threads only.
    using Fetcher = std::function<QByteArray(const QString& url)>;
    // Called on a download thread with the URL of an image that has just arrived.
    using ArrivalListener = std::function<void(const QString& url)>;

    static constexpr qsizetype kMemoryCacheBytes = 128 * 1024 * 1024;
    static constexpr int kFailureMemoryMs = 60 * 1000;
    static constexpr int kDownloadThreads = 4;

    // A null storage keeps nothing on disk; an empty fetcher means HttpDownload::get.
    static std::shared_ptr<WebImageCache> create(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher = {});

    // The pool downloads and remote image requests run on. Never deleted, so that tasks still
    // running at exit do not find it gone; teardown waits for it.
    static QThreadPool* downloadPool();

    // The image at `url` (shrunk only when beyond ImageDecoder's limit); null when it cannot be had
    // (now).
    QImage image(const QString& url);

    void setArrivalListener(ArrivalListener listener);

private:
    WebImageCache(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher);

    QImage cached(const QString& url);
    // Joins the download of `url` in flight, or makes it.
    QImage download(const QString& url);
    QImage fetchAndKeep(const QString& url);
    void downloadLater(const QString& url);
    void remember(const QString& url, const QImage& image);

    std::shared_ptr<DiskWebImageStorage> m_storage;
    Fetcher m_fetcher;
    QMutex m_mutex;
    QCache<QString, QImage> m_memory; // cost in bytes
    QHash<QString, QDeadlineTimer> m_failed;
    QHash<QString, std::shared_future<QImage>> m_inFlight;
    QSet<QString> m_queued; // started for callers that do not wait, not yet running
    ArrivalListener m_arrivalListener;
};
