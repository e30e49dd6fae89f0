#include "formats/Fb2Reader.h"
#include "images/ImageUrl.h"
#include "ReaderTestSupport.h"
#include "sources/Fb2ByteSource.h"
#include "TestZip.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace ReaderTestSupport;

namespace {

QByteArray fictionBook(const QByteArray& titleInfo, const QByteArray& rest, const QByteArray& encoding = "UTF-8")
{
    return "<?xml version=\"1.0\" encoding=\"" + encoding
        + "\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
          "xmlns:l=\"http://www.w3.org/1999/xlink\">\n<description>\n<title-info>"
        + titleInfo + "</title-info>\n<document-info><author><nickname>maker</nickname></author></document-info>\n"
        + "</description>\n" + rest + "</FictionBook>\n";
}

QByteArray binary(const QByteArray& id, const QByteArray& data)
{
    QByteArray base64 = data.toBase64();
    for (qsizetype at = 60; at < base64.size(); at += 61)
        base64.insert(at, '\n');
    return "<binary id=\"" + id + "\" content-type=\"image/png\">\n" + base64 + "\n</binary>\n";
}

SourceFactory fb2Sources()
{
    return []() -> std::unique_ptr<IByteSource> { return std::make_unique<Fb2ByteSource>(); };
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool inOrder(const QString& text, const QStringList& parts)
{
    qsizetype at = 0;
    for (const QString& part : parts) {
        at = text.indexOf(part, at);
        if (at < 0)
            return false;
        at += part.size();
    }
    return true;
}

} // namespace

class TestFb2Reader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void metadata_data();
    void metadata();
    void sectionsAndNotes_data();
    void sectionsAndNotes();
    void cp1251BookWithLineBrokenImages();
    void imagesAndInlineSpaces();
    void malformedBookKeepsItsText_data();
    void malformedBookKeepsItsText();
    void malformedBookWithoutTextFails();
    void bookWithoutBodyHasOneEmptyChunk();
    void deeplyNestedSectionsKeepTheirText();
    void zippedBook();
    void openErrors_data();
    void openErrors();

private:
    QTemporaryDir dir;
};

void TestFb2Reader::metadata_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("titleInfo");
    QTest::addColumn<QByteArray>("binaries");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("coverId"); // empty: no cover

    QTest::newRow("full name in fixed order")
        << "a.fb2"
        << QByteArray("<book-title> War and Peace </book-title><author><last-name>Tolstoy</last-name>"
                      "<first-name>Leo</first-name><middle-name>N.</middle-name></author>")
        << QByteArray() << "War and Peace" << "Leo N. Tolstoy" << "";
    QTest::newRow("HTML entity in the title")
        << "g.fb2" << QByteArray("<book-title>Dr.&nbsp;No &amp; Co</book-title>") << QByteArray()
        << QStringLiteral("Dr.\u00a0No & Co") << "" << "";
    QTest::newRow("nickname only") << "b.fb2" << QByteArray("<book-title>T</book-title><author><nickname>anon</nickname></author>")
                                   << QByteArray() << "T" << "anon" << "";
    QTest::newRow("first author with a name")
        << "c.fb2" << QByteArray("<author><nickname> </nickname></author><author><first-name>B</first-name></author>")
        << QByteArray() << "c" << "B" << "";
    QTest::newRow("no title: file name without fb2.zip") << "My Book.fb2" << QByteArray() << QByteArray() << "My Book"
                                                         << "" << "";
    QTest::newRow("cover") << "d.fb2" << QByteArray("<coverpage><image l:href=\"#cover.jpg\"/></coverpage>")
                           << binary("cover.jpg", "JPEG") << "d" << "" << "cover.jpg";
    QTest::newRow("cover under another prefix")
        << "e.fb2" << QByteArray("<coverpage xmlns:xlink=\"http://www.w3.org/1999/xlink\"><image xlink:href=\"#c.png\"/>"
                                 "</coverpage>")
        << binary("c.png", "PNG") << "e" << "" << "c.png";
    QTest::newRow("cover naming no binary") << "f.fb2" << QByteArray("<coverpage><image l:href=\"#nothing\"/></coverpage>")
                                            << binary("c.png", "PNG") << "f" << "" << "";
}

