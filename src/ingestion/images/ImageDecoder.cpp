#include "images/ImageDecoder.h"

#include "images/SvgMarkup.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

namespace {

quint32 bigEndian(const QByteArray& bytes, qsizetype at, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

quint32 littleEndian(const QByteArray& bytes, qsizetype at, int length)
{
    quint32 value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// The frame size of a JPEG: the first start-of-frame segment's; invalid when the bytes end first.
QSize jpegSize(const QByteArray& bytes)
{
    qsizetype at = 2;
    while (at + 4 <= bytes.size()) {
        if (quint8(bytes[at]) != 0xFF)
            return QSize();
        const quint8 marker = quint8(bytes[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length of their own
            at += 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > bytes.size())
                return QSize();
            return QSize(int(bigEndian(bytes, at + 7, 2)), int(bigEndian(bytes, at + 5, 2)));
        }
        if (marker == 0xD9 || marker == 0xDA) // the image ends, or its data starts, with no frame
            return QSize();
        at += 2 + qsizetype(bigEndian(bytes, at + 2, 2));
    }
    return QSize();
}

QSize webpSize(const QByteArray& bytes)
{
    if (bytes.size() < 30)
        return QSize();
    const QByteArray chunk = bytes.mid(12, 4);
    if (chunk == "VP8X")
        return QSize(int(littleEndian(bytes, 24, 3)) + 1, int(littleEndian(bytes, 27, 3)) + 1);
    if (chunk == "VP8L" && quint8(bytes[20]) == 0x2F) {
        const quint32 bits = littleEndian(bytes, 21, 4);
        return QSize(int(bits & 0x3FFF) + 1, int((bits >> 14) & 0x3FFF) + 1);
    }
    if (chunk == "VP8 " && bigEndian(bytes, 23, 3) == 0x9D012A)
        return QSize(int(littleEndian(bytes, 26, 2) & 0x3FFF), int(littleEndian(bytes, 28, 2) & 0x3FFF));
    return QSize();
}

// The size the header of a PNG, JPEG, GIF or WebP names, read here: QImageReader, not told the
// format, loads every image plugin there is to ask each whether it reads the bytes, and the first
// image of a book would pay for all of them. Invalid for any other format or a header cut short.
QSize commonHeaderSize(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n") && bytes.size() >= 24 && bytes.mid(12, 4) == "IHDR")
        return QSize(int(bigEndian(bytes, 16, 4)), int(bigEndian(bytes, 20, 4)));
    if (bytes.startsWith("\xFF\xD8"))
        return jpegSize(bytes);
    if ((bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) && bytes.size() >= 10)
        return QSize(int(littleEndian(bytes, 6, 2)), int(littleEndian(bytes, 8, 2)));
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return webpSize(bytes);
    return QSize();
}

} // namespace

QSize ImageDecoder::headerSize(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QSize(-1, -1);
    const QSize common = commonHeaderSize(bytes);
    if (common.width() > 0 && common.height() > 0)
        return common;
    QBuffer buffer;
    buffer.setData(SvgMarkup::readable(bytes));
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
    if (bytes > kMaxDecodedBytes) {
        const double factor = std::sqrt(kMaxDecodedBytes / bytes);
        size = QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor)));
    }
    return size.expandedTo(QSize(1, 1));
}

QImage ImageDecoder::decode(const QByteArray& bytes, const QSize& bound)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(SvgMarkup::readable(bytes));
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
