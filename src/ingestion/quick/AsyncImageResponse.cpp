#include "quick/AsyncImageResponse.h"

#include <QThreadPool>

AsyncImageResponse::AsyncImageResponse(Job imageJob, QThreadPool* jobPool)
    : m_job(std::move(imageJob))
    , m_pool(jobPool ? jobPool : QThreadPool::globalInstance())
{
    // The engine owns and deletes the response; the pool must not.
    setAutoDelete(false);
}

AsyncImageResponse::~AsyncImageResponse()
{
    // Never leave the pool a queued pointer to a deleted response.
    static_cast<void>(m_pool->tryTake(this));
}

QQuickTextureFactory* AsyncImageResponse::textureFactory() const
{
    if (m_image.isNull())
        return nullptr;
    return QQuickTextureFactory::textureFactoryForImage(m_image);
}

void AsyncImageResponse::cancel()
{
    m_cancelled.store(true);
    // Taken off the queue before its turn, run() will never finish it: finish here. Otherwise
    // run() is under way or done, and finishes it.
    if (m_pool->tryTake(this))
        finish();
}

void AsyncImageResponse::run()
{
    if (!m_cancelled.load(std::memory_order_acquire)) {
        QImage result = m_job();
        if (!m_cancelled.load(std::memory_order_acquire))
            m_image = std::move(result);
    }
    // finished() is emitted on the response's own thread: the engine deletes the response on
    // receiving it, and must not do so while this pool thread is still inside the response.
    // After posting, nothing here touches the response again.
    QMetaObject::invokeMethod(this, &AsyncImageResponse::finish, Qt::QueuedConnection);
}

void AsyncImageResponse::finishWithoutRunning()
{
    m_cancelled.store(true);
    QMetaObject::invokeMethod(this, &AsyncImageResponse::finish, Qt::QueuedConnection);
}

void AsyncImageResponse::finish()
{
    Q_EMIT finished();
}
