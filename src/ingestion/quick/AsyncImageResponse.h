#pragma once

// One image request of the QML image engine, computed by a job on a thread pool (the global one
// unless the response is made for another). The
// engine owns the response and deletes it once it has emitted finished().
//
// Threads: the response belongs to the thread that created it (the engine's image reader
// thread); cancel(), textureFactory() and finished() happen there. run() executes the job on a
// pool thread. finished() is emitted exactly once per response, whether it delivered an image,
// failed (a null image: finished without a texture) or was cancelled, because the engine frees a
// response only then.
//
// Teardown must wait for the global pool (QThreadPool::waitForDone) before destroying the QML
// engine, so that every response still running reaches finished() while the engine can free it.

#include <QImage>
#include <QQuickImageResponse>
#include <QRunnable>

class QThreadPool;

#include <atomic>
#include <functional>

class AsyncImageResponse : public QQuickImageResponse, public QRunnable {
    Q_OBJECT
public:
    using Job = std::function<QImage()>;

    // Not started: the caller hands it to pool->start(). The pool must outlive the response.
    explicit AsyncImageResponse(Job job, QThreadPool* pool = nullptr);
    ~AsyncImageResponse() override;

    // None for a null image.
    QQuickTextureFactory* textureFactory() const override;
    // The job will not run if it has not started; a job already running finishes, but its image
    // is dropped.
    void cancel() override;
    void run() override;

    // For a request answered without any work: the job never runs and the response finishes,
    // without a texture, from its thread's event loop. Instead of starting it on the pool.
    void finishWithoutRunning();

private:
    void finish();

    Job m_job;
    QThreadPool* m_pool;
    std::atomic<bool> m_cancelled{false};
    QImage m_image;
};
