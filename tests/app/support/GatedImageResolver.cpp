#include "GatedImageResolver.h"

#include <QCoreApplication>
#include <QThread>

QImage GatedImageResolver::resolveImage(const QString&)
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return image;
}

QSizeF GatedImageResolver::imageSize(const QString&)
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        ++guiThreadQueries;
    } else {
        ++poolQueries;
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return !m_closed; });
    }
    return QSizeF(200, 100);
}

void GatedImageResolver::closeGate()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
}

void GatedImageResolver::release()
{
    std::lock_guard lock(m_mutex);
    m_closed = false;
    m_opened.notify_all();
}
