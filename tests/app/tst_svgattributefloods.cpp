// SVG drawings whose elements carry floods of attributes, read the way a book shows them: real
// EPUB and CBZ files, opened by the real readers, their pictures sized and drawn through the book
// image resolver. Qt Svg compares every attribute of an element with all the earlier ones, so a
// drawing that reached it whole would take minutes; the limit's warning shows that it never did.

#include "BookImageResolver.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "text/AttributeLimit.h"
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

QByteArray opf(const QByteArray& manifest, const QByteArray& spine, const QByteArray& meta = QByteArray())
{
    return "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\"><metadata "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Drawing</dc:title>"
        + meta + "</metadata><manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>";
}

QList<TestZip::Entry> epubEntries(const QByteArray& packageDocument)
{
    return {{QStringLiteral("mimetype"), "application/epub+zip", true},
            {QStringLiteral("META-INF/container.xml"),
             "<?xml version=\"1.0\"?><container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
             "<rootfiles><rootfile full-path=\"content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>"},
            {QStringLiteral("content.opf"), packageDocument}};
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
        const QByteArray svgItem = "<item id=\"d\" href=\"d.svg\" media-type=\"image/svg+xml\"/>";

        QList<TestZip::Entry> spine = epubEntries(opf(svgItem, "<itemref idref=\"d\"/>"));
        spine.append({QStringLiteral("d.svg"), one});
        QTest::newRow("EPUB spine item, one element") << "spine.epub" << spine << "chunks";

        QList<TestZip::Entry> img = epubEntries(opf(
            "<item id=\"c\" href=\"c.xhtml\" media-type=\"application/xhtml+xml\"/>" + svgItem, "<itemref idref=\"c\"/>"));
        img.append({QStringLiteral("c.xhtml"), chapter});
        img.append({QStringLiteral("d.svg"), one});
        QTest::newRow("EPUB img, one element") << "img.epub" << img << "chunks";

        QList<TestZip::Entry> many = img;
        many.last().data = floodedSvg(10, 2 * AttributeLimit::kMaxAttributes);
        QTest::newRow("EPUB img, many elements") << "many.epub" << many << "chunks";

        QList<TestZip::Entry> huge = img;
        huge.last().data = floodedSvg(1, n, QByteArray(4 * 1024 * 1024, 'x'));
        QTest::newRow("EPUB img, huge value too") << "huge.epub" << huge << "chunks";

        QList<TestZip::Entry> svgz = img;
        svgz.last().data = gzipped(one);
        QTest::newRow("EPUB img, gzip-compressed") << "svgz.epub" << svgz << "chunks";

        QList<TestZip::Entry> cover = epubEntries(opf(
            "<item id=\"c\" href=\"c.xhtml\" media-type=\"application/xhtml+xml\"/>"
            "<item id=\"cover\" href=\"d.svg\" media-type=\"image/svg+xml\"/>",
            "<itemref idref=\"c\"/>", "<meta name=\"cover\" content=\"cover\"/>"));
        cover.append({QStringLiteral("c.xhtml"), QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>x</p></body></html>")});
        cover.append({QStringLiteral("d.svg"), one});
        QTest::newRow("EPUB cover") << "cover.epub" << cover << "cover";

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
