#include "sources/Md5OfFile.h"
#include "sources/RarByteSource.h"
#include "TestRar.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

#include <archive.h>
#include <archive_entry.h>

using TestRar::Entry;
using TestRar::Format;

Q_DECLARE_METATYPE(TestRar::Format)

namespace {

QByteArray pattern(int size, char seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7);
    return bytes;
}

void addFormatColumn()
{
    QTest::addColumn<Format>("format");
}

} // namespace

class TestRarByteSource : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString write(Format format, const QList<Entry>& entries)
    {
        const QString path = m_dir.filePath(QStringLiteral("book%1.cbr").arg(++m_count));
        if (!TestRar::write(path, format, entries))
            return QString();
        return path;
    }
    QString writeBytes(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("raw%1.cbr").arg(++m_count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    static void bothFormats()
    {
        addFormatColumn();
        QTest::newRow("rar4") << Format::Rar4;
        QTest::newRow("rar5") << Format::Rar5;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The fixture writer itself, checked against libarchive alone: every header reads without a
    // warning and every file gives back its bytes.
    void fixturesReadByLibarchive_data() { bothFormats(); }
    void fixturesReadByLibarchive()
    {
        QFETCH(Format, format);
        const QList<Entry> entries = {
            {QStringLiteral("pages"), {}, true},
            {QStringLiteral("pages/01.png"), pattern(1000, 'a')},
            {QStringLiteral("pages/02.png"), pattern(5, 'b')},
        };
        const QString path = write(format, entries);
        QVERIFY(!path.isEmpty());

        archive* reader = archive_read_new();
        archive_read_support_format_rar(reader);
        archive_read_support_format_rar5(reader);
        QCOMPARE(archive_read_open_filename(reader, path.toUtf8().constData(), 16384), ARCHIVE_OK);
        archive_entry* entry = nullptr;
        for (const Entry& expected : entries) {
            QCOMPARE(archive_read_next_header(reader, &entry), ARCHIVE_OK);
            QCOMPARE(QString::fromUtf8(archive_entry_pathname_utf8(entry)), expected.name);
            QCOMPARE(archive_entry_filetype(entry), expected.directory ? AE_IFDIR : AE_IFREG);
            QCOMPARE(archive_entry_size(entry), qint64(expected.data.size()));
            if (expected.directory)
                continue;
            QByteArray data(expected.data.size() + 16, '\0');
            QCOMPARE(archive_read_data(reader, data.data(), size_t(data.size())), la_ssize_t(expected.data.size()));
            data.truncate(expected.data.size());
            QCOMPARE(data, expected.data);
        }
        QCOMPARE(archive_read_next_header(reader, &entry), ARCHIVE_EOF);
        archive_read_free(reader);
    }

    // Only regular files are listed, in archive order; every read is exact or empty.
    void listAndRead_data() { bothFormats(); }
    void listAndRead()
    {
        QFETCH(Format, format);
        const QByteArray page = pattern(70000, 'p'); // more than one read block
        const QString path = write(format, {
            {QStringLiteral("img"), {}, true},
            {QStringLiteral("img/10.png"), page},
            {QStringLiteral("b.txt"), "bee"},
            {QString::fromUtf8("página ü.png"), "unicode"},
            {QStringLiteral("empty.bin"), {}},
        });
        RarByteSource source;
        QVERIFY(source.open(path));
        QCOMPARE(source.listEntries(), (QStringList{QStringLiteral("img/10.png"), QStringLiteral("b.txt"),
                                                    QString::fromUtf8("página ü.png"), QStringLiteral("empty.bin")}));
        QCOMPARE(source.readEntry(QStringLiteral("img/10.png")), page);
        QCOMPARE(source.readEntry(QStringLiteral("b.txt")), QByteArray("bee"));
        QCOMPARE(source.readEntry(QString::fromUtf8("página ü.png")), QByteArray("unicode"));
        QVERIFY(source.readEntry(QStringLiteral("img")).isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("empty.bin")).isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("missing.png")).isEmpty());
        QVERIFY(source.readEntry(QString()).isEmpty());
        QCOMPARE(source.contentHash(), md5OfFile(path));
        QCOMPARE(source.contentHash().size(), 16);
    }

    // Entries that cannot be read whole give an empty array, never a part; later entries stay
    // readable where the archive still reaches them.
    void damagedEntries_data()
    {
        addFormatColumn();
        QTest::addColumn<bool>("truncate"); // false: the header claims a size beyond the cap
        for (Format format : {Format::Rar4, Format::Rar5}) {
            const char* name = format == Format::Rar4 ? "rar4" : "rar5";
            QTest::addRow("%s: header claims 300 MiB", name) << format << false;
            QTest::addRow("%s: cut inside the data", name) << format << true;
        }
    }
    void damagedEntries()
    {
        QFETCH(Format, format);
        QFETCH(bool, truncate);
        const QByteArray first = pattern(100, 'f');
        const QByteArray bad = pattern(3000, 'x');
        Entry badEntry{QStringLiteral("bad.png"), bad};
        if (!truncate)
            badEntry.declaredSize = 300LL * 1024 * 1024;
        QByteArray bytes = TestRar::build(format, {{QStringLiteral("first.png"), first}, badEntry,
                                                   {QStringLiteral("last.png"), "last"}});
        const qsizetype at = bytes.indexOf(bad);
        QVERIFY(at > 0);
        if (truncate)
            bytes.truncate(at + 1500);
        const QString path = writeBytes(bytes);

        RarByteSource source;
        QVERIFY(source.open(path));
        QVERIFY(source.listEntries().contains(QStringLiteral("bad.png")));
        QCOMPARE(source.readEntry(QStringLiteral("first.png")), first);
        QVERIFY(source.readEntry(QStringLiteral("bad.png")).isEmpty());
        if (!truncate)
            QCOMPARE(source.readEntry(QStringLiteral("last.png")), QByteArray("last"));
    }

    void readEntriesInOneWalk_data() { bothFormats(); }
    void readEntriesInOneWalk()
    {
        QFETCH(Format, format);
        const QString path = write(format, {
            {QStringLiteral("1.png"), "one"},
            {QStringLiteral("2.png"), "two"},
            {QStringLiteral("3.png"), "three"},
        });
        RarByteSource source;
        QVERIFY(source.open(path));
        QHash<QString, QByteArray> seen;
        int calls = 0;
        source.readEntries({QStringLiteral("3.png"), QStringLiteral("missing"), QStringLiteral("1.png")},
                           [&](const QString& name, const QByteArray& bytes) {
                               ++calls;
                               seen.insert(name, bytes);
                           });
        QCOMPARE(calls, 3);
        QCOMPARE(seen.value(QStringLiteral("1.png")), QByteArray("one"));
        QCOMPARE(seen.value(QStringLiteral("3.png")), QByteArray("three"));
        QVERIFY(seen.contains(QStringLiteral("missing")));
        QVERIFY(seen.value(QStringLiteral("missing")).isEmpty());
    }

    // The first of two same-named entries is the one served; both are listed. (libarchive folds
    // two adjacent RAR 4 headers of one name into one file, so they are kept apart here.)
    void duplicateNames_data() { bothFormats(); }
    void duplicateNames()
    {
        QFETCH(Format, format);
        const QString path = write(format, {{QStringLiteral("a.png"), "first"}, {QStringLiteral("b.png"), "b"},
                                                   {QStringLiteral("a.png"), "second"}});
        RarByteSource source;
        QVERIFY(source.open(path));
        QCOMPARE(source.listEntries(), (QStringList{QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("a.png")}));
        QCOMPARE(source.readEntry(QStringLiteral("a.png")), QByteArray("first"));
    }

    // Under a locale that cannot spell non-ASCII names: RAR 5 names still come through in UTF-8,
    // and the warning libarchive gives on a RAR 4 Unicode name does not end the walk, so the
    // entries after it are still listed and read.
    void underAsciiLocale()
    {
        const QString unicode = QString::fromUtf8("página.png");
        const QString rar5 = write(Format::Rar5, {{unicode, "five"}});
        const QString rar4 = write(Format::Rar4, {{unicode, "x"}, {QStringLiteral("next.png"), "next"}});
        const QByteArray previous = setlocale(LC_ALL, nullptr);
        setlocale(LC_ALL, "C");
        RarByteSource source5;
        const bool opened5 = source5.open(rar5);
        const QByteArray read5 = source5.readEntry(unicode);
        RarByteSource source4;
        const bool opened4 = source4.open(rar4);
        const QByteArray read4 = source4.readEntry(QStringLiteral("next.png"));
        setlocale(LC_ALL, previous.constData());

        QVERIFY(opened5);
        QCOMPARE(source5.listEntries(), QStringList{unicode});
        QCOMPARE(read5, QByteArray("five"));
        QVERIFY(opened4);
        QVERIFY(source4.listEntries().contains(QStringLiteral("next.png")));
        QCOMPARE(read4, QByteArray("next"));
    }

    // A RAR 4 name in an old code page (here CP866 "Глава") is listed under some name that reads.
    void legacyEncodedName()
    {
        Entry legacy{QString(), "legacy"};
        legacy.legacyName = QByteArray("\x83\xab\xa0\xa2\xa0.png");
        const QString path = write(Format::Rar4, {legacy, {QStringLiteral("plain.png"), "plain"}});
        RarByteSource source;
        QVERIFY(source.open(path));
        QCOMPARE(source.listEntries().size(), 2);
        QVERIFY(!source.listEntries().first().isEmpty());
        QCOMPARE(source.readEntry(source.listEntries().first()), QByteArray("legacy"));
        QCOMPARE(source.readEntry(QStringLiteral("plain.png")), QByteArray("plain"));
    }

    void failedOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("not an archive") << QByteArray("PK\x03\x04 this is no rar at all") << true;
        QTest::newRow("rar4 signature only") << QByteArray("Rar!\x1a\x07\x00", 7) << true;
        QTest::newRow("rar4 directories only")
            << TestRar::build(Format::Rar4, {{QStringLiteral("a"), {}, true}, {QStringLiteral("a/b"), {}, true}}) << true;
        QTest::newRow("rar5 directories only")
            << TestRar::build(Format::Rar5, {{QStringLiteral("a"), {}, true}}) << true;
        QTest::newRow("rar5 cut in the first header")
            << TestRar::build(Format::Rar5, {{QStringLiteral("a.png"), "data"}}).left(20) << true;
    }
    void failedOpen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        const QString path = exists ? writeBytes(bytes) : m_dir.filePath(QStringLiteral("nothing.cbr"));

        // A failed open also forgets the archive that was open before.
        RarByteSource source;
        QVERIFY(source.open(write(Format::Rar5, {{QStringLiteral("old.png"), "old"}})));
        QVERIFY(!source.open(path));
        QVERIFY(source.listEntries().isEmpty());
        QVERIFY(source.readEntry(QStringLiteral("old.png")).isEmpty());
        QVERIFY(source.contentHash().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRarByteSource)
#include "tst_rarbytesource.moc"
