#include "formats/ComicReader.h"
#include "images/ImageDecoder.h"
#include "images/ImageUrl.h"
#include "sources/DirByteSource.h"
#include "sources/Md5OfFile.h"
#include "sources/RarByteSource.h"
#include "sources/ZipByteSource.h"
#include "TestRar.h"
#include "TestZip.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

namespace {

QByteArray image(int width, int height, const char* format)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

template <typename Source>
SourceFactory factory()
{
    return [] { return std::make_unique<Source>(); };
}

struct Fixture {
    QString name;
    QByteArray bytes;
};

// Counts how entries are read, to see that pages come from one pass, or from their heads alone
// where the source can stop early.
class CountingSource : public DirByteSource {
public:
    QByteArray readEntry(const QString& name) const override
    {
        ++singleReads;
        return DirByteSource::readEntry(name);
    }
    QByteArray readEntryHead(const QString& name, qint64 maxBytes) const override
    {
        ++heads;
        return DirByteSource::readEntryHead(name, maxBytes);
    }
    bool readsHeadsCheaply() const override { return cheapHeads; }
    void readEntries(const QStringList& names, const EntryVisitor& visit) const override
    {
        ++passes;
        for (const QString& name : names)
            visit(name, DirByteSource::readEntry(name));
    }
    static inline bool cheapHeads = false;
    static inline int singleReads = 0;
    static inline int heads = 0;
    static inline int passes = 0;
};

} // namespace

