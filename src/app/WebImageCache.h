#pragma once

// Where remote images come from: a memory cache, then the disk cache (DiskWebImageStorage), then a
// download; a download is kept only when it decodes as an image.
//
// Thread-safe: the memory cache and the bookkeeping are guarded by one lock, the disk cache by its
// own. Only threads of the global pool wait on the network: any other caller (the GUI thread laying
// out or painting, the render thread) is answered from the caches alone, and a miss there starts
// the download on the pool for later requests. A URL whose download failed is not tried again for
// FailureMemoryMs, so an unreachable server costs one timeout, not one per request.
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
#include <memory>

class WebImageCache : public std::enable_shared_from_this<WebImageCache> {
public:
    // The bytes at a URL, empty on failure. Called on pool threads only.
    using Fetcher = std::function<QByteArray(const QString& url)>;

    static constexpr qsizetype MemoryCacheBytes = 128 * 1024 * 1024;
    static constexpr int FailureMemoryMs = 60 * 1000;

    // A null storage keeps nothing on disk; an empty fetcher means HttpDownload::get.
    static std::shared_ptr<WebImageCache> create(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher = {});

    // The full-size image at `url`; null when it cannot be had (now).
    QImage image(const QString& url);

private:
    WebImageCache(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher);

    QImage cached(const QString& url);
    QImage download(const QString& url);
    void downloadLater(const QString& url);
    void remember(const QString& url, const QImage& image);

    std::shared_ptr<DiskWebImageStorage> m_storage;
    Fetcher m_fetcher;
    QMutex m_mutex;
    QCache<QString, QImage> m_memory; // cost in bytes
    QHash<QString, QDeadlineTimer> m_failed;
    QSet<QString> m_pending; // downloads started for callers that do not wait
};
