#include "BookImageResolver.h"
#include "ImageUrl.h"
#include "LocalHttpServer.h"
#include "WebImageProvider.h"

#include <QHash>
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
        shelf->books.insert(QStringLiteral("/books/a b.cbz"), {{QStringLiteral("p/1.png"), pngBytes(800, 1200)},
                                                              {QStringLiteral("p/2.png"), pngBytes(10, 20)},
                                                              {QStringLiteral("junk"), QByteArray("not an image")}});
        shelf->books.insert(QStringLiteral("/books/other.cbz"), {{QStringLiteral("p/1.png"), pngBytes(3, 3)}});
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
        QCOMPARE(resolver.fetchEntryBytes(bare), pngBytes(10, 20));
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
        server.route(QStringLiteral("/w.png"), {200, "image/png", pngBytes(30, 40)});
        QStringList fetched;
        QMutex fetchedLock;
        WebImageProvider web(nullptr, [&](const QString& url) {
            const QMutexLocker lock(&fetchedLock);
            fetched.append(url);
            return pngBytes(30, 40);
        });
        BookImageResolver resolver(shelfFactory(*shelf), &web);
        QStringList settled;
        QMutex settledLock;
        resolver.setSizeListener([&](const QString& url) {
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
        server.route(QStringLiteral("/w2.png"), {200, "image/png", pngBytes(5, 6)});
        const QString second = server.url(QStringLiteral("/w2.png"));
        resolver.imageSize(second);
        QTRY_COMPARE(resolver.imageSize(second), QSizeF(5, 6));
        web.setArrivalListener({});
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