void TestFb2Reader::metadata()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, titleInfo);
    QFETCH(QByteArray, binaries);
    QFETCH(QString, title);
    QFETCH(QString, author);
    QFETCH(QString, coverId);

    const QString path = dir.filePath(fileName);
    const QByteArray bytes = fictionBook(titleInfo, "<body><section><p>Text</p></section></body>\n" + binaries);
    QVERIFY(writeFile(path, bytes));
    const QString cover = coverId.isEmpty() ? QString() : ImageUrl::build(QStringLiteral("fb2"), coverId, path);

    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY2(reader.loadMetadata(path), qPrintable(reader.errorString()));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
    QCOMPARE(reader.coverImageUrl(), cover);
    QCOMPARE(reader.filePath(), path);
    QVERIFY(reader.chunks().isEmpty());
    QVERIFY(reader.contentHash().isEmpty());

    QVERIFY(reader.open(path));
    QCOMPARE(reader.contentKind(), int(ContentKind::Text));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
    QCOMPARE(reader.coverImageUrl(), cover);
    QCOMPARE(reader.contentHash(), QCryptographicHash::hash(bytes, QCryptographicHash::Md5));
    QVERIFY(!chunkText(reader.chunks()).contains(QLatin1String("maker")));
}

void TestFb2Reader::sectionsAndNotes_data()
{
    QTest::addColumn<bool>("notesFirst");
    QTest::newRow("notes after the main body") << false;
    QTest::newRow("notes before the main body") << true;
}

void TestFb2Reader::sectionsAndNotes()
{
    QFETCH(bool, notesFirst);

    QByteArray longSection = "<section><title><p>Long</p></title>";
    for (int i = 0; i < 60; ++i)
        longSection += "<p>A paragraph long enough to fill a chunk before long, number " + QByteArray::number(i) + ".</p>";
    longSection += "</section>";
    const QByteArray main = "<body><title><p>Book Title</p></title><epigraph><p>Epi</p></epigraph>"
                            "<section><title><p>Part One</p></title>"
                            "<section><title><p>Chapter 1</p></title><p>Text 1</p></section>"
                            "<section><title><p>Chapter 2</p></title><p>Text 2</p></section>"
                            "</section>"
                            "<section><p>Part Two text</p></section>"
        + longSection + "</body>\n";
    const QByteArray notes = "<body name=\"notes\"><title><p>Notes</p></title>"
                             "<section id=\"n1\"><title><p>1</p></title><p>Note one</p></section></body>\n";
    const QString path = dir.filePath(QStringLiteral("sections.fb2"));
    QVERIFY(writeFile(path, fictionBook("<book-title>S</book-title>", notesFirst ? notes + main : main + notes)));

    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    const QString mainId = notesFirst ? QStringLiteral("body1") : QStringLiteral("body0");
    const QString notesId = notesFirst ? QStringLiteral("body0") : QStringLiteral("body1");
    const QStringList expected{mainId,
                               mainId + "/section0",
                               mainId + "/section0/section0",
                               mainId + "/section0/section1",
                               mainId + "/section1",
                               mainId + "/section2",
                               notesId,
                               notesId + "/section0"};
    const QList<ContentChunk> chunks = reader.chunks();
    QCOMPARE(chunkIds(chunks), expected);
    // The long section is cut into several chunks that all carry its id.
    QVERIFY(std::count_if(chunks.begin(), chunks.end(),
                          [&](const ContentChunk& chunk) { return chunk.id == mainId + "/section2"; })
            > 1);
    QVERIFY(inOrder(chunkText(chunks), {"Book Title", "Epi", "Part One", "Chapter 1", "Text 1", "Chapter 2", "Text 2",
                                        "Part Two text", "Long", "number 59.", "Notes", "Note one"}));
}

