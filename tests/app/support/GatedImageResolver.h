#pragma once

// An image resolver that knows every image as 200 x 100 and counts its size queries by thread.
// While its gate is closed, queries from threads other than the GUI thread block until release(),
// which holds background layout runs in their preparation stage while the GUI thread goes on.
// Any thread.

#include "IBookImageResolver.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

class GatedImageResolver : public IBookImageResolver {
public:
    QImage resolveImage(const QString& url) override;
    QSizeF imageSize(const QString& url) override;

    void closeGate();
    void release();

    std::atomic<int> guiThreadQueries{0};
    std::atomic<int> poolQueries{0};

private:
    // Standard primitives rather than QWaitCondition, so ThreadSanitizer sees the hand-over.
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_closed = false;
};
