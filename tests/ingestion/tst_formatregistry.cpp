#include "formats/ComicReader.h"
#include "formats/DefaultFormats.h"
#include "formats/EpubReader.h"
#include "formats/Fb2Reader.h"
#include "formats/FormatRegistry.h"
#include "sources/DirByteSource.h"
#include "sources/Fb2ByteSource.h"
#include "sources/RarByteSource.h"
#include "sources/ZipByteSource.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A source that only says which row made it.
class TaggedSource : public IByteSource {
public:
    explicit TaggedSource(QString tag) : m_tag(std::move(tag)) {}
    bool open(const QString&) override { return false; }
    QStringList listEntries() const override { return {m_tag}; }
    QByteArray readEntry(const QString&) const override { return {}; }
    QByteArray contentHash() const override { return {}; }

private:
    QString m_tag;
};

FormatSpec row(const QString& extension, bool isDirectory, const QString& scheme, bool withSource)
{
    FormatSpec spec = FormatSpec::comic(extension, isDirectory, scheme, SourceFactory());
    const QString tag = isDirectory ? QStringLiteral("dir") : extension;
    if (withSource)
        spec.sourceFactory = [tag] { return std::make_unique<TaggedSource>(tag); };
    return spec;
}

// The whole application table in shape (rows of the text formats stand in as tagged comic rows).
QList<FormatSpec> fullTable()
{
    return {
        row(QStringLiteral("cbz"), false, QStringLiteral("cbz"), true),
        row(QStringLiteral("cbr"), false, QStringLiteral("cbr"), true),
        row(QString(), true, QStringLiteral("dir"), true),
        row(QStringLiteral("epub"), false, QStringLiteral("epub"), true),
        row(QStringLiteral("fb2"), false, QStringLiteral("fb2"), true),
        row(QStringLiteral("fbz"), false, QStringLiteral("fb2"), true),
        row(QStringLiteral("fb2.zip"), false, QStringLiteral("fb2"), true),
        row(QStringLiteral("txt"), false, QString(), false),
    };
}

} // namespace

