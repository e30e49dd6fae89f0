#include "DiskWebImageStorage.h"
#include "HttpDownload.h"
#include "LocalHttpServer.h"
#include "TestImages.h"
#include "WebImageProvider.h"

#include <QMutex>
#include <QQuickImageResponse>
#include <QQuickTextureFactory>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <future>
#include <memory>
#include <vector>

namespace {

// Downloads wait on the network only on the download pool, so the tests fetch from there.
// (Waiting on a QFuture could run the task on the waiting thread instead.)
template <typename Work>
auto onPool(Work work)
{
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    WebImageCache::downloadPool()->start([&task] { task(); });
    return result.get();
}

QImage fetchOnPool(WebImageProvider& provider, const QString& url, QSize size = QSize(-1, -1))
{
    return onPool([&] { return provider.fetchImage(url, size); });
}

QByteArray getOnPool(const QString& url, int timeoutMs, qint64 maxBytes)
{
    return onPool([&] { return HttpDownload::get(url, timeoutMs, maxBytes); });
}

} // namespace

class TestWebImageProvider : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        storage = std::make_shared<DiskWebImageStorage>(folder->path());
    }

    void downloadsThenAnswersFromTheCaches()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/a.png"), {200, "image/png", TestImages::png(40, 20)});
        const QString url = server.url(QStringLiteral("/a.png"));
        {
            WebImageProvider provider(storage);
            const QImage image = fetchOnPool(provider, url);
            QCOMPARE(image.size(), QSize(40, 20));
            QCOMPARE(server.lastUserAgent(), QByteArray("Vellora/1.0"));
            QCOMPARE(server.requests(QStringLiteral("/a.png")), 1);
            QVERIFY(!storage->load(url).isEmpty());

            QCOMPARE(fetchOnPool(provider, url, QSize(10, 0)).size(), QSize(10, 5));
            QCOMPARE(provider.fetchImage(url, QSize(-1, -1)).size(), QSize(40, 20)); // memory, any thread
            QCOMPARE(server.requests(QStringLiteral("/a.png")), 1);
        }
        WebImageProvider second(storage); // a new run: the disk cache answers
        QCOMPARE(second.fetchImage(url, QSize(-1, -1)).size(), QSize(40, 20));
        QCOMPARE(server.requests(QStringLiteral("/a.png")), 1);
    }

    void failuresAreNotKept_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("not an image") << 200 << QByteArray("<html><body>Sorry</body></html>");
        QTest::newRow("error status") << 404 << TestImages::png(4, 4);
        QTest::newRow("empty body") << 200 << QByteArray();
    }
    void failuresAreNotKept()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        LocalHttpServer server;
        server.route(QStringLiteral("/x"), {status, "text/html", body});
        const QString url = server.url(QStringLiteral("/x"));
        WebImageProvider provider(storage);
        QVERIFY(fetchOnPool(provider, url).isNull());
        QVERIFY(storage->load(url).isEmpty());
        QVERIFY(QDir(folder->path()).entryList(QDir::Files).isEmpty());
        // Remembered as failed for a while: no second request.
        QVERIFY(fetchOnPool(provider, url).isNull());
        QCOMPARE(server.requests(QStringLiteral("/x")), 1);
    }

    void unreachableServer()
    {
        quint16 closedPort = 0;
        {
            LocalHttpServer gone;
            closedPort = QUrl(gone.url(QStringLiteral("/"))).port();
        }
        WebImageProvider provider(storage);
        QVERIFY(fetchOnPool(provider, QStringLiteral("http://127.0.0.1:%1/a.png").arg(closedPort)).isNull());
    }

    void callersOffThePoolAreAnsweredFromTheCaches()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/slow.png"), {200, "image/png", TestImages::png(8, 8)});
        const QString url = server.url(QStringLiteral("/slow.png"));
        WebImageProvider provider(storage);
        QVERIFY(provider.fetchImage(url, QSize(-1, -1)).isNull()); // the GUI thread is not kept waiting
        // ... but the download happens on the pool, once, and later requests find it.
        QTRY_VERIFY(!provider.fetchImage(url, QSize(-1, -1)).isNull());
        WebImageCache::downloadPool()->waitForDone();
        QCOMPARE(server.requests(QStringLiteral("/slow.png")), 1);
    }

    // Slow servers hold threads of the download pool only, and every request of one URL waits for
    // the one download of it; its arrival is told once.
    void downloadsAreSharedAndLeaveTheGlobalPoolFree()
    {
        QSemaphore answer;
        std::atomic<int> fetches{0};
        WebImageProvider provider(nullptr, [&](const QString&) {
            ++fetches;
            answer.acquire();
            return TestImages::png(12, 12);
        });
        QStringList arrived;
        QMutex arrivedLock;
        provider.setArrivalListener([&](const QString& url) {
            const QMutexLocker lock(&arrivedLock);
            arrived.append(url);
        });
        const QString slow = QStringLiteral("http://slow.invalid/a.png");
        QVERIFY(provider.fetchImage(slow, QSize(-1, -1)).isNull()); // starts it, does not wait
        std::vector<std::unique_ptr<QQuickImageResponse>> responses;
        std::vector<std::unique_ptr<QSignalSpy>> finished;
        for (int i = 0; i < 2; ++i) {
            responses.emplace_back(provider.requestImageResponse(slow, QSize(6, 6)));
            finished.push_back(std::make_unique<QSignalSpy>(responses.back().get(), &QQuickImageResponse::finished));
        }
        QTRY_COMPARE(fetches.load(), 1);
        QTRY_COMPARE(WebImageCache::downloadPool()->activeThreadCount(), 3);
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);

        answer.release(10);
        for (auto& spy : finished)
            QTRY_COMPARE(spy->size(), 1);
        for (auto& response : responses) {
            std::unique_ptr<QQuickTextureFactory> texture(response->textureFactory());
            QVERIFY(texture);
            QCOMPARE(texture->textureSize(), QSize(6, 6));
        }
        QCOMPARE(fetches.load(), 1);
        WebImageCache::downloadPool()->waitForDone();
        QCOMPARE(arrived, QStringList{slow});
        provider.setArrivalListener({});
    }

    void damagedDiskFileIsFetchedAgain()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/a.png"), {200, "image/png", TestImages::png(6, 6)});
        const QString url = server.url(QStringLiteral("/a.png"));
        QVERIFY(storage->store(url, "garbage"));
        WebImageProvider provider(storage);
        QCOMPARE(fetchOnPool(provider, url).size(), QSize(6, 6));
        QCOMPARE(server.requests(QStringLiteral("/a.png")), 1);
        QCOMPARE(storage->load(url), TestImages::png(6, 6));
    }

    void providerResponses()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/a.png"), {200, "image/png", TestImages::png(30, 30)});
        WebImageProvider provider(storage);

        std::unique_ptr<QQuickImageResponse> warmup(provider.requestImageResponse(WebImageProvider::WarmupId, QSize()));
        QSignalSpy warmupFinished(warmup.get(), &QQuickImageResponse::finished);
        QVERIFY(warmupFinished.wait());
        QCOMPARE(warmup->textureFactory(), nullptr);

        std::unique_ptr<QQuickImageResponse> image(provider.requestImageResponse(server.url(QStringLiteral("/a.png")), QSize(15, 15)));
        QSignalSpy imageFinished(image.get(), &QQuickImageResponse::finished);
        QVERIFY(imageFinished.wait());
        std::unique_ptr<QQuickTextureFactory> texture(image->textureFactory());
        QVERIFY(texture);
        QCOMPARE(texture->textureSize(), QSize(15, 15));
        QCOMPARE(server.requests(QStringLiteral("/a.png")), 1);
    }

    void downloadLimits_data()
    {
        QTest::addColumn<LocalHttpServer::Answer>("answer");
        QTest::addColumn<bool>("kept");
        const QByteArray body(1000, 'x');
        QTest::newRow("within the cap") << LocalHttpServer::Answer{200, "image/png", body} << true;
        QTest::newRow("announced above the cap") << LocalHttpServer::Answer{200, "image/png", body, true, 5000} << false;
        QTest::newRow("received above the cap") << LocalHttpServer::Answer{200, "image/png", QByteArray(5000, 'x'), false} << false;
        QTest::newRow("never answered") << LocalHttpServer::Answer{200, "image/png", body, true, -1, true} << false;
    }
    void downloadLimits()
    {
        QFETCH(LocalHttpServer::Answer, answer);
        QFETCH(bool, kept);
        LocalHttpServer server;
        server.route(QStringLiteral("/f"), answer);
        const QByteArray got = getOnPool(server.url(QStringLiteral("/f")), 300, 2000);
        QCOMPARE(got, kept ? answer.body : QByteArray());
    }

    void onlyHttpIsFetched_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("file") << QStringLiteral("file:///etc/hostname");
        QTest::newRow("no scheme") << QStringLiteral("/etc/hostname");
        QTest::newRow("empty") << QString();
        QTest::newRow("no host") << QStringLiteral("http:///a.png");
    }
    void onlyHttpIsFetched()
    {
        QFETCH(QString, url);
        QVERIFY(getOnPool(url, 300, 1000).isEmpty());
    }

    void defaultInstanceIsOne()
    {
        QVERIFY(WebImageProvider::defaultInstance());
        QCOMPARE(WebImageProvider::defaultInstance(), WebImageProvider::defaultInstance());
    }

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::shared_ptr<DiskWebImageStorage> storage;
};


QTEST_MAIN(TestWebImageProvider)
#include "tst_webimageprovider.moc"
