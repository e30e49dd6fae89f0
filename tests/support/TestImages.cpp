#include "TestImages.h"

#include <QBuffer>
#include <QImage>

namespace TestImages {

QByteArray png(int width, int height, const QColor& colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray hugeGreyJpeg(const QSize& size)
{
    QImage grey(size, QImage::Format_Grayscale8);
    grey.fill(160);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    grey.save(&buffer, "JPEG", 50);
    return bytes;
}

} // namespace TestImages