void TestFb2Reader::cp1251BookWithLineBrokenImages()
{
    QStringEncoder encoder("windows-1251");
    QVERIFY(encoder.isValid());
    const QByteArray image = QByteArray(5000, '\x11');
    const QByteArray bytes = fictionBook(
        encoder.encode(QStringLiteral("<book-title>Война и мир</book-title><author><first-name>Лев</first-name>"
                                      "<last-name>Толстой</last-name></author>"
                                      "<coverpage><image l:href=\"#обложка.jpg\"/></coverpage>")),
        encoder.encode(QStringLiteral("<body><section><p>— Eh bien, mon prince. Ну, что, князь?</p></section></body>\n"))
            + binary(encoder.encode(QStringLiteral("обложка.jpg")), image),
        "windows-1251");
    const QString path = dir.filePath(QStringLiteral("cp1251.fb2"));
    QVERIFY(writeFile(path, bytes));

    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    QCOMPARE(reader.title(), QStringLiteral("Война и мир"));
    QCOMPARE(reader.author(), QStringLiteral("Лев Толстой"));
    QCOMPARE(reader.coverImageUrl(), ImageUrl::build(QStringLiteral("fb2"), QStringLiteral("обложка.jpg"), path));
    QVERIFY(chunkText(reader.chunks()).contains(QStringLiteral("Ну, что, князь?")));
}

void TestFb2Reader::imagesAndInlineSpaces()
{
    const QString path = dir.filePath(QStringLiteral("images.fb2"));
    QVERIFY(writeFile(path, fictionBook("<book-title>I</book-title>",
                                        "<body><section><p><emphasis>one</emphasis> <strong>two</strong>&nbsp;three</p>"
                                        "<image l:href=\"#pic.png\"/></section></body>\n"
                                            + binary("pic.png", "PNG"))));

    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    const QList<ContentChunk> chunks = reader.chunks();
    const QString text = chunkText(chunks);
    QVERIFY2(text.contains(QStringLiteral("one two\u00a0three")), qPrintable(text));
    QStringList urls;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            for (const InlineRun& run : block.runs) {
                if (run.kind == InlineRun::Image)
                    urls.append(run.url);
            }
        }
    }
    QCOMPARE(urls, QStringList{ImageUrl::build(QStringLiteral("fb2"), QStringLiteral("pic.png"), path)});
}

void TestFb2Reader::malformedBookKeepsItsText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("title");

    QTest::newRow("mismatched tags in the body")
        << fictionBook("<book-title>Kept</book-title>",
                       "<body><section><p>One <emphasis>two</p> three</section></body>" + binary("x", "X"))
        << "Kept";
    QTest::newRow("not XML at all") << QByteArray("just some words & more") << "broken";
}

void TestFb2Reader::malformedBookKeepsItsText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);

    const QString path = dir.filePath(QStringLiteral("broken.fb2"));
    QVERIFY(writeFile(path, bytes));
    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    QCOMPARE(reader.title(), title);
    const QString text = chunkText(reader.chunks());
    QVERIFY2(text.contains(QLatin1String("One")) || text.contains(QLatin1String("just some words")), qPrintable(text));
    QVERIFY(!text.contains(QLatin1String("WA=="))); // binaries are images, not text
    if (text.contains(QLatin1String("One"))) {
        QVERIFY(text.contains(QLatin1String("two")));
        QVERIFY(text.contains(QLatin1String("three")));
        QVERIFY(!text.contains(QLatin1String("maker")));
    }
}

