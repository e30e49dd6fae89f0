#include "TestImages.h"

#include <QBuffer>
#include <QImage>

namespace TestImages {

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
