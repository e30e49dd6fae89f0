#include "LayoutGate.h"

#include <QCoreApplication>
#include <QThread>

LayoutGate::LayoutGate(IBookImageResolver& inner, QObject* parent)
    : QObject(parent)
    , m_inner(inner)
{
}

QImage LayoutGate::resolveImage(const QString& url)
{
    return m_inner.resolveImage(url);
}

QSizeF LayoutGate::imageSize(const QString& url)
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return !m_held; });
    }
    return m_inner.imageSize(url);
}

void LayoutGate::hold()
{
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void LayoutGate::release()
{
    std::lock_guard lock(m_mutex);
    m_held = false;
    m_released.notify_all();
}
