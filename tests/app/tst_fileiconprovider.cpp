#include "FileIconProvider.h"

#include <QTest>

class TestFileIconProvider : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void drawnAtTheRequestedSize_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("default") << QStringLiteral("home/reader/book.epub") << QSize() << QSize(60, 80);
        QTest::newRow("one side only") << QStringLiteral("/home/reader/book.epub") << QSize(32, 0) << QSize(60, 80);
        QTest::newRow("both sides") << QStringLiteral("/home/reader/comic.cbz") << QSize(32, 48) << QSize(32, 48);
        QTest::newRow("missing file") << QStringLiteral("no/such/file.txt") << QSize(16, 16) << QSize(16, 16);
        QTest::newRow("folder") << QStringLiteral("/tmp") << QSize(20, 20) << QSize(20, 20);
        QTest::newRow("empty id") << QString() << QSize() << QSize(60, 80);
    }
    void drawnAtTheRequestedSize()
    {
        QFETCH(QString, id);
        QFETCH(QSize, requested);
        QFETCH(QSize, expected);
        FileIconProvider provider;
        QCOMPARE(provider.imageType(), QQuickImageProvider::Image);
        QSize reported;
        const QImage image = provider.requestImage(id, &reported, requested);
        QCOMPARE(image.size(), expected);
        QCOMPARE(reported, expected);
    }
};

QTEST_MAIN(TestFileIconProvider)
#include "tst_fileiconprovider.moc"
