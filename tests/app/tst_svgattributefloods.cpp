// SVG drawings whose elements carry floods of attributes, read the way a book shows them: real
// EPUB and CBZ files, opened by the real readers, their pictures sized and drawn through the book
// image resolver. Qt Svg compares every attribute of an element with all the earlier ones, so a
// drawing that reached it whole would take minutes; the limit's warning shows that it never did.

#include "BookImageResolver.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "text/AttributeLimit.h"
#include "TestEpub.h"
#include "TestZip.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

namespace {

// count attributes spread over `elements` rects, each rect keeping its own width and height.
QByteArray floodedSvg(int elements, int attributesEach, const QByteArray& hugeValue = QByteArray())
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"120\" height=\"80\" viewBox=\"0 0 120 80\">";
    for (int e = 0; e < elements; ++e) {
        svg += "<rect width=\"120\" height=\"80\" fill=\"#00ff00\"";
        for (int i = 0; i < attributesEach; ++i)
            svg += " a" + QByteArray::number(i) + "=\"1\"";
        if (!hugeValue.isEmpty())
            svg += " class=\"" + hugeValue + "\"";
        svg += "/>";
    }
    return svg + "</svg>";
}

QByteArray gzipped(const QByteArray& data)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// The URLs of every picture the book's chunks show.
QStringList imageUrls(const FormatReader& reader)
{
    QStringList urls;
    for (const ContentChunk& chunk : reader.chunks()) {
        for (const BlockItem& block : chunk.blocks) {
            for (const InlineRun& run : block.runs) {
                if (run.kind == InlineRun::Image)
                    urls.append(run.url);
            }
        }
    }
    return urls;
}

} // namespace

class TestSvgAttributeFloods : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void floodedDrawingsAreSizedAndDrawnWithinTheLimit_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QList<TestZip::Entry>>("entries");
        QTest::addColumn<QString>("road"); // "chunks" (the pictures of its text), "cover" or "pages"

        const int n = 20000; // enough to take Qt Svg several seconds; the real floods run to 100,000
        const QByteArray one = floodedSvg(1, n);
        const QByteArray chapter = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>"
                                   "<img src=\"d.svg\" alt=\"\"/></p></body></html>";

        TestEpub::Book spine;
        spine.title = "Drawing";
        spine.spine = {{"d", QStringLiteral("d.svg"), one, "image/svg+xml"}};
        QTest::newRow("EPUB spine item, one element") << "spine.epub" << TestEpub::entries(spine) << "chunks";

        TestEpub::Book img;
        img.title = "Drawing";
        img.spine = {{"c", QStringLiteral("c.xhtml"), chapter}};
        img.resources = {{"d", QStringLiteral("d.svg"), one, "image/svg+xml"}};
        QTest::newRow("EPUB img, one element") << "img.epub" << TestEpub::entries(img) << "chunks";

        TestEpub::Book many = img;
        many.resources.first().data = floodedSvg(10, 2 * AttributeLimit::kMaxAttributes);
        QTest::newRow("EPUB img, many elements") << "many.epub" << TestEpub::entries(many) << "chunks";

        TestEpub::Book huge = img;
        huge.resources.first().data = floodedSvg(1, n, QByteArray(4 * 1024 * 1024, 'x'));
        QTest::newRow("EPUB img, huge value too") << "huge.epub" << TestEpub::entries(huge) << "chunks";

        TestEpub::Book svgz = img;
        svgz.resources.first().data = gzipped(one);
        QTest::newRow("EPUB img, gzip-compressed") << "svgz.epub" << TestEpub::entries(svgz) << "chunks";

        TestEpub::Book cover;
        cover.title = "Drawing";
        cover.metadata = "<meta name=\"cover\" content=\"cover\"/>";
        cover.spine = {{"c", QStringLiteral("c.xhtml"), "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>x</p></body></html>"}};
        cover.resources = {{"cover", QStringLiteral("d.svg"), one, "image/svg+xml"}};
        QTest::newRow("EPUB cover") << "cover.epub" << TestEpub::entries(cover) << "cover";

        // A comic page named as a bitmap whose bytes are a drawing: Qt reads it by its content.
        QTest::newRow("CBZ page") << "pages.cbz"
                                  << QList<TestZip::Entry>{{QStringLiteral("001.png"), one}} << "pages";
    }
    void floodedDrawingsAreSizedAndDrawnWithinTheLimit()
    {
        QFETCH(QString, fileName);
        QFETCH(QList<TestZip::Entry>, entries);
        QFETCH(QString, road);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        QVERIFY(TestZip::write(path, entries));
        const FormatRegistry registry(DefaultFormats::table());
        std::unique_ptr<FormatReader> reader = registry.createReader(path);
        QVERIFY(reader);
        // A header read first may hold part of the flood, and warn of its own share.
        const QRegularExpression warning(
            QStringLiteral("^Left out \\d+ attributes beyond the first %1 of their element$").arg(AttributeLimit::kMaxAttributes));
        // The comic reader learns its pages' sizes as it opens.
        if (road == QLatin1String("pages"))
            QTest::ignoreMessage(QtWarningMsg, warning);
        QVERIFY2(reader->open(path), qPrintable(reader->errorString()));
        QString url;
        if (road == QLatin1String("chunks")) {
            const QStringList urls = imageUrls(*reader);
            QCOMPARE(urls.size(), 1);
            url = urls.first();
        } else if (road == QLatin1String("cover")) {
            url = reader->coverImageUrl();
        } else {
            QCOMPARE(reader->pages().size(), 1);
            QCOMPARE(reader->pages().first().size, QSize(120, 80));
            url = reader->pages().first().entry;
        }
        QVERIFY(!url.isEmpty());

        BookImageResolver resolver(
            [&registry](const QString& scheme) { return registry.createByteSourceForScheme(scheme); }, nullptr);
        QTest::ignoreMessage(QtWarningMsg, warning); // sized
        QCOMPARE(resolver.imageSize(url), QSizeF(120, 80));
        QTest::ignoreMessage(QtWarningMsg, warning); // drawn
        const QImage drawn = resolver.resolveImageAt(url, QSize(60, 40));
        QCOMPARE(drawn.size(), QSize(60, 40));
        QCOMPARE(QColor(drawn.pixel(30, 20)), QColor(Qt::green));
    }

    // A compressed drawing that would inflate past the cap is not read at all.
    void compressedDrawingsAreInflatedWithinTheCap()
    {
        QByteArray bomb = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><!--";
        bomb += QByteArray(65 * 1024 * 1024, ' ');
        bomb += "--></svg>";
        const QByteArray compressed = gzipped(bomb);
        bomb.clear();
        QVERIFY(compressed.size() < 1024 * 1024);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bomb.cbz"));
        QVERIFY(TestZip::write(path, {{QStringLiteral("001.png"), compressed}}));
        const FormatRegistry registry(DefaultFormats::table());
        BookImageResolver resolver(
            [&registry](const QString& scheme) { return registry.createByteSourceForScheme(scheme); }, nullptr);
        const QString url = QStringLiteral("image://cbz/001.png?src=") + QString::fromLatin1(QUrl::toPercentEncoding(path));
        QCOMPARE(resolver.imageSize(url), QSizeF(-1, -1));
        QVERIFY(resolver.resolveImage(url).isNull());
    }
};

QTEST_MAIN(TestSvgAttributeFloods)
#include "tst_svgattributefloods.moc"
