#include "sources/DirByteSource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestDirByteSource : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_root;
    QString m_book;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_book = m_root.filePath(QStringLiteral("book"));
        QVERIFY(QDir().mkpath(m_book + QStringLiteral("/subdir")));
        QVERIFY(writeFile(m_book + QStringLiteral("/b.png"), "bbbb"));
        QVERIFY(writeFile(m_book + QStringLiteral("/A.png"), "aaaaaa"));
        QVERIFY(writeFile(m_book + QStringLiteral("/.hidden.png"), "hidden"));
        QVERIFY(writeFile(m_book + QStringLiteral("/subdir/inner.png"), "inner"));
        QVERIFY(writeFile(m_root.filePath(QStringLiteral("outside.png")), "outside"));
    }

    // Regular, visible files directly inside, upper case first; the hash is made of names and sizes.
    void listingAndHash()
    {
        DirByteSource source;
        QVERIFY(source.contentHash().isEmpty());
        QVERIFY(source.open(m_book));
        QCOMPARE(source.listEntries(), (QStringList{QStringLiteral("A.png"), QStringLiteral("b.png")}));
        QCOMPARE(source.contentHash(), QCryptographicHash::hash("A.png:6\nb.png:4\n", QCryptographicHash::Md5));
    }

    // Only listed names are served: nothing outside the folder, nothing hidden or nested.
    void readEntry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("listed") << "A.png" << QByteArray("aaaaaa");
        QTest::newRow("parent folder") << "../outside.png" << QByteArray();
        QTest::newRow("absolute path") << m_root.filePath(QStringLiteral("outside.png")) << QByteArray();
        QTest::newRow("nested file") << "subdir/inner.png" << QByteArray();
        QTest::newRow("folder") << "subdir" << QByteArray();
        QTest::newRow("hidden file") << ".hidden.png" << QByteArray();
        QTest::newRow("missing") << "c.png" << QByteArray();
        QTest::newRow("empty name") << "" << QByteArray();
    }
    void readEntry()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        DirByteSource source;
        QVERIFY(source.open(m_book));
        QCOMPARE(source.readEntry(name), bytes);
    }

    void failedOpen_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << "nowhere";
        QTest::newRow("empty folder") << "empty";
        QTest::newRow("folders only") << "nested";
        QTest::newRow("a file, not a folder") << "outside.png";
    }
    void failedOpen()
    {
        QFETCH(QString, relative);
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("empty"))));
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("nested/deeper"))));
        DirByteSource source;
        QVERIFY(source.open(m_book));
        QVERIFY(!source.open(m_root.filePath(relative)));
        QVERIFY(source.listEntries().isEmpty());
        QVERIFY(source.contentHash().isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("A.png")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDirByteSource)
#include "tst_dirbytesource.moc"
