#include "TimedImageResolver.h"

#include <QElapsedTimer>

TimedImageResolver::TimedImageResolver(IBookImageResolver& resolver)
    : m_resolver(resolver)
{
}

QImage TimedImageResolver::resolveImage(const QString& url)
{
    return m_resolver.resolveImage(url);
}

QSizeF TimedImageResolver::imageSize(const QString& url)
{
    QElapsedTimer timer;
    timer.start();
    const QSizeF size = m_resolver.imageSize(url);
    m_sizeNs += timer.nsecsElapsed();
    return size;
}

double TimedImageResolver::sizeMs() const
{
    return m_sizeNs.load() / 1e6;
}
