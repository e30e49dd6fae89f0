#include "images/ImageUrl.h"
#include "quick/AsyncImageResponse.h"
#include "quick/EntryImageProvider.h"
#include "quick/ImageScaling.h"
#include "sources/ZipByteSource.h"
#include "TestImages.h"
#include "TestImages.h"
#include "TestZip.h"

#include <QQuickTextureFactory>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <cmath>
#include <memory>

namespace {


SourceFactory zipSourceFactory()
{
    return []() -> std::unique_ptr<IByteSource> { return std::make_unique<ZipByteSource>(); };
}

// The id QML hands the provider: the URL after "image://" + provider + "/".
QString idFor(const QString& entry, const QString& book)
{
    const QString prefix = QStringLiteral("image://cbz/");
    return ImageUrl::build(QStringLiteral("cbz"), entry, book).mid(prefix.size());
}

// Keeps the single pool thread busy until released, so that what is started next stays queued.
class Blocker : public QRunnable {
public:
    explicit Blocker(QSemaphore& release)
        : release(release)
    {
    }
    void run() override { release.acquire(); }

private:
    QSemaphore& release;
};

} // namespace

class TestEntryImageProvider : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        bookPath = dir.filePath(QStringLiteral("a b.cbz"));
        QVERIFY(TestZip::write(bookPath, {{QStringLiteral("pages/01 cover.png"), TestImages::png(200, 100, Qt::darkCyan)},
                                          {QStringLiteral("pages/02 huge.jpg"), TestImages::hugeGreyJpeg(QSize(12000, 9000))},
                                          {QStringLiteral("notes.txt"), QByteArray("not an image")}}));
    }

    void scalesToTheRequestedSize_data()
    {
        QTest::addColumn<QSize>("decoded");
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("result");
        QTest::newRow("nothing asked") << QSize(200, 100) << QSize(0, 0) << QSize(200, 100);
        QTest::newRow("invalid size") << QSize(200, 100) << QSize(-1, -1) << QSize(200, 100);
        QTest::newRow("width only") << QSize(200, 100) << QSize(100, 0) << QSize(100, 50);
        QTest::newRow("height only") << QSize(200, 100) << QSize(0, 50) << QSize(100, 50);
        QTest::newRow("both: fits inside") << QSize(200, 100) << QSize(100, 100) << QSize(100, 50);
        QTest::newRow("both: height limits") << QSize(200, 100) << QSize(300, 50) << QSize(100, 50);
        QTest::newRow("enlarged") << QSize(10, 10) << QSize(100, 0) << QSize(100, 100);
    }
    void scalesToTheRequestedSize()
    {
        QFETCH(QSize, decoded);
        QFETCH(QSize, requested);
        QFETCH(QSize, result);
        QImage image(decoded, QImage::Format_RGB32);
        image.fill(Qt::red);
        QCOMPARE(ImageScaling::toRequestedSize(image, requested).size(), result);
    }

    void loadsEntriesFromASource_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QSize>("size");
        QTest::newRow("image") << "pages/01 cover.png" << QSize(100, 50);
        QTest::newRow("huge page") << "pages/02 huge.jpg" << QSize(100, 75);
        QTest::newRow("empty entry name") << "" << QSize();
        QTest::newRow("missing entry") << "pages/02.png" << QSize();
        QTest::newRow("not an image") << "notes.txt" << QSize();
    }
    void loadsEntriesFromASource()
    {
        QFETCH(QString, entry);
        QFETCH(QSize, size);
        ZipByteSource source;
        QVERIFY(source.open(bookPath));
        const QImage image = EntryImageProvider::loadImageFromSource(source, entry, QSize(100, 0));
        QCOMPARE(image.isNull(), !size.isValid());
        if (size.isValid())
            QCOMPARE(image.size(), size);
    }

    // A page too large to decode whole still shows when asked at its own size: shrunk to what may be
    // held.
    void hugePageAtItsOwnSize()
    {
        ZipByteSource source;
        QVERIFY(source.open(bookPath));
        const QImage image = EntryImageProvider::loadImageFromSource(source, QStringLiteral("pages/02 huge.jpg"), QSize(-1, -1));
        QVERIFY(!image.isNull());
        QVERIFY(image.sizeInBytes() <= 128 * 1024 * 1024);
        QVERIFY(std::abs(double(image.width()) / image.height() - 4.0 / 3.0) < 0.01);
    }

    // A request goes from its id through the factory's own source to a texture, on the pool.
    void requestsDeliverTextures_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("textureSize");
        const QString cover = QStringLiteral("pages/01 cover.png");
        QTest::newRow("entry of the book") << idFor(cover, bookPath) << QSize(100, 50);
        QTest::newRow("id without src") << cover << QSize();
        QTest::newRow("book that does not open") << idFor(cover, dir.filePath(QStringLiteral("missing.cbz")))
                                                 << QSize();
        QTest::newRow("missing entry") << idFor(QStringLiteral("pages/02.png"), bookPath) << QSize();
    }
    void requestsDeliverTextures()
    {
        QFETCH(QString, id);
        QFETCH(QSize, textureSize);
        EntryImageProvider provider(zipSourceFactory(), QStringLiteral("cbz"));
        std::unique_ptr<QQuickImageResponse> response(provider.requestImageResponse(id, QSize(100, 0)));
        QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
        QVERIFY(finished.wait());
        std::unique_ptr<QQuickTextureFactory> texture(response->textureFactory());
        QCOMPARE(bool(texture), textureSize.isValid());
        if (texture)
            QCOMPARE(texture->textureSize(), textureSize);
        QCOMPARE(response->errorString(), QString());
    }

    void cancelledBeforeRunNeverRunsTheJob()
    {
        bool called = false;
        AsyncImageResponse response([&called] {
            called = true;
            return QImage(4, 4, QImage::Format_RGB32);
        });
        QSignalSpy finished(&response, &QQuickImageResponse::finished);
        response.cancel();
        response.run();
        QVERIFY(finished.wait());
        QVERIFY(!called);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!response.textureFactory());
    }

    // Cancelled while still queued on the pool: taken off the queue and finished at once, so the
    // engine can free it; the job never runs and finished() comes only once.
    void cancelledWhileQueuedFinishesOnce()
    {
        QThreadPool* pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        QSemaphore release;
        auto* blocker = new Blocker(release);
        pool->start(blocker);

        std::atomic<bool> called = false;
        AsyncImageResponse response([&called] {
            called = true;
            return QImage(4, 4, QImage::Format_RGB32);
        });
        QSignalSpy finished(&response, &QQuickImageResponse::finished);
        pool->start(&response);
        response.cancel();
        QCOMPARE(finished.count(), 1);

        release.release();
        pool->waitForDone();
        QCoreApplication::processEvents();
        pool->setMaxThreadCount(threads);
        QVERIFY(!called);
        QCOMPARE(finished.count(), 1);
    }

    // Cancelled while its job runs: the job completes, the image is dropped, finished() comes once.
    void cancelledDuringTheJobFinishesWithoutTexture()
    {
        QSemaphore started;
        QSemaphore proceed;
        AsyncImageResponse response([&] {
            started.release();
            proceed.acquire();
            return QImage(4, 4, QImage::Format_RGB32);
        });
        QSignalSpy finished(&response, &QQuickImageResponse::finished);
        QThreadPool::globalInstance()->start(&response);
        started.acquire();
        response.cancel();
        proceed.release();
        QVERIFY(finished.wait());
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!response.textureFactory());
    }

private:
    QTemporaryDir dir;
    QString bookPath;
};

QTEST_MAIN(TestEntryImageProvider)
#include "tst_entryimageprovider.moc"
