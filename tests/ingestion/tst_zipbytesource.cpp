#include "sources/Md5OfFile.h"
#include "sources/ZipByteSource.h"
#include "TestZip.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

#include <zip.h>

namespace {

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((seed * 31 + i * 7 + i / 13) & 0xff);
    return bytes;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One entry of `size` zero bytes written through minizip block by block, so the fixture never
// needs the inflated bytes in memory; its name is taken as raw bytes.
bool writeZipEntry(zipFile zf, const QByteArray& rawName, const QByteArray& data, qint64 zeros = 0)
{
    zip_fileinfo info = {};
    if (zipOpenNewFileInZip64(zf, rawName.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              zeros > 0 ? 1 : Z_DEFAULT_COMPRESSION, zeros > 0xffffffffLL)
        != ZIP_OK)
        return false;
    bool ok = data.isEmpty() || zipWriteInFileInZip(zf, data.constData(), unsigned(data.size())) == ZIP_OK;
    const QByteArray block(1 << 20, '\0');
    for (qint64 written = 0; ok && written < zeros; written += block.size())
        ok = zipWriteInFileInZip(zf, block.constData(), unsigned(block.size())) == ZIP_OK;
    return zipCloseFileInZip(zf) == ZIP_OK && ok;
}

} // namespace

class TestZipByteSource : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString path(const char* suffix = ".cbz") { return m_dir.filePath(QStringLiteral("z%1").arg(++m_count) + QLatin1String(suffix)); }
    QString writeZip(const QList<TestZip::Entry>& entries)
    {
        const QString file = path();
        return TestZip::write(file, entries) ? file : QString();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every entry is listed, directories included; only whole, non-empty entries read back.
    void listAndRead()
    {
        const QByteArray page = pattern(100000, 1);
        const QString file = writeZip({
            {QStringLiteral("a.png"), page},
            {QStringLiteral("img/"), {}},
            {QStringLiteral("stored.png"), "stored bytes", true},
            {QStringLiteral("zero.bin"), {}},
            {QString::fromUtf8("глава 1/стр.png"), "utf8"},
        });
        ZipByteSource source;
        QVERIFY(source.open(file));
        QCOMPARE(source.listEntries(), (QStringList{QStringLiteral("a.png"), QStringLiteral("img/"), QStringLiteral("stored.png"),
                                                    QStringLiteral("zero.bin"), QString::fromUtf8("глава 1/стр.png")}));
        QCOMPARE(source.readEntry(QStringLiteral("a.png")), page);
        QCOMPARE(source.readEntry(QStringLiteral("stored.png")), QByteArray("stored bytes"));
        QCOMPARE(source.readEntry(QString::fromUtf8("глава 1/стр.png")), QByteArray("utf8"));
        QVERIFY(source.readEntry(QStringLiteral("img/")).isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("zero.bin")).isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("missing.png")).isEmpty());
        QVERIFY(source.readEntry(QString()).isEmpty());

        // Heads stop inflating where asked, and a whole read afterwards is still whole.
        QCOMPARE(source.readEntryHead(QStringLiteral("a.png"), 20000), page.left(20000));
        QCOMPARE(source.readEntryHead(QStringLiteral("stored.png"), 6), QByteArray("stored"));
        QCOMPARE(source.readEntryHead(QStringLiteral("stored.png"), 1000), QByteArray("stored bytes"));
        QVERIFY(source.readEntryHead(QStringLiteral("missing.png"), 10).isEmpty());
        QCOMPARE(source.readEntry(QStringLiteral("a.png")), page);
    }

    // Damaged data must read as empty, never as a part or as wrong bytes.
    void damagedEntries_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::newRow("deflate stream broken") << false;
        QTest::newRow("stored bytes changed (CRC mismatch)") << true;
    }
    void damagedEntries()
    {
        QFETCH(bool, stored);
        const QByteArray good = pattern(5000, 2);
        const QByteArray victim = pattern(20000, 3);
        const QString file = writeZip({{QStringLiteral("good.png"), good}, {QStringLiteral("bad.png"), victim, stored}});
        QByteArray bytes = fileBytes(file);
        // The second local header starts with its signature after the first entry.
        const qsizetype header = bytes.indexOf("PK\x03\x04", 4);
        QVERIFY(header > 0);
        const qsizetype dataStart = header + 30 + 7; // fixed header + "bad.png", no extra field
        for (int i = 0; i < 64; ++i)
            bytes[dataStart + 200 + i] = char(bytes[dataStart + 200 + i] ^ 0x5a);
        QVERIFY(writeFile(file, bytes));

        ZipByteSource source;
        QVERIFY(source.open(file));
        QCOMPARE(source.readEntry(QStringLiteral("good.png")), good);
        QVERIFY(source.readEntry(QStringLiteral("bad.png")).isEmpty());
        QCOMPARE(source.readEntry(QStringLiteral("good.png")), good);
    }

    // A small archive that inflates beyond the entry cap reads as empty instead of filling memory.
    void zipBomb()
    {
        const QString file = path();
        zipFile zf = zipOpen64(file.toUtf8().constData(), APPEND_STATUS_CREATE);
        QVERIFY(zf);
        QVERIFY(writeZipEntry(zf, "bomb.png", {}, ZipByteSource::kMaxEntrySize + (1 << 20)));
        QVERIFY(writeZipEntry(zf, "after.png", "fine"));
        zipClose(zf, nullptr);
        QVERIFY(QFileInfo(file).size() < 2 * 1024 * 1024);

        ZipByteSource source;
        QVERIFY(source.open(file));
        QVERIFY(source.readEntry(QStringLiteral("bomb.png")).isEmpty());
        QCOMPARE(source.readEntry(QStringLiteral("after.png")), QByteArray("fine"));
    }

    // Names that are not UTF-8 (an old DOS code page here) are still listed and read by the
    // listed name; a later entry of the same name wins the lookup, and both stay listed.
    void legacyAndDuplicateNames()
    {
        const QString file = path();
        zipFile zf = zipOpen64(file.toUtf8().constData(), APPEND_STATUS_CREATE);
        QVERIFY(zf);
        QVERIFY(writeZipEntry(zf, "\x83\xab\xa0\xa2\xa0.png", "cp866"));
        QVERIFY(writeZipEntry(zf, "dup.png", "first"));
        QVERIFY(writeZipEntry(zf, "dup.png", "second"));
        zipClose(zf, nullptr);

        ZipByteSource source;
        QVERIFY(source.open(file));
        const QStringList entries = source.listEntries();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(source.readEntry(entries.first()), QByteArray("cp866"));
        QCOMPARE(entries.mid(1), (QStringList{QStringLiteral("dup.png"), QStringLiteral("dup.png")}));
        QCOMPARE(source.readEntry(QStringLiteral("dup.png")), QByteArray("second"));
    }

    // Books name entries in other letter cases than the archive stores them; an exact name still
    // comes first.
    void lookupIgnoresCaseWhenNoNameMatches()
    {
        const QString file = writeZip({
            {QStringLiteral("OEBPS/Styles/Main.css"), "sheet"},
            {QStringLiteral("IMG.png"), "upper"},
            {QStringLiteral("img.PNG"), "lower"},
        });
        ZipByteSource source;
        QVERIFY(source.open(file));
        QCOMPARE(source.readEntry(QStringLiteral("oebps/styles/main.CSS")), QByteArray("sheet"));
        QCOMPARE(source.readEntry(QStringLiteral("IMG.png")), QByteArray("upper"));
        QCOMPARE(source.readEntry(QStringLiteral("img.PNG")), QByteArray("lower"));
        QCOMPARE(source.readEntry(QStringLiteral("Img.png")), QByteArray("lower"));
        QVERIFY(source.readEntry(QStringLiteral("OEBPS/Styles/Main.cs")).isEmpty());

        ZipByteSource moved(std::move(source));
        QCOMPARE(moved.readEntry(QStringLiteral("OEBPS/STYLES/MAIN.CSS")), QByteArray("sheet"));
    }

    void failedOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("not an archive") << QByteArray("\x89PNG\r\n\x1a\n not a zip at all") << true;
        QTest::newRow("local header only") << QByteArray("PK\x03\x04\x14\x00\x00\x00", 8) << true;
    }
    void failedOpen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        const QString file = path();
        if (exists)
            QVERIFY(writeFile(file, bytes));

        // A failed open also forgets whatever was open before.
        ZipByteSource source;
        QVERIFY(source.open(writeZip({{QStringLiteral("old.png"), "old"}})));
        QVERIFY(!source.contentHash().isEmpty());
        QVERIFY(!source.open(file));
        QVERIFY(source.listEntries().isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("old.png")).isEmpty());
        QVERIFY(source.contentHash().isEmpty());
    }

    // An archive cut short loses its central directory: it does not open, or if it does, it never
    // serves bytes that are not there.
    void truncatedArchive()
    {
        const QByteArray page = pattern(50000, 4);
        QByteArray bytes = fileBytes(writeZip({{QStringLiteral("a.png"), page}, {QStringLiteral("b.png"), page}}));
        const QString file = path();
        QVERIFY(writeFile(file, bytes.left(bytes.size() * 2 / 3)));
        ZipByteSource source;
        if (source.open(file)) {
            for (const QString& name : source.listEntries()) {
                const QByteArray read = source.readEntry(name);
                QVERIFY(read.isEmpty() || read == page);
            }
        }
    }

    // The hash identifies the bytes, not the path; it is the MD5 of the whole file.
    void contentHash()
    {
        const QList<TestZip::Entry> entries = {{QStringLiteral("a.png"), pattern(3000, 5)}};
        const QString first = writeZip(entries);
        const QString second = m_dir.filePath(QStringLiteral("copy/other name.cbz"));
        QVERIFY(QDir().mkpath(QFileInfo(second).path()));
        QVERIFY(QFile::copy(first, second));

        ZipByteSource a;
        ZipByteSource b;
        QVERIFY(a.contentHash().isEmpty());
        QVERIFY(a.open(first));
        QVERIFY(b.open(second));
        QCOMPARE(a.contentHash(), QCryptographicHash::hash(fileBytes(first), QCryptographicHash::Md5));
        QCOMPARE(a.contentHash(), b.contentHash());

        // Reopening on another archive replaces entries and hash.
        const QString other = writeZip({{QStringLiteral("z.png"), "zzz"}});
        QVERIFY(a.open(other));
        QCOMPARE(a.listEntries(), QStringList{QStringLiteral("z.png")});
        QVERIFY(a.readEntry(QStringLiteral("a.png")).isEmpty());
        QCOMPARE(a.contentHash(), md5OfFile(other));
        QVERIFY(a.contentHash() != b.contentHash());
    }

    void md5OfFileFailures()
    {
        QVERIFY(md5OfFile(QString()).isEmpty());
        QVERIFY(md5OfFile(m_dir.filePath(QStringLiteral("no such file"))).isEmpty());
        QVERIFY(md5OfFile(m_dir.path()).isEmpty());
    }

    void moves()
    {
        const QString file = writeZip({{QStringLiteral("a.png"), "aaa"}});
        ZipByteSource source;
        QVERIFY(source.open(file));
        ZipByteSource moved(std::move(source));
        QVERIFY(source.listEntries().isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("a.png")).isEmpty());
        QCOMPARE(moved.readEntry(QStringLiteral("a.png")), QByteArray("aaa"));

        ZipByteSource assigned;
        QVERIFY(assigned.open(writeZip({{QStringLiteral("b.png"), "bbb"}})));
        assigned = std::move(moved);
        QVERIFY(moved.listEntries().isEmpty());
        QVERIFY(moved.readEntry(QStringLiteral("a.png")).isEmpty());
        QCOMPARE(assigned.listEntries(), QStringList{QStringLiteral("a.png")});
        QCOMPARE(assigned.readEntry(QStringLiteral("a.png")), QByteArray("aaa"));
        QVERIFY(assigned.readEntry(QStringLiteral("b.png")).isEmpty());

        assigned.closeArchive();
        QCOMPARE(assigned.listEntries(), QStringList{QStringLiteral("a.png")});
        QVERIFY(assigned.readEntry(QStringLiteral("a.png")).isEmpty());
    }

    // One open source serves readers on many threads; each read must be whole and exact.
    void eightThreadsReadOneSource()
    {
        QList<TestZip::Entry> entries;
        for (int i = 0; i < 24; ++i)
            entries.append({QStringLiteral("p%1.png").arg(i), pattern(20000 + i * 997, i), i % 3 == 0});
        ZipByteSource source;
        QVERIFY(source.open(writeZip(entries)));

        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                for (int round = 0; round < 10; ++round) {
                    for (int i = 0; i < entries.size(); ++i) {
                        const TestZip::Entry& entry = entries.at((i + t * 5 + round) % entries.size());
                        if (source.readEntry(entry.name) != entry.data)
                            ++wrong;
                    }
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(wrong.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestZipByteSource)
#include "tst_zipbytesource.moc"
