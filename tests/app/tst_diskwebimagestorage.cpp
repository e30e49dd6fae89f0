#include "DiskWebImageStorage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <atomic>

class TestDiskWebImageStorage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Vellora"));
        QCoreApplication::setOrganizationName(QStringLiteral("Vellora"));
        QStandardPaths::setTestModeEnabled(true);
    }

    void namesFilesBySha256OfTheUrl()
    {
        const QString url = QStringLiteral("https://example.org/a b.png?x=1");
        const QString hex = QString::fromLatin1(QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex());
        QCOMPARE(DiskWebImageStorage(QStringLiteral("/f")).pathFor(url), QStringLiteral("/f/") + hex);
        QCOMPARE(DiskWebImageStorage().folder(),
                 QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/web-images"));
        QCOMPARE(DiskWebImageStorage(QString()).pathFor(url), QString());
    }

    void storesAndReplacesWholeFiles()
    {
        QTemporaryDir dir;
        DiskWebImageStorage storage(dir.path() + QStringLiteral("/web-images"));
        const QString url = QStringLiteral("http://h/a.png");
        QVERIFY(storage.load(url).isEmpty());
        QVERIFY(storage.store(url, "first"));
        QVERIFY(storage.store(url, "second, longer"));
        QCOMPARE(storage.load(url), QByteArray("second, longer"));
        // Only the named file: no temporary file is left behind.
        QCOMPARE(QDir(storage.folder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(storage.pathFor(url)).fileName()});
        storage.remove(url);
        QVERIFY(storage.load(url).isEmpty());
    }

    void unwritableFolder()
    {
        QTemporaryDir dir;
        QFile blocker(dir.path() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        DiskWebImageStorage storage(blocker.fileName() + QStringLiteral("/web-images"));
        QVERIFY(!storage.store(QStringLiteral("http://h/a.png"), "bytes"));
        QVERIFY(storage.load(QStringLiteral("http://h/a.png")).isEmpty());
    }

    void readersNeverSeeAHalfWrittenFile()
    {
        QTemporaryDir dir;
        DiskWebImageStorage storage(dir.path());
        const QString url = QStringLiteral("http://h/big.png");
        const QByteArray a(256 * 1024, 'a');
        const QByteArray b(512 * 1024, 'b');
        QVERIFY(storage.store(url, a));
        std::atomic<int> torn{0};
        QList<QFuture<void>> work;
        for (int writer = 0; writer < 2; ++writer) {
            work.append(QtConcurrent::run([&, writer] {
                for (int i = 0; i < 20; ++i)
                    storage.store(url, (i + writer) % 2 ? a : b);
            }));
        }
        for (int reader = 0; reader < 2; ++reader) {
            work.append(QtConcurrent::run([&] {
                for (int i = 0; i < 40; ++i) {
                    const QByteArray got = storage.load(url);
                    if (got != a && got != b)
                        ++torn;
                }
            }));
        }
        for (QFuture<void>& future : work)
            future.waitForFinished();
        QCOMPARE(torn.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDiskWebImageStorage)
#include "tst_diskwebimagestorage.moc"
