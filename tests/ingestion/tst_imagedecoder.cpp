#include "images/ImageDecoder.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

namespace {

QByteArray encoded(const QSize& size, const char* format, int quality = -1, bool alpha = false)
{
    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(alpha ? QColor(0, 0, 255, 100) : QColor(Qt::blue));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A GIF of one colour: header, screen descriptor, then an image of no data.
QByteArray gif(quint16 width, quint16 height)
{
    QByteArray bytes("GIF89a");
    bytes += char(width & 0xFF);
    bytes += char(width >> 8);
    bytes += char(height & 0xFF);
    bytes += char(height >> 8);
    bytes += QByteArray("\x00\x00\x00", 3);
    return bytes + ";";
}

} // namespace

class TestImageDecoder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void headerSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        const QSize odd(13, 7);
        QTest::newRow("png") << encoded(odd, "PNG") << odd;
        QTest::newRow("jpeg") << encoded(odd, "JPEG") << odd;
        QTest::newRow("webp lossy") << encoded(odd, "WEBP", 50) << odd;
        QTest::newRow("webp lossless") << encoded(odd, "WEBP", 100) << odd;
        QTest::newRow("webp with alpha") << encoded(odd, "WEBP", 50, true) << odd;
        QTest::newRow("gif") << gif(300, 2) << QSize(300, 2);
        QTest::newRow("bmp, through Qt") << encoded(odd, "BMP") << odd;
        // A header cut short names no size, so that the caller reads more.
        QTest::newRow("jpeg cut before its frame") << encoded(odd, "JPEG").left(40) << QSize(-1, -1);
        QTest::newRow("png cut in its header") << encoded(odd, "PNG").left(20) << QSize(-1, -1);
        QTest::newRow("not an image") << QByteArray("\xFF\xD8 hello") << QSize(-1, -1);
    }
    void headerSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QCOMPARE(ImageDecoder::headerSize(bytes), size);
    }
};

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_imagedecoder.moc"
