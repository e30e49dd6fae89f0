#include "images/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

QSize ImageDecoder::headerSize(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QSize(-1, -1);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    return size.width() > 0 && size.height() > 0 ? size : QSize(-1, -1);
}

QSize ImageDecoder::decodedSize(const QSize& natural, const QSize& bound)
{
    if (natural.width() <= 0 || natural.height() <= 0)
        return natural;
    QSize size = natural;
    if (bound.width() > 0 && bound.height() > 0 && (size.width() > bound.width() || size.height() > bound.height()))
        size = size.scaled(bound, Qt::KeepAspectRatio);
    const double bytes = 4.0 * size.width() * size.height();
    if (bytes > MaxDecodedBytes) {
        const double factor = std::sqrt(MaxDecodedBytes / bytes);
        size = QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor)));
    }
    return size.expandedTo(QSize(1, 1));
}

QImage ImageDecoder::decode(const QByteArray& bytes, const QSize& bound)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // EXIF orientation would swap the header's width and height against what is drawn.
    reader.setAutoTransform(false);
    const QSize natural = reader.size();
    const QSize target = decodedSize(natural, bound);
    if (target.isValid() && target != natural)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // A reader that cannot decode scaled has decoded in full and scaled; one that ignored the
    // request (no header size) is scaled here, so callers always get what they asked for.
    const QSize wanted = decodedSize(image.size(), bound);
    if (wanted != image.size())
        image = image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}
