#include "BookImageResolver.h"
#include "ChunkLayoutEngine.h"
#include "html/HtmlBlockParser.h"
#include "images/DataUrl.h"
#include "images/ImageDecoder.h"
#include "images/ImageUrl.h"
#include "LocalHttpServer.h"
#include "TestImages.h"
#include "WebImageProvider.h"

#include <QBuffer>
#include <QHash>
#include <QSemaphore>
#include <QUrl>
#include <QStandardPaths>
#include <QTest>
#include <QThreadPool>
#include <QtConcurrent>

#include <atomic>
#include <future>

namespace {

// Books by path, each a map of entries; counts how often containers are opened and entries read.
struct Shelf {
    QHash<QString, QHash<QString, QByteArray>> books;
    std::atomic<int> opens{0};
    std::atomic<int> reads{0};
    QStringList schemesAsked;
};

class ShelfSource : public IByteSource {
public:
    explicit ShelfSource(Shelf& shelf)
        : shelf(shelf)
    {
    }
    bool open(const QString& path) override
    {
        ++shelf.opens;
        entries = shelf.books.value(path);
        return shelf.books.contains(path);
    }
    QStringList listEntries() const override { return entries.keys(); }
    QByteArray readEntry(const QString& name) const override
    {
        ++shelf.reads;
        return entries.value(name);
    }
    QByteArray contentHash() const override { return QByteArray(16, 'h'); }

private:
    Shelf& shelf;
    QHash<QString, QByteArray> entries;
};

SourceFactory shelfFactory(Shelf& shelf)
{
    return [&shelf]() -> std::unique_ptr<IByteSource> { return std::make_unique<ShelfSource>(shelf); };
}

QString entryUrl(const QString& entry, const QString& book, const QString& provider = QStringLiteral("cbz"))
{
    return ImageUrl::build(provider, entry, book);
}

template <typename Work>
auto onPool(Work work)
{
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    QThreadPool::globalInstance()->start([&task] { task(); });
    return result.get();
}

// A PNG whose header is sound and whose pixel data is not.
QByteArray pngWithBrokenPixels(int width, int height)
{
    QByteArray bytes = TestImages::png(width, height);
    const qsizetype data = bytes.indexOf("IDAT");
    for (qsizetype i = data + 4; i < bytes.size() - 12; ++i)
        bytes[i] = char(0x5a);
    return bytes;
}

QByteArray svgBytes(const QString& attributes, const QString& content)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" %1>%2</svg>")
        .arg(attributes, content)
        .toUtf8();
}

// The quickest answer a remote image can have: every download a fetch starts has arrived, and its
// arrival has been told, before the fetch returns. The arrival listener releases `arrived`.
class InstantWebProvider : public WebImageProvider {
public:
    InstantWebProvider()
        : WebImageProvider(nullptr)
    {
    }
    QImage fetchImage(const QString& url, const QSize& requestedSize) override
    {
        const QImage image = WebImageProvider::fetchImage(url, requestedSize);
        if (image.isNull())
            arrived.tryAcquire(1, 60000); // a bound against a broken download, not a wait for timing
        return image;
    }
    QSemaphore arrived;
};

} // namespace

