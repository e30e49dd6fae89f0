#include "WebImageCache.h"

#include "HttpDownload.h"

#include <QThread>
#include <QThreadPool>

namespace {

bool onGlobalPool()
{
    return QThreadPool::globalInstance()->contains(QThread::currentThread());
}

QImage decode(const QByteArray& bytes)
{
    QImage image;
    if (bytes.isEmpty() || !image.loadFromData(bytes))
        return QImage();
    return image;
}

} // namespace

std::shared_ptr<WebImageCache> WebImageCache::create(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher)
{
    return std::shared_ptr<WebImageCache>(new WebImageCache(std::move(storage), std::move(fetcher)));
}

WebImageCache::WebImageCache(std::shared_ptr<DiskWebImageStorage> storage, Fetcher fetcher)
    : m_storage(std::move(storage))
    , m_fetcher(fetcher ? std::move(fetcher) : Fetcher([](const QString& url) { return HttpDownload::get(url); }))
    , m_memory(MemoryCacheBytes)
{
}

QImage WebImageCache::image(const QString& url)
{
    if (url.isEmpty())
        return QImage();
    const QImage image = cached(url);
    if (!image.isNull())
        return image;
    if (!onGlobalPool()) {
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
    const QImage image = decode(bytes);
    if (image.isNull()) {
        m_storage->remove(url); // damaged: fetch it anew
        return image;
    }
    remember(url, image);
    return image;
}

QImage WebImageCache::download(const QString& url)
{
    {
        const QMutexLocker lock(&m_mutex);
        const auto failed = m_failed.constFind(url);
        if (failed != m_failed.cend()) {
            if (!failed->hasExpired())
                return QImage();
            m_failed.erase(failed);
        }
    }
    const QByteArray bytes = m_fetcher(url);
    const QImage image = decode(bytes);
    if (image.isNull()) {
        // An error page, a broken file or nothing: only the failure is kept.
        const QMutexLocker lock(&m_mutex);
        m_failed.insert(url, QDeadlineTimer(FailureMemoryMs));
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
        if (m_pending.contains(url))
            return;
        m_pending.insert(url);
    }
    QThreadPool::globalInstance()->start([self = shared_from_this(), url] {
        self->download(url);
        const QMutexLocker lock(&self->m_mutex);
        self->m_pending.remove(url);
    });
}

void WebImageCache::remember(const QString& url, const QImage& image)
{
    const QMutexLocker lock(&m_mutex);
    m_memory.insert(url, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
}
