#include "FileIconProvider.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>

FileIconProvider::FileIconProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QImage FileIconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    const QString path = id.startsWith(QLatin1Char('/')) ? id : QLatin1Char('/') + id;
    const QFileIconProvider icons;
    QIcon icon = icons.icon(QFileInfo(path));
    if (icon.isNull())
        icon = icons.icon(QAbstractFileIconProvider::File);
    const QSize target = requestedSize.width() > 0 && requestedSize.height() > 0 ? requestedSize : kDefaultSize;
    QImage image(target, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!icon.isNull()) {
        QPainter painter(&image);
        icon.paint(&painter, image.rect());
    }
    if (size)
        *size = image.size();
    return image;
}