class TestBookImageResolver : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the default web cache stays out of the user's
    }

    void init()
    {
        shelf = std::make_unique<Shelf>();
        shelf->books.insert(QStringLiteral("/books/a b.cbz"), {{QStringLiteral("p/1.png"), TestImages::png(800, 1200)},
                                                              {QStringLiteral("p/2.png"), TestImages::png(10, 20)},
                                                              {QStringLiteral("junk"), QByteArray("not an image")},
                                                              {QStringLiteral("p/broken.png"), pngWithBrokenPixels(70, 90)},
                                                              {QStringLiteral("p/green.png"), TestImages::png(10, 10, Qt::green)},
                                                              {QStringLiteral("p/page.svg"),
                                                               svgBytes(QStringLiteral("viewBox=\"0 0 10 10\""),
                                                                        QStringLiteral("<image width=\"10\" height=\"10\" xlink:href=\"green.png\"/>"))}});
        shelf->books.insert(QStringLiteral("/books/other.cbz"), {{QStringLiteral("p/1.png"), TestImages::png(3, 3)}});
    }

    void entryBytes_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("found");
        const QString book = QStringLiteral("/books/a b.cbz");
        QTest::newRow("entry") << entryUrl(QStringLiteral("p/1.png"), book) << true;
        QTest::newRow("missing entry") << entryUrl(QStringLiteral("p/9.png"), book) << false;
        QTest::newRow("empty entry") << entryUrl(QString(), book) << false;
        QTest::newRow("unknown book") << entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/nowhere.cbz")) << false;
        QTest::newRow("no provider slash") << QStringLiteral("image://cbz") << false;
        QTest::newRow("prefix only") << QStringLiteral("image://") << false;
        QTest::newRow("fileicon") << QStringLiteral("image://fileicon/books/a b.cbz") << false;
        QTest::newRow("web") << QStringLiteral("image://web/http://h/p/1.png?src=%2Fbooks%2Fa%20b.cbz") << false;
        QTest::newRow("upper-case prefix") << QStringLiteral("IMAGE://cbz/p/1.png?src=%2Fbooks%2Fa%20b.cbz") << false;
        QTest::newRow("file url") << QStringLiteral("file:///books/a b.cbz") << false;
    }
    void entryBytes()
    {
        QFETCH(QString, url);
        QFETCH(bool, found);
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        QCOMPARE(!resolver.fetchEntryBytes(url).isEmpty(), found);
    }

    void containerIsKeptOpenPerBookAndProvider()
    {
        QStringList schemes;
        SchemeSourceFactory byScheme = [&](const QString& scheme) -> std::unique_ptr<IByteSource> {
            schemes.append(scheme);
            return std::make_unique<ShelfSource>(*shelf);
        };
        BookImageResolver resolver(byScheme, nullptr);
        const QString book = QStringLiteral("/books/a b.cbz");
        QVERIFY(!resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), book)).isEmpty());
        QVERIFY(!resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/2.png"), book)).isEmpty());
        QCOMPARE(shelf->opens.load(), 1);
        QVERIFY(!resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/other.cbz"))).isEmpty());
        QCOMPARE(shelf->opens.load(), 2);
        QVERIFY(!resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/other.cbz"), QStringLiteral("dir"))).isEmpty());
        QCOMPARE(shelf->opens.load(), 3);
        QCOMPARE(schemes, (QStringList{QStringLiteral("cbz"), QStringLiteral("cbz"), QStringLiteral("dir")}));
    }

    void urlWithoutBookUsesTheLastOne()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        const QString bare = QStringLiteral("image://cbz/p/2.png");
        QVERIFY(resolver.fetchEntryBytes(bare).isEmpty()); // nothing opened yet
        QVERIFY(!resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/a b.cbz"))).isEmpty());
        QCOMPARE(resolver.fetchEntryBytes(bare), TestImages::png(10, 20));
        // A book that fails to open is forgotten with the one before it.
        QVERIFY(resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/gone.cbz"))).isEmpty());
        QVERIFY(resolver.fetchEntryBytes(bare).isEmpty());
    }

    void noFactoryGivesNothing()
    {
        BookImageResolver resolver;
        QVERIFY(resolver.fetchEntryBytes(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/a b.cbz"))).isEmpty());
        QVERIFY(resolver.resolveImage(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/a b.cbz"))).isNull());
    }

    void sizesFromTheHeaderAndTheCaches()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        const QString first = entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/a b.cbz"));
        QCOMPARE(resolver.imageSize(first), QSizeF(800, 1200));
        QCOMPARE(shelf->reads.load(), 1);
        QCOMPARE(resolver.imageSize(first), QSizeF(800, 1200));
        QCOMPARE(shelf->reads.load(), 1);

        const QString second = entryUrl(QStringLiteral("p/2.png"), QStringLiteral("/books/a b.cbz"));
        QCOMPARE(resolver.resolveImage(second).size(), QSize(10, 20));
        QCOMPARE(shelf->reads.load(), 2);
        QCOMPARE(resolver.imageSize(second), QSizeF(10, 20));
        QCOMPARE(resolver.resolveImage(second).size(), QSize(10, 20));
        QCOMPARE(shelf->reads.load(), 2);
    }

    void failuresAreNotCached()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        const QString junk = entryUrl(QStringLiteral("junk"), QStringLiteral("/books/a b.cbz"));
        QVERIFY(resolver.resolveImage(junk).isNull());
        QCOMPARE(resolver.imageSize(junk), QSizeF(-1, -1));
        const int reads = shelf->reads.load();
        QVERIFY(resolver.resolveImage(junk).isNull());
        QCOMPARE(shelf->reads.load(), reads + 1);
    }

    void otherUrlForms_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << QString();
        QTest::newRow("file url") << QStringLiteral("file:///books/p/1.png");
        QTest::newRow("bare path") << QStringLiteral("/books/p/1.png");
        QTest::newRow("fileicon") << QStringLiteral("image://fileicon/books/a b.cbz");
    }
    void otherUrlForms()
    {
        QFETCH(QString, url);
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        QVERIFY(resolver.resolveImage(url).isNull());
        QCOMPARE(resolver.imageSize(url), QSizeF(-1, -1));
    }

    void forgetsOnFactoryChangeAndClear()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        const QString url = entryUrl(QStringLiteral("p/2.png"), QStringLiteral("/books/a b.cbz"));
        QVERIFY(!resolver.resolveImage(url).isNull());
        resolver.clearCache();
        QVERIFY(!resolver.resolveImage(url).isNull());
        QCOMPARE(shelf->opens.load(), 2);

        Shelf empty;
        resolver.setSchemeSourceFactory([&empty](const QString&) -> std::unique_ptr<IByteSource> {
            return std::make_unique<ShelfSource>(empty);
        });
        QVERIFY(resolver.resolveImage(url).isNull());
        QCOMPARE(resolver.imageSize(url), QSizeF(-1, -1));
        resolver.setSourceFactory(shelfFactory(*shelf));
        QVERIFY(!resolver.resolveImage(url).isNull());
    }

    // Nobody here waits for the network: the first ask starts the download, the arrival is told to
    // the size listener, and later asks find the image.
    void webImagesGoThroughTheWebProvider()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/w.png"), {200, "image/png", TestImages::png(30, 40)});
        QStringList fetched;
        QMutex fetchedLock;
        WebImageProvider web(nullptr, [&](const QString& url) {
            const QMutexLocker lock(&fetchedLock);
            fetched.append(url);
            return TestImages::png(30, 40);
        });
        BookImageResolver resolver(shelfFactory(*shelf), &web);
        QStringList settled;
        QMutex settledLock;
        resolver.setResolvedListener([&](const QString& url) {
            const QMutexLocker lock(&settledLock);
            settled.append(url);
        });
        web.setArrivalListener([&resolver](const QString& url) { resolver.webImageArrived(url); });
        const QString plain = server.url(QStringLiteral("/w.png"));
        const QString viaProvider = QStringLiteral("image://web/") + plain + QStringLiteral("?v=2");
        QCOMPARE(onPool([&] { return resolver.imageSize(plain); }), QSizeF(-1, -1));
        QCOMPARE(resolver.imageSize(viaProvider), QSizeF(-1, -1));
        WebImageCache::downloadPool()->waitForDone();
        {
            const QMutexLocker lock(&settledLock);
            settled.sort();
            QCOMPARE(settled, (QStringList{plain, viaProvider}));
        }
        QCOMPARE(resolver.imageSize(plain), QSizeF(30, 40));
        QCOMPARE(resolver.resolveImage(viaProvider).size(), QSize(30, 40));
        QCOMPARE(resolver.imageSize(viaProvider), QSizeF(30, 40));
        fetched.sort();
        QCOMPARE(fetched, (QStringList{plain, plain + QStringLiteral("?v=2")}));
        QCOMPARE(shelf->opens.load(), 0);

        resolver.setWebProvider(nullptr); // the default provider, over the network
        server.route(QStringLiteral("/w2.png"), {200, "image/png", TestImages::png(5, 6)});
        const QString second = server.url(QStringLiteral("/w2.png"));
        resolver.imageSize(second);
        QTRY_COMPARE(resolver.imageSize(second), QSizeF(5, 6));
        web.setArrivalListener({});
    }

    // A download that arrives before the fetch that started it returns still tells the listener,
    // whether a size or a picture was asked for.
    void webImageAnsweredAtOnce_data()
    {
        QTest::addColumn<bool>("picture");
        QTest::newRow("size") << false;
        QTest::newRow("picture") << true;
    }
    void webImageAnsweredAtOnce()
    {
        QFETCH(bool, picture);
        LocalHttpServer server;
        server.route(QStringLiteral("/now.png"), {200, "image/png", TestImages::png(7, 9)});
        InstantWebProvider web;
        BookImageResolver resolver(shelfFactory(*shelf), &web);
        QStringList settled;
        QMutex settledLock;
        resolver.setResolvedListener([&](const QString& url) {
            const QMutexLocker lock(&settledLock);
            settled.append(url);
        });
        web.setArrivalListener([&](const QString& url) {
            resolver.webImageArrived(url);
            web.arrived.release();
        });
        const QString url = server.url(QStringLiteral("/now.png"));
        if (picture)
            QVERIFY(resolver.resolveImage(url).isNull());
        else
            QCOMPARE(resolver.imageSize(url), QSizeF(-1, -1));
        {
            const QMutexLocker lock(&settledLock);
            QCOMPARE(settled, QStringList{url});
        }
        QCOMPARE(resolver.imageSize(url), QSizeF(7, 9));
        QCOMPARE(resolver.resolveImage(url).size(), QSize(7, 9));
        web.setArrivalListener({});
        WebImageCache::downloadPool()->waitForDone();
        QCOMPARE(settled, QStringList{url}); // answers from the caches are not told again
    }

    void sizesAreReadFromTheHeaderOnly()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        const QString broken = entryUrl(QStringLiteral("p/broken.png"), QStringLiteral("/books/a b.cbz"));
        QCOMPARE(resolver.imageSize(broken), QSizeF(70, 90));
        QVERIFY(resolver.resolveImage(broken).isNull());
        QCOMPARE(resolver.decodedBytes(), 0);
    }

    // Many large pictures read in a row keep no more than the bound; a book change keeps none.
    void decodedImagesStayWithinTheirBound()
    {
        Shelf large;
        QHash<QString, QByteArray> pages;
        const QByteArray page = TestImages::png(2000, 3000);
        for (int i = 0; i < 12; ++i)
            pages.insert(QStringLiteral("p/%1.png").arg(i), page);
        large.books.insert(QStringLiteral("/books/big.cbz"), pages);
        BookImageResolver resolver(shelfFactory(large), nullptr);
        for (int i = 0; i < 12; ++i) {
            const QString url = entryUrl(QStringLiteral("p/%1.png").arg(i), QStringLiteral("/books/big.cbz"));
            QCOMPARE(resolver.resolveImage(url).size(), QSize(2000, 3000));
            QVERIFY(resolver.decodedBytes() <= BookImageResolver::kDecodedCacheBytes);
        }
        QVERIFY(resolver.decodedBytes() > 0);
        resolver.clearCache();
        QCOMPARE(resolver.decodedBytes(), 0);
    }

    void imagesAreDecodedAtTheSizeShown()
    {
        Shelf shelfOfHuge;
        shelfOfHuge.books.insert(QStringLiteral("/books/huge.cbz"), {{QStringLiteral("page.jpg"), TestImages::hugeGreyJpeg(QSize(12000, 9000))}});
        BookImageResolver resolver(shelfFactory(shelfOfHuge), nullptr);
        const QString url = entryUrl(QStringLiteral("page.jpg"), QStringLiteral("/books/huge.cbz"));
        QCOMPARE(resolver.imageSize(url), QSizeF(12000, 9000));
        const QImage shown = resolver.resolveImageAt(url, QSize(800, 800));
        QCOMPARE(shown.size(), QSize(800, 600));
        // Asked at its own size, it still shows: shrunk to what may be held.
        const QImage whole = resolver.resolveImage(url);
        QVERIFY(!whole.isNull());
        QVERIFY(whole.sizeInBytes() <= ImageDecoder::kMaxDecodedBytes);
        QVERIFY(std::abs(double(whole.width()) / whole.height() - 12000.0 / 9000.0) < 0.01);
        QCOMPARE(resolver.resolveImageAt(url, QSize(400, 400)).size(), whole.size()); // the larger copy serves
        QCOMPARE(resolver.imageSize(url), QSizeF(12000, 9000));
    }

    void svgIsRenderedAtTheSizeShown()
    {
        Shelf drawings;
        drawings.books.insert(QStringLiteral("/books/svg.epub"),
                              {{QStringLiteral("map.svg"),
                                svgBytes(QStringLiteral("viewBox=\"0 0 46296 40689\""),
                                         QStringLiteral("<rect width=\"46296\" height=\"40689\" fill=\"#0000ff\"/>"))}});
        BookImageResolver resolver(shelfFactory(drawings), nullptr);
        const QString url = entryUrl(QStringLiteral("map.svg"), QStringLiteral("/books/svg.epub"), QStringLiteral("epub"));
        QCOMPARE(resolver.imageSize(url), QSizeF(46296, 40689));
        const QImage shown = resolver.resolveImageAt(url, QSize(600, 600));
        QCOMPARE(shown.size(), QSize(600, 527));
        QCOMPARE(QColor(shown.pixel(300, 260)), QColor(Qt::blue));
    }

    // The pictures an SVG names are found in the book: relative to an SVG entry, or by the book URL
    // an inline drawing was given when its chapter was read.
    void svgPicturesComeFromTheBook_data()
    {
        QTest::addColumn<QString>("url");
        const QString book = QStringLiteral("/books/a b.cbz");
        QTest::newRow("svg entry") << entryUrl(QStringLiteral("p/page.svg"), book);
        const QString inlineDrawing = QString::fromUtf8(svgBytes(QStringLiteral("width=\"10\" height=\"10\""),
            QStringLiteral("<image width=\"10\" height=\"10\" xlink:href=\"%1\"/>").arg(entryUrl(QStringLiteral("p/green.png"), book))));
        QTest::newRow("inline drawing") << DataUrl::encode(inlineDrawing.toUtf8(), QStringLiteral("image/svg+xml"));
    }
    void svgPicturesComeFromTheBook()
    {
        QFETCH(QString, url);
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        QCOMPARE(resolver.imageSize(url), QSizeF(10, 10));
        const QImage image = resolver.resolveImageAt(url, QSize(20, 20));
        QVERIFY(!image.isNull());
        QCOMPARE(QColor(image.pixel(image.width() / 2, image.height() / 2)), QColor(Qt::green));
    }

    void dataUrls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("base64") << DataUrl::encode(TestImages::png(7, 5), QStringLiteral("image/png")) << QSizeF(7, 5);
        QTest::newRow("percent-encoded") << QStringLiteral("data:image/svg+xml,")
                + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(svgBytes(QStringLiteral("width=\"12\" height=\"4\""), QString()))))
                                         << QSizeF(12, 4);
        QTest::newRow("not an image") << QStringLiteral("data:text/plain,hello") << QSizeF(-1, -1);
        QTest::newRow("no comma") << QStringLiteral("data:image/png;base64") << QSizeF(-1, -1);
        QTest::newRow("above the cap") << DataUrl::encode(QByteArray(DataUrl::kMaxBytes + 1, 'x'), QStringLiteral("image/png"))
                                       << QSizeF(-1, -1);
    }
    void dataUrls()
    {
        QFETCH(QString, url);
        QFETCH(QSizeF, size);
        BookImageResolver resolver;
        QCOMPARE(resolver.imageSize(url), size);
        QCOMPARE(QSizeF(resolver.resolveImage(url).size()), size.width() > 0 ? size : QSizeF(0, 0));
    }

    // What a chapter's inline drawing and data image become is laid out at their own sizes.
    void inlineDrawingsAndDataImagesAreLaidOut()
    {
        const QString html = QStringLiteral(
            "<body><p>Text <img src=\"%1\"/></p><div><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 300 150\">"
            "<rect width=\"300\" height=\"150\" fill=\"#00ff00\"/></svg></div></body>")
                                 .arg(DataUrl::encode(TestImages::png(40, 30), QStringLiteral("image/png")));
        const QList<BlockItem> blocks = HtmlBlockParser::parse(html, ParseParams());
        BookImageResolver resolver;
        const ChunkLayoutEngine engine;
        LayoutParams params;
        params.width = 600;
        const ChunkLayout layout = engine.layoutPreparedChunk(engine.prepareBlocks(blocks, 16, &resolver), params);
        QCOMPARE(layout.images.size(), 2);
        QCOMPARE(layout.images[0].rect.size(), QSizeF(40, 30));
        QCOMPARE(layout.images[1].rect.size(), QSizeF(300, 150));
        const QImage drawing = resolver.resolveImageAt(layout.images[1].source, QSize(300, 150));
        QCOMPARE(QColor(drawing.pixel(150, 75)), QColor(Qt::green));
    }

    void manyThreadsAtOnce()
    {
        BookImageResolver resolver(shelfFactory(*shelf), nullptr);
        QStringList urls;
        for (int i = 0; i < 200; ++i) {
            if (i % 3 == 0)
                urls.append(entryUrl(QStringLiteral("p/1.png"), QStringLiteral("/books/other.cbz")));
            else
                urls.append(entryUrl(i % 2 ? QStringLiteral("p/1.png") : QStringLiteral("p/2.png"), QStringLiteral("/books/a b.cbz")));
        }
        const QList<QSizeF> sizes = QtConcurrent::blockingMapped(urls, [&resolver](const QString& url) {
            return url.contains(QStringLiteral("other")) ? QSizeF(resolver.resolveImage(url).size()) : resolver.imageSize(url);
        });
        for (qsizetype i = 0; i < urls.size(); ++i) {
            const QSizeF expected = urls[i].contains(QStringLiteral("other")) ? QSizeF(3, 3)
                : urls[i].contains(QStringLiteral("1.png")) ? QSizeF(800, 1200) : QSizeF(10, 20);
            QCOMPARE(sizes[i], expected);
        }
    }

private:
    std::unique_ptr<Shelf> shelf;
};

QTEST_MAIN(TestBookImageResolver)
#include "tst_bookimageresolver.moc"
