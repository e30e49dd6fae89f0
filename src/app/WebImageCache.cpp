#include "WebImageCache.h"

#include "HttpDownload.h"
#include "images/ImageDecoder.h"

#include <QThread>
#include <QThreadPool>

std::shared_ptr<WebImageCache> WebImageCache::create(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher)
{
    return std::shared_ptr<WebImageCache>(new WebImageCache(std::move(storage), std::move(fetcher)));
}

QThreadPool* WebImageCache::downloadPool()
{
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(kDownloadThreads);
        return made;
    }();
    return pool;
}

WebImageCache::WebImageCache(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher)
    : m_storage(std::move(storage))
    , m_fetcher(fetcher ? std::move(fetcher) : Fetcher([](const QString& url) { return HttpDownload::get(url); }))
    , m_memory(kMemoryCacheBytes)
{
}

void WebImageCache::setArrivalListener(ArrivalListener listener)
{
    const QMutexLocker lock(&m_mutex);
    m_arrivalListener = std::move(listener);
}

QImage WebImageCache::image(const QString& url)
{
    if (url.isEmpty())
        return QImage();
    const QImage image = cached(url);
    if (!image.isNull())
        return image;
    if (!downloadPool()->contains(QThread::currentThread())) {
        downloadLater(url);
        return QImage();
    }
    return download(url);
}

QImage WebImageCache::cached(const QString& url)
{
    {
        const QMutexLocker lock(&m_mutex);
        if (const QImage* hit = m_memory.object(url))
            return *hit;
    }
    if (!m_storage)
        return QImage();
    const QByteArray bytes = m_storage->load(url);
    if (bytes.isEmpty())
        return QImage();
    const QImage image = ImageDecoder::decode(bytes);
    if (image.isNull()) {
        m_storage->remove(url); // damaged: fetch it anew
        return image;
    }
    remember(url, image);
    return image;
}

QImage WebImageCache::download(const QString& url)
{
    std::promise<QImage> promise;
    {
        QMutexLocker lock(&m_mutex);
        if (const QImage* hit = m_memory.object(url))
            return *hit;
        const auto running = m_inFlight.constFind(url);
        if (running != m_inFlight.cend()) {
            // Whoever started it is running already, so waiting here cannot deadlock the pool.
            const std::shared_future<QImage> shared = *running;
            lock.unlock();
            return shared.get();
        }
        const auto failed = m_failed.constFind(url);
        if (failed != m_failed.cend()) {
            if (!failed->hasExpired())
                return QImage();
            m_failed.erase(failed);
        }
        m_inFlight.insert(url, promise.get_future().share());
    }
    const QImage image = fetchAndKeep(url);
    ArrivalListener listener;
    {
        const QMutexLocker lock(&m_mutex);
        m_inFlight.remove(url);
        if (!image.isNull())
            listener = m_arrivalListener;
    }
    promise.set_value(image);
    if (listener)
        listener(url);
    return image;
}

QImage WebImageCache::fetchAndKeep(const QString& url)
{
    const QByteArray bytes = m_fetcher(url);
    const QImage image = ImageDecoder::decode(bytes);
    if (image.isNull()) {
        // An error page, a broken file or nothing: only the failure is kept.
        const QMutexLocker lock(&m_mutex);
        m_failed.insert(url, QDeadlineTimer(kFailureMemoryMs));
        return image;
    }
    if (m_storage)
        m_storage->store(url, bytes);
    remember(url, image);
    return image;
}

void WebImageCache::downloadLater(const QString& url)
{
    {
        const QMutexLocker lock(&m_mutex);
        if (m_inFlight.contains(url) || m_queued.contains(url))
            return;
        const auto failed = m_failed.constFind(url);
        if (failed != m_failed.cend() && !failed->hasExpired())
            return;
        m_queued.insert(url);
    }
    downloadPool()->start([self = shared_from_this(), url] {
        {
            const QMutexLocker lock(&self->m_mutex);
            self->m_queued.remove(url);
        }
        self->download(url);
    });
}

void WebImageCache::remember(const QString& url, const QImage& image)
{
    const QMutexLocker lock(&m_mutex);
    m_memory.insert(url, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
}