// Broken before its first word: nothing to recover, so the open fails, while the history still
// learns the title from the description.
void TestFb2Reader::malformedBookWithoutTextFails()
{
    const QString path = dir.filePath(QStringLiteral("cut.fb2"));
    QVERIFY(writeFile(path, fictionBook("<book-title>Cut</book-title>", "<body><section><p>")));
    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(!reader.open(path));
    QCOMPARE(reader.errorString(), QStringLiteral("Invalid or malformed FictionBook XML"));
    QVERIFY(reader.chunks().isEmpty());
    QVERIFY(reader.contentHash().isEmpty());
    QVERIFY(reader.loadMetadata(path));
    QCOMPARE(reader.title(), QStringLiteral("Cut"));
}

void TestFb2Reader::bookWithoutBodyHasOneEmptyChunk()
{
    const QString path = dir.filePath(QStringLiteral("nobody.fb2"));
    QVERIFY(writeFile(path, fictionBook("<book-title>Nobody</book-title>", QByteArray())));
    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    const QList<ContentChunk> chunks = reader.chunks();
    QCOMPARE(chunks.size(), 1);
    QCOMPARE(chunks[0].id, path);
    QCOMPARE(chunks[0].blocks.size(), 1);
    QCOMPARE(chunks[0].blocks[0].kind, int(BlockItem::Paragraph));
    QVERIFY(chunks[0].blocks[0].runs.isEmpty());
}

void TestFb2Reader::deeplyNestedSectionsKeepTheirText()
{
    QByteArray body = "<body>";
    for (int i = 0; i < 2000; ++i)
        body += "<section><p>level" + QByteArray::number(i) + "</p>";
    for (int i = 0; i < 2000; ++i)
        body += "</section>";
    body += "</body>";
    const QString path = dir.filePath(QStringLiteral("deep.fb2"));
    QVERIFY(writeFile(path, fictionBook("<book-title>Deep</book-title>", body)));

    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    const QString text = chunkText(reader.chunks());
    QVERIFY(inOrder(text, {"level0", "level1", "level63", "level64", "level1999"}));
}

void TestFb2Reader::zippedBook()
{
    const QString path = dir.filePath(QStringLiteral("Zipped.FB2.ZIP"));
    QVERIFY(TestZip::write(path, {{QStringLiteral("inner.fb2"),
                                   fictionBook("<book-title>Inside</book-title>",
                                               "<body><section><p>Zipped text</p></section></body>")}}));
    Fb2Reader reader(fb2Sources(), QStringLiteral("fb2"));
    QVERIFY(reader.open(path));
    QCOMPARE(reader.title(), QStringLiteral("Inside"));
    QVERIFY(chunkText(reader.chunks()).contains(QLatin1String("Zipped text")));
}

void TestFb2Reader::openErrors_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("fb2Source");
    QTest::addColumn<QString>("error"); // %1 is the path

    QTest::newRow("missing plain file") << "missing.fb2" << true << "Cannot open FB2 file: %1";
    QTest::newRow("broken zip") << "broken.fbz" << true << "Cannot open zip archive: %1";
    QTest::newRow("not an FB2 source") << "missing.fb2" << false << "Cannot open FB2 file: %1";
}

void TestFb2Reader::openErrors()
{
    QFETCH(QString, fileName);
    QFETCH(bool, fb2Source);
    QFETCH(QString, error);

    const QString path = dir.filePath(fileName);
    if (fileName.endsWith(QLatin1String(".fbz")))
        QVERIFY(writeFile(path, "not a zip"));
    const SourceFactory factory = fb2Source ? fb2Sources() : fakeSourceFactory(std::make_shared<FakeBook>());

    Fb2Reader reader(factory, QStringLiteral("fb2"));
    QVERIFY(!reader.open(path));
    QCOMPARE(reader.errorString(), error.arg(path));
    QVERIFY(reader.chunks().isEmpty());
    QVERIFY(!reader.loadMetadata(path));
    QCOMPARE(reader.errorString(), error.arg(path));
}

QTEST_GUILESS_MAIN(TestFb2Reader)
#include "tst_fb2reader.moc"
