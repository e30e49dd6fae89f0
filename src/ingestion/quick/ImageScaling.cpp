#include "quick/ImageScaling.h"

namespace ImageScaling {

QImage toRequestedSize(const QImage& image, const QSize& requestedSize)
{
    if (image.isNull())
        return image;
    const bool width = requestedSize.width() >= 1;
    const bool height = requestedSize.height() >= 1;
    if (width && height)
        return image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (width)
        return image.scaledToWidth(requestedSize.width(), Qt::SmoothTransformation);
    if (height)
        return image.scaledToHeight(requestedSize.height(), Qt::SmoothTransformation);
    return image;
}

} // namespace ImageScaling