class TestFormatRegistry : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("x.cbz"))));
    }

    // Only the end of the path decides, ignoring case; the first matching row wins.
    void specFor_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("row"); // the row's extension, "dir" for the folder row, "" for none
        QTest::newRow("Comic.CBZ") << "/books/Comic.CBZ" << "cbz";
        QTest::newRow("comic.cbz") << "/books/comic.cbz" << "cbz";
        QTest::newRow("COMIC.Cbz") << "/books/COMIC.Cbz" << "cbz";
        QTest::newRow("b.FB2.ZIP") << "/books/b.FB2.ZIP" << "fb2.zip";
        QTest::newRow("b.zip") << "/books/b.zip" << "";
        QTest::newRow("b.fbz") << "/books/b.fbz" << "fbz";
        QTest::newRow("bare name epub") << "/books/epub" << "";
        QTest::newRow("missing a.epub") << "/nowhere/a.epub" << "epub";
        QTest::newRow("no suffix") << "/books/README" << "";
        QTest::newRow("folder named x.cbz") << m_dir.filePath(QStringLiteral("x.cbz")) << "dir";
        QTest::newRow("plain folder") << m_dir.path() << "dir";
    }
    void specFor()
    {
        QFETCH(QString, path);
        QFETCH(QString, row);
        const FormatRegistry registry(fullTable());
        const FormatSpec* spec = registry.specFor(path);
        if (row.isEmpty()) {
            QVERIFY(!spec);
            QVERIFY(!registry.createReader(path));
            return;
        }
        QVERIFY(spec);
        QCOMPARE(spec->isDirectory ? QStringLiteral("dir") : spec->extension, row);
        std::unique_ptr<FormatReader> reader = registry.createReader(path);
        QVERIFY(reader);
        QVERIFY(reader->filePath().isEmpty()); // made, not opened
    }

    // A folder is read as a folder of images whatever its name, a book format's included; one
    // without pictures gets the folder reader's answer.
    void foldersNamedLikeBookFiles_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"x.epub", "x.txt", "x.fb2", "x.FB2.zip", "x.fbz", "x.cbr", "x.cbz"})
            QTest::newRow(name) << name;
    }
    void foldersNamedLikeBookFiles()
    {
        QFETCH(QString, name);
        const QString folder = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(folder));
        const FormatRegistry registry(DefaultFormats::table());
        const FormatSpec* spec = registry.specFor(folder);
        QVERIFY(spec);
        QVERIFY(spec->isDirectory);
        std::unique_ptr<FormatReader> reader = registry.createReader(folder);
        QVERIFY(reader);
        QVERIFY(!reader->open(folder));
        QCOMPARE(reader->errorString(), QStringLiteral("No images found: ") + folder);
    }

    void folderWithoutFolderRow()
    {
        const FormatRegistry registry({row(QStringLiteral("cbz"), false, QStringLiteral("cbz"), true)});
        QVERIFY(!registry.specFor(m_dir.path()));
    }

    // Schemes match exactly; the first row of a scheme serves it; rows without a source serve none.
    void createByteSourceForScheme_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("tag");
        QTest::newRow("cbz") << "cbz" << "cbz";
        QTest::newRow("dir") << "dir" << "dir";
        QTest::newRow("fb2 from its first row") << "fb2" << "fb2";
        QTest::newRow("FB2") << "FB2" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("web") << "web" << "";
        QTest::newRow("fileicon") << "fileicon" << "";
    }
    void createByteSourceForScheme()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, tag);
        const FormatRegistry registry(fullTable());
        std::unique_ptr<IByteSource> source = registry.createByteSourceForScheme(scheme);
        if (tag.isEmpty()) {
            QVERIFY(!source);
            return;
        }
        QVERIFY(source);
        QCOMPARE(source->listEntries(), QStringList{tag});
    }

    void supportedExtensions()
    {
        QCOMPARE(FormatRegistry(fullTable()).supportedExtensions(),
                 (QStringList{"cbz", "cbr", "epub", "fb2", "fbz", "fb2.zip", "txt"}));
    }

    // The application's table: comic rows over the real sources, in table order.
    void defaultTable()
    {
        const QList<FormatSpec> table = DefaultFormats::table();
        QVERIFY(table.size() >= 3);
        QCOMPARE(table.at(0).extension, QStringLiteral("cbz"));
        QCOMPARE(table.at(0).scheme, QStringLiteral("cbz"));
        QVERIFY(dynamic_cast<ZipByteSource*>(table.at(0).sourceFactory().get()));
        QCOMPARE(table.at(1).extension, QStringLiteral("cbr"));
        QCOMPARE(table.at(1).scheme, QStringLiteral("cbr"));
        QVERIFY(dynamic_cast<RarByteSource*>(table.at(1).sourceFactory().get()));
        QVERIFY(table.at(2).extension.isEmpty());
        QVERIFY(table.at(2).isDirectory);
        QCOMPARE(table.at(2).scheme, QStringLiteral("dir"));
        QVERIFY(dynamic_cast<DirByteSource*>(table.at(2).sourceFactory().get()));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!table.at(i).isDirectory || i == 2);
            std::unique_ptr<FormatReader> reader = table.at(i).readerFactory();
            QVERIFY(dynamic_cast<ComicReader*>(reader.get()));
            QCOMPARE(reader->contentKind(), int(ContentKind::Pages));
        }
    }

    // The EPUB and FB2 rows follow the comic rows, each with a factory of its own.
    void defaultTableTextRows()
    {
        const QList<FormatSpec> table = DefaultFormats::table();
        QVERIFY(table.size() >= 7);
        QCOMPARE(table.at(3).extension, QStringLiteral("epub"));
        QCOMPARE(table.at(3).scheme, QStringLiteral("epub"));
        QVERIFY(!table.at(3).isDirectory);
        QVERIFY(dynamic_cast<ZipByteSource*>(table.at(3).sourceFactory().get()));
        std::unique_ptr<FormatReader> epub = table.at(3).readerFactory();
        QVERIFY(dynamic_cast<EpubReader*>(epub.get()));
        QCOMPARE(epub->contentKind(), int(ContentKind::Text));

        const QStringList fb2Extensions{"fb2", "fbz", "fb2.zip"};
        for (int i = 0; i < fb2Extensions.size(); ++i) {
            const FormatSpec& spec = table.at(4 + i);
            QCOMPARE(spec.extension, fb2Extensions.at(i));
            QCOMPARE(spec.scheme, QStringLiteral("fb2"));
            QVERIFY(!spec.isDirectory);
            QVERIFY(dynamic_cast<Fb2ByteSource*>(spec.sourceFactory().get()));
            std::unique_ptr<FormatReader> reader = spec.readerFactory();
            QVERIFY(dynamic_cast<Fb2Reader*>(reader.get()));
            QCOMPARE(reader->contentKind(), int(ContentKind::Text));
        }
        FormatRegistry registry(table);
        QVERIFY(dynamic_cast<Fb2ByteSource*>(registry.createByteSourceForScheme(QStringLiteral("fb2")).get()));
        QVERIFY(dynamic_cast<Fb2Reader*>(registry.createReader(QStringLiteral("/books/b.FB2.ZIP")).get()));
        QVERIFY(dynamic_cast<EpubReader*>(registry.createReader(QStringLiteral("/books/a.Epub")).get()));
    }
};

QTEST_GUILESS_MAIN(TestFormatRegistry)
#include "tst_formatregistry.moc"
