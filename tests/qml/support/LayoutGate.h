#pragma once

// Passes image lookups through to the real resolver, except that while the gate is held, size
// queries from threads other than the GUI thread wait for its release. Chunk preparation asks for
// image sizes, so holding the gate keeps a background layout run of an illustrated book going
// for as long as a test needs to look at the window while it measures.
//
// hold() and release() are for the GUI thread (QML); the lookups may come from any thread.

#include "IBookImageResolver.h"

#include <QObject>

#include <condition_variable>
#include <mutex>

class LayoutGate : public QObject, public IBookImageResolver {
    Q_OBJECT
public:
    explicit LayoutGate(IBookImageResolver& inner, QObject* parent = nullptr);

    QImage resolveImage(const QString& url) override;
    QSizeF imageSize(const QString& url) override;

    Q_INVOKABLE void hold();
    Q_INVOKABLE void release();

private:
    IBookImageResolver& m_inner;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
};