class TestComicReader : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // The same fixture as a CBZ, a RAR 4 or RAR 5 CBR, or a folder; returns the path and the factory.
    QString make(const QString& kind, const QList<Fixture>& files, SourceFactory* sourceFactory,
                 const QString& baseName = QString())
    {
        const QString stem = baseName.isEmpty() ? QStringLiteral("comic %1").arg(++m_count) : baseName;
        if (kind == QLatin1String("cbz")) {
            QList<TestZip::Entry> entries;
            for (const Fixture& file : files)
                entries.append({file.name, file.bytes});
            const QString path = m_dir.filePath(stem + QStringLiteral(".cbz"));
            *sourceFactory = factory<ZipByteSource>();
            return TestZip::write(path, entries) ? path : QString();
        }
        if (kind.startsWith(QLatin1String("rar"))) {
            QList<TestRar::Entry> entries;
            for (const Fixture& file : files)
                entries.append({file.name, file.bytes});
            const QString path = m_dir.filePath(stem + QStringLiteral(".cbr"));
            *sourceFactory = factory<RarByteSource>();
            const auto format = kind == QLatin1String("rar4") ? TestRar::Format::Rar4 : TestRar::Format::Rar5;
            return TestRar::write(path, format, entries) ? path : QString();
        }
        const QString path = m_dir.filePath(stem);
        QDir().mkpath(path);
        for (const Fixture& file : files) {
            if (!file.name.contains(QLatin1Char('/')))
                writeFile(path + QLatin1Char('/') + file.name, file.bytes);
        }
        *sourceFactory = factory<DirByteSource>();
        return path;
    }

    static void kinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("cbz") << "cbz";
        QTest::newRow("cbr rar4") << "rar4";
        QTest::newRow("cbr rar5") << "rar5";
        QTest::newRow("folder") << "dir";
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Pages in natural order with their header sizes and URLs, the first as the cover.
    void openComic_data() { kinds(); }
    void openComic()
    {
        QFETCH(QString, kind);
        SourceFactory sources;
        const QString path = make(kind, {
            {QStringLiteral("page10.png"), image(10, 11, "PNG")},
            {QStringLiteral("page2.jpg"), image(22, 33, "JPG")},
            {QStringLiteral("Page1.PNG"), image(40, 30, "PNG")},
            {QStringLiteral("cover.jpeg"), image(5, 7, "JPG")},
            {QStringLiteral("broken.png"), "not really a png"},
            {QStringLiteral("notes.txt"), "text"},
            {QStringLiteral("._page3.png"), "AppleDouble"},
        }, &sources, QStringLiteral("My Comic.v1"));
        QVERIFY(!path.isEmpty());

        ComicReader reader(sources, kind == QLatin1String("dir") ? QStringLiteral("dir") : QStringLiteral("cbx"));
        QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
        const QString scheme = kind == QLatin1String("dir") ? QStringLiteral("dir") : QStringLiteral("cbx");
        const QStringList order = {QStringLiteral("broken.png"), QStringLiteral("cover.jpeg"), QStringLiteral("Page1.PNG"),
                                   QStringLiteral("page2.jpg"), QStringLiteral("page10.png")};
        const QList<QSize> sizes = {QSize(-1, -1), QSize(5, 7), QSize(40, 30), QSize(22, 33), QSize(10, 11)};
        const QList<ComicPage> pages = reader.pages();
        QCOMPARE(pages.size(), order.size());
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(pages.at(i).entry, ImageUrl::build(scheme, order.at(i), path));
            QCOMPARE(pages.at(i).size, sizes.at(i));
        }
        QCOMPARE(reader.contentKind(), int(ContentKind::Pages));
        QCOMPARE(reader.filePath(), path);
        QCOMPARE(reader.title(), QStringLiteral("My Comic.v1")); // only the last suffix goes
        QVERIFY(reader.author().isEmpty());
        QCOMPARE(reader.coverImageUrl(), pages.first().entry);
        QVERIFY(reader.chunks().isEmpty());
        QVERIFY(reader.errorString().isEmpty());
        std::unique_ptr<IByteSource> source = sources();
        QVERIFY(source->open(path));
        QCOMPARE(reader.contentHash(), source->contentHash());
        QCOMPARE(reader.contentHash().size(), 16);
    }

    // Natural, numeric-aware order over whole entry paths, ignoring case; only images count.
    void pageOrder_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("numbers") << QStringList{"10.png", "2.png", "1.png", "01a.png"}
                                 << QStringList{"1.png", "01a.png", "2.png", "10.png"};
        QTest::newRow("chapters") << QStringList{"ch10/1.jpg", "ch2/10.jpg", "ch2/9.jpg"}
                                  << QStringList{"ch2/9.jpg", "ch2/10.jpg", "ch10/1.jpg"};
        QTest::newRow("skipped entries")
            << QStringList{"img/", "__MACOSX/", "__MACOSX/img/._1.png", "img/._2.png", "img/2.gif", "img/1.WEBP",
                           "ComicInfo.xml", "img/3.bmp", "img/noext", "img/4.png/"}
            << QStringList{"img/1.WEBP", "img/2.gif"};
        QTest::newRow("duplicates once") << QStringList{"b.png", "a.png", "b.png"} << QStringList{"a.png", "b.png"};
        QTest::newRow("no images") << QStringList{"readme.txt", "dir/"} << QStringList{};
    }
    void pageOrder()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, pages);
        const QString path = m_dir.filePath(QStringLiteral("order%1.cbz").arg(++m_count));
        zipFile zf = zipOpen64(path.toUtf8().constData(), APPEND_STATUS_CREATE);
        QVERIFY(zf);
        for (const QString& name : entries) {
            zip_fileinfo info = {};
            QCOMPARE(zipOpenNewFileInZip64(zf, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                           0, 0, 0), ZIP_OK);
            QCOMPARE(zipWriteInFileInZip(zf, "x", 1), ZIP_OK);
            zipCloseFileInZip(zf);
        }
        zipClose(zf, nullptr);

        ComicReader reader(factory<ZipByteSource>(), QStringLiteral("cbz"));
        QCOMPARE(reader.open(path), !pages.isEmpty());
        QStringList urls;
        for (const QString& page : pages)
            urls.append(ImageUrl::build(QStringLiteral("cbz"), page, path));
        QStringList got;
        for (const ComicPage& page : reader.pages())
            got.append(page.entry);
        QCOMPARE(got, urls);
        if (pages.isEmpty())
            QCOMPARE(reader.errorString(), QStringLiteral("No images found: ") + path);
    }

    void loadMetadata_data() { kinds(); }
    void loadMetadata()
    {
        QFETCH(QString, kind);
        SourceFactory sources;
        const QString path = make(kind, {{QStringLiteral("2.png"), image(3, 3, "PNG")}, {QStringLiteral("1.png"), image(4, 4, "PNG")}}, &sources);
        ComicReader reader(sources, QStringLiteral("cbz"));
        QVERIFY(reader.loadMetadata(path));
        QCOMPARE(reader.coverImageUrl(), ImageUrl::build(QStringLiteral("cbz"), QStringLiteral("1.png"), path));
        QCOMPARE(reader.title(), QFileInfo(path).completeBaseName());
        QVERIFY(reader.pages().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());
    }

    // Page sizes come from one pass over a source that reads in order, not one read per page; from
    // a source that can stop early, only the headers are read (a page with an overlong header whole).
    void sizesWithoutReadingEveryPage_data()
    {
        QTest::addColumn<bool>("cheapHeads");
        QTest::addColumn<int>("passes");
        QTest::addColumn<int>("heads");
        QTest::addColumn<int>("singleReads");
        QTest::newRow("in order") << false << 1 << 0 << 0;
        QTest::newRow("heads") << true << 0 << 4 << 1;
    }
    void sizesWithoutReadingEveryPage()
    {
        QFETCH(bool, cheapHeads);
        QFETCH(int, passes);
        QFETCH(int, heads);
        QFETCH(int, singleReads);
        // A JPEG whose metadata fills the first 64 KiB names its size beyond them.
        QImage photo(5, 7, QImage::Format_RGB32);
        photo.fill(Qt::blue);
        photo.setText(QStringLiteral("Comment"), QString(70000, u'x'));
        QByteArray longHeader;
        QBuffer buffer(&longHeader);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(photo.save(&buffer, "JPEG"));
        QVERIFY(longHeader.size() > ImageDecoder::kHeaderBytes);
        SourceFactory unused;
        const QString path = make(QStringLiteral("dir"), {{QStringLiteral("1.png"), image(2, 2, "PNG")},
                                                          {QStringLiteral("2.png"), image(3, 3, "PNG")},
                                                          {QStringLiteral("3.png"), image(4, 4, "PNG")},
                                                          {QStringLiteral("4.jpg"), longHeader}}, &unused);
        CountingSource::cheapHeads = cheapHeads;
        CountingSource::singleReads = 0;
        CountingSource::heads = 0;
        CountingSource::passes = 0;
        ComicReader reader([] { return std::make_unique<CountingSource>(); }, QStringLiteral("dir"));
        QVERIFY(reader.open(path));
        QCOMPARE(reader.pages().size(), 4);
        QCOMPARE(reader.pages().at(2).size, QSize(4, 4));
        QCOMPARE(reader.pages().at(3).size, QSize(5, 7));
        QCOMPARE(CountingSource::passes, passes);
        QCOMPARE(CountingSource::heads, heads);
        QCOMPARE(CountingSource::singleReads, singleReads);
    }

    // Bad files fail with a message naming the file.
    void badInput_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray zipped = [] {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("a.cbz"));
            TestZip::write(path, {{QStringLiteral("1.png"), image(8, 8, "PNG")}, {QStringLiteral("2.png"), image(8, 8, "PNG")}});
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }();
        QTest::newRow("empty file") << "empty.cbz" << QByteArray() << "Cannot open comic source: ";
        QTest::newRow("not an archive") << "text.cbz" << QByteArray("just some text") << "Cannot open comic source: ";
        QTest::newRow("zip cut short") << "cut.cbz" << zipped.left(zipped.size() / 2) << "Cannot open comic source: ";
        QTest::newRow("zip as cbr") << "zip.cbr" << zipped << "Cannot open comic source: ";
        QTest::newRow("no images") << "none.cbr"
                                   << TestRar::build(TestRar::Format::Rar5, {{QStringLiteral("ComicInfo.xml"), "<x/>"}})
                                   << "No images found: ";
        QTest::newRow("rar cut in the pages") << "cut.cbr"
                                              << TestRar::build(TestRar::Format::Rar4, {{QStringLiteral("1.png"), image(60, 60, "PNG")}}).left(80)
                                              << "Cannot open comic source: ";
        QTest::newRow("missing file") << "" << QByteArray() << "Cannot open comic source: ";
    }
    void badInput()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = m_dir.filePath(fileName.isEmpty() ? QStringLiteral("absent.cbz") : fileName);
        if (!fileName.isEmpty())
            QVERIFY(writeFile(path, bytes));
        const SourceFactory sources = path.endsWith(QLatin1String(".cbr")) ? factory<RarByteSource>() : factory<ZipByteSource>();

        ComicReader reader(sources, QStringLiteral("cbz"));
        QVERIFY(!reader.open(path));
        QCOMPARE(reader.errorString(), message + path);
        QVERIFY(reader.pages().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());
    }

    // Reusing a reader: every open starts from nothing, so a failure leaves no earlier book behind.
    void failedOpenClearsEarlierBook()
    {
        SourceFactory sources;
        const QString good = make(QStringLiteral("dir"), {{QStringLiteral("1.png"), image(2, 2, "PNG")}}, &sources);
        ComicReader reader(sources, QStringLiteral("dir"));
        QVERIFY(reader.open(good));
        const QString empty = m_dir.filePath(QStringLiteral("empty folder"));
        QVERIFY(QDir().mkpath(empty));
        QVERIFY(!reader.open(empty));
        QCOMPARE(reader.errorString(), QStringLiteral("No images found: ") + empty);
        QCOMPARE(reader.filePath(), empty);
        QVERIFY(reader.pages().isEmpty());
        QVERIFY(reader.title().isEmpty());
        QVERIFY(reader.coverImageUrl().isEmpty());
        QVERIFY(reader.contentHash().isEmpty());
    }

    // Entries that are listed but cannot be read at all (ZipCrypto) fail the open.
    void encryptedZip()
    {
        const QString path = m_dir.filePath(QStringLiteral("locked.cbz"));
        const QByteArray png = image(8, 8, "PNG");
        zipFile zf = zipOpen64(path.toUtf8().constData(), APPEND_STATUS_CREATE);
        QVERIFY(zf);
        zip_fileinfo info = {};
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData()), uInt(png.size()));
        QCOMPARE(zipOpenNewFileInZip3_64(zf, "1.png", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 0,
                                         -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, "secret", crc, 0),
                 ZIP_OK);
        QCOMPARE(zipWriteInFileInZip(zf, png.constData(), unsigned(png.size())), ZIP_OK);
        zipCloseFileInZip(zf);
        zipClose(zf, nullptr);

        ComicReader reader(factory<ZipByteSource>(), QStringLiteral("cbz"));
        QVERIFY(!reader.open(path));
        QCOMPARE(reader.errorString(), QStringLiteral("Cannot open comic source: ") + path);
    }

    void folderTitleWithTrailingSlash()
    {
        SourceFactory sources;
        const QString path = make(QStringLiteral("dir"), {{QStringLiteral("1.png"), image(2, 2, "PNG")}}, &sources,
                                  QStringLiteral("Folder Book"));
        ComicReader reader(sources, QStringLiteral("dir"));
        QVERIFY(reader.open(path + QLatin1Char('/')));
        QCOMPARE(reader.title(), QStringLiteral("Folder Book"));
    }
};

QTEST_GUILESS_MAIN(TestComicReader)
#include "tst_comicreader.moc"
