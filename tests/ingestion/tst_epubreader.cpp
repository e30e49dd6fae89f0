#include "css/ColourScheme.h"
#include "formats/BookMemoryBudget.h"
#include "formats/EmbeddedFonts.h"
#include "formats/EpubReader.h"
#include "formats/SfntFont.h"
#include "images/ImageUrl.h"
#include "ReaderTestSupport.h"
#include "sources/ZipByteSource.h"
#include "TestEpub.h"
#include "TestFonts.h"
#include "TestZip.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QThreadPool>

using namespace ReaderTestSupport;

namespace {

const QString bookPath = QStringLiteral("/books/Some Book.epub");
const QString containerName = QStringLiteral("META-INF/container.xml");

QByteArray package(const QByteArray& metadata, const QByteArray& manifest, const QByteArray& spine,
                   const QByteArray& packageAttributes = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<package xmlns=\"http://www.idpf.org/2007/opf\" "
           "version=\"3.0\" unique-identifier=\"uid\"" + packageAttributes
        + "><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        + metadata + "</metadata><manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>";
}

QByteArray item(const QByteArray& id, const QByteArray& href, const QByteArray& mediaType = "application/xhtml+xml",
                const QByteArray& properties = QByteArray())
{
    return "<item id=\"" + id + "\" href=\"" + href + "\" media-type=\"" + mediaType + "\""
        + (properties.isEmpty() ? QByteArray() : " properties=\"" + properties + "\"") + "/>";
}

QByteArray withFallback(const QByteArray& item, const QByteArray& fallback)
{
    return QByteArray(item).replace("/>", " fallback=\"" + fallback + "\"/>");
}

QByteArray itemref(const QByteArray& idref)
{
    return "<itemref idref=\"" + idref + "\"/>";
}

QByteArray xhtml(const QByteArray& body, const QByteArray& head = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
           "xmlns:epub=\"http://www.idpf.org/2007/ops\"><head><title>t</title>" + head + "</head><body>" + body
        + "</body></html>";
}

// A book with its package document at OEBPS/content.opf.
std::shared_ptr<FakeBook> makeBook(const QByteArray& opf)
{
    auto book = std::make_shared<FakeBook>();
    book->entries.insert(containerName, TestEpub::container("OEBPS/content.opf"));
    book->entries.insert(QStringLiteral("OEBPS/content.opf"), opf);
    return book;
}

QString coverUrl(const QString& entry)
{
    return entry.isEmpty() ? QString() : ImageUrl::build(QStringLiteral("epub"), entry, bookPath);
}

// Everything a chunk holds that a reader decides: ids, block kinds and boxes, run kinds, texts,
// styles and image URLs, weights. Two chunk lists are the same when their descriptions are.
QList<BlockItem> textParagraphs(const QList<ContentChunk>& chunks)
{
    QList<BlockItem> paragraphs;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind == BlockItem::Paragraph && !block.runs.isEmpty())
                paragraphs.append(block);
        }
    }
    return paragraphs;
}

QStringList describe(const QList<ContentChunk>& chunks)
{
    QStringList lines;
    const auto styleOf = [](const TextStyle& style) {
        return QStringLiteral("%1/%2/%3/%4/%5/%6")
            .arg(style.families.join(u','))
            .arg(style.size)
            .arg(style.weight)
            .arg(style.italic)
            .arg(style.colour.name())
            .arg(style.link);
    };
    for (const ContentChunk& chunk : chunks) {
        lines << QStringLiteral("chunk %1 weight %2 reopened %3").arg(chunk.id).arg(chunk.weight).arg(chunk.reopenedContainers);
        for (const BlockItem& block : chunk.blocks) {
            lines << QStringLiteral(" block %1 margins %2,%3 align %4 indent %5 %6")
                         .arg(block.kind)
                         .arg(block.box.marginTop)
                         .arg(block.box.marginLeft)
                         .arg(int(block.align))
                         .arg(block.indent)
                         .arg(styleOf(block.style));
            for (const InlineRun& run : block.runs)
                lines << QStringLiteral("  run %1 [%2] %3 %4").arg(run.kind).arg(run.text, styleOf(run.style), run.url);
        }
    }
    return lines;
}

using EntryBytes = QHash<QString, QByteArray>; // by entry name

// The first family of the run holding text, empty when it names none or there is no such run.
QString firstFamily(const QList<ContentChunk>& chunks, const QString& text)
{
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            for (const InlineRun& run : block.runs) {
                if (run.text.contains(text))
                    return run.style.families.value(0);
            }
        }
    }
    return QString();
}

// What a publisher's tool does to a font: its first `length` bytes XORed with the key, repeated.
QByteArray obfuscated(QByteArray font, const QByteArray& key, int length)
{
    for (int i = 0; i < qMin(length, int(font.size())); ++i)
        font[i] = char(font[i] ^ key[i % key.size()]);
    return font;
}

QByteArray encryption(const QByteArray& algorithm, const QByteArray& uri)
{
    return "<?xml version=\"1.0\"?>\n<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
           "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData><enc:EncryptionMethod Algorithm=\""
        + algorithm + "\"/><enc:CipherData><enc:CipherReference URI=\"" + uri
        + "\"/></enc:CipherData></enc:EncryptedData></encryption>";
}

} // namespace

class TestEpubReader : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString zipBook; // the book file of the cases written as real archives

private Q_SLOTS:
    void initTestCase();
    void openErrors_data();
    void openErrors();
    void metadata_data();
    void metadata();
    void metadataDirectionOfPackageAndElement_data();
    void metadataDirectionOfPackageAndElement();
    void cover_data();
    void cover();
    void spineOfRootPackage();
    void spineOfNestedPackage();
    void malformedPackageKeepsWhatWasRead();
    void chapterThatIsNotXmlKeepsItsText();
    void tagSoupChapterKeepsItsStyles();
    void importsComeFirstAndCyclesEnd();
    void importsClimbNoHigherThanTheRoot();
    void bookWithoutContentHasOneEmptyChunk();
    void styleSheetsAreReadOnceAndCascadeInOrder();
    void darkSchemeRulesFollowTheApplicationsScheme();
    void manyDocumentsOpenAsOneByOne();
    void largeChaptersTakeTurnsWithinTheBudgets();
    void fontsAreReadOnlyByAFullOpen();
    void reopenClearsThePreviousBook();
    void inlineSpacesAndEntitiesSurvive();
    void picturesInTheSpineShowAsImages();
    void packagesAsPublishersMakeThem_data();
    void packagesAsPublishersMakeThem();
    void obfuscatedFontsRegisterInTheClear_data();
    void obfuscatedFontsRegisterInTheClear();
    void chapterDeclaredTooLargeFailsTheBook();
    void bookFontsAnswerToTheirRulesAndStayInTheBook();
};

void TestEpubReader::initTestCase()
{
    QVERIFY(dir.isValid());
    zipBook = dir.filePath(QStringLiteral("book.epub"));
}

void TestEpubReader::openErrors_data()
{
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QByteArray>("container"); // empty: no entry
    QTest::addColumn<QString>("error");

    const QByteArray good = TestEpub::container("OEBPS/content.opf");
    QTest::newRow("source does not open") << false << good << "Cannot open EPUB file: " + bookPath;
    QTest::newRow("no container") << true << QByteArray() << "Missing or invalid META-INF/container.xml";
    QTest::newRow("container without rootfile")
        << true << QByteArray("<container><rootfiles/></container>")
        << "Could not find OPF rootfile path in container.xml";
    QTest::newRow("rootfile with empty path") << true << TestEpub::container("")
                                              << "Could not find OPF rootfile path in container.xml";
    QTest::newRow("container not XML") << true << QByteArray("<<< not xml")
                                       << "Could not find OPF rootfile path in container.xml";
    QTest::newRow("package document missing") << true << good << "Cannot read OPF file: OEBPS/content.opf";
}

void TestEpubReader::openErrors()
{
    QFETCH(bool, opens);
    QFETCH(QByteArray, container);
    QFETCH(QString, error);

    auto book = std::make_shared<FakeBook>();
    book->openSucceeds = opens;
    if (!container.isEmpty())
        book->entries.insert(containerName, container);

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(!reader.open(bookPath));
    QCOMPARE(reader.errorString(), error);
    QVERIFY(reader.chunks().isEmpty());
    QVERIFY(!reader.loadMetadata(bookPath));
    QCOMPARE(reader.errorString(), error);

    EpubReader withoutSource(SourceFactory(), QStringLiteral("epub"));
    QVERIFY(!withoutSource.open(bookPath));
    QCOMPARE(withoutSource.errorString(), "Cannot open EPUB file: " + bookPath);
}

void TestEpubReader::metadata_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");

    QTest::newRow("title and creator") << QByteArray("<dc:title> Moby-Dick </dc:title><dc:creator>Herman Melville</dc:creator>")
                                       << "Moby-Dick" << "Herman Melville";
    QTest::newRow("first title empty")
        << QByteArray("<dc:title>  </dc:title><dc:title>Second</dc:title>") << "Second" << "";
    QTest::newRow("first non-empty creator")
        << QByteArray("<dc:creator> </dc:creator><dc:creator>A</dc:creator><dc:creator>B</dc:creator>")
        << "Some Book" << "A";
    QTest::newRow("no title: file name") << QByteArray() << "Some Book" << "";
    QTest::newRow("title in the package namespace is not a title")
        << QByteArray("<title>Wrong</title>") << "Some Book" << "";
    QTest::newRow("title in no namespace") << QByteArray("<title xmlns=\"\">Bare</title>") << "Bare" << "";
    // A stated direction that the first letter does not give leads the text as a mark.
    const QString hebrew = QStringLiteral("\u05E1\u05E4\u05E8");
    const QString rlm = QStringLiteral("\u200F"), lrm = QStringLiteral("\u200E");
    QTest::newRow("dir rtl on a title starting in Latin")
        << QStringLiteral("<dc:title dir=\"rtl\">CSS 3 %1!</dc:title><dc:creator dir=\"rtl\">%1</dc:creator>").arg(hebrew).toUtf8()
        << rlm + QStringLiteral("CSS 3 %1!").arg(hebrew) << hebrew;
    QTest::newRow("dir ltr on a creator starting in Hebrew")
        << QStringLiteral("<dc:title>T</dc:title><dc:creator dir=\"ltr\">%1 Smith</dc:creator>").arg(hebrew).toUtf8()
        << "T" << lrm + QStringLiteral("%1 Smith").arg(hebrew);
    QTest::newRow("book language, a title holding Hebrew")
        << QStringLiteral("<dc:title>CSS %1</dc:title><dc:creator>Ann Lee</dc:creator><dc:language>he</dc:language>").arg(hebrew).toUtf8()
        << rlm + QStringLiteral("CSS %1").arg(hebrew) << "Ann Lee";
    QTest::newRow("the element's own language")
        << QStringLiteral("<dc:language>he</dc:language><dc:title xml:lang=\"en\">CSS %1</dc:title>").arg(hebrew).toUtf8()
        << QStringLiteral("CSS %1").arg(hebrew) << "";
    QTest::newRow("no stated direction") << QStringLiteral("<dc:title>CSS %1</dc:title>").arg(hebrew).toUtf8()
                                         << QStringLiteral("CSS %1").arg(hebrew) << "";
}

void TestEpubReader::metadata()
{
    QFETCH(QByteArray, metadata);
    QFETCH(QString, title);
    QFETCH(QString, author);

    auto book = makeBook(package(metadata, item("c1", "c1.xhtml"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/c1.xhtml"), xhtml("<p>Call me Ishmael.</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.loadMetadata(bookPath));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
    QCOMPARE(reader.filePath(), bookPath);
    QCOMPARE(reader.contentKind(), int(ContentKind::Text));
    QVERIFY(reader.chunks().isEmpty());
    QVERIFY(reader.contentHash().isEmpty());
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/c1.xhtml")), 0);

    QVERIFY(reader.open(bookPath));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
    QCOMPARE(reader.contentHash(), book->hash);
}

// An element's own dir, else the package's, else the language; "auto" is the first strong letter.
// The rows named after W3C EPUB reading-system tests read as those tests expect.
void TestEpubReader::metadataDirectionOfPackageAndElement_data()
{
    QTest::addColumn<QByteArray>("packageAttributes");
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");

    const QString arabic = QStringLiteral("\u0645\u063A\u0627\u0645\u0631\u0629");
    const QString hebrew = QStringLiteral("\u05D4\u05E8\u05E4\u05EA\u05E7\u05D4");
    const QString rlm = QStringLiteral("\u200F"), lrm = QStringLiteral("\u200E");
    const QString latinFirst = QStringLiteral("CSS: %1!").arg(arabic);
    const auto title = [](const QString& attributes, const QString& text) {
        return QStringLiteral("<dc:title %1>%2</dc:title>").arg(attributes, text).toUtf8();
    };

    QTest::newRow("pkg-dir-auto_root-rtl: auto on the title outweighs the package")
        << QByteArray(" xml:lang=\"en\" dir=\"rtl\"")
        << "<dc:creator>Ivan Herman</dc:creator><dc:language>en</dc:language>"
               + title(QStringLiteral("xml:lang=\"ar\" dir=\"auto\""), latinFirst)
        << latinFirst << rlm + QStringLiteral("Ivan Herman");
    QTest::newRow("pkg-dir-auto_root-unset: auto outweighs the title's language")
        << QByteArray(" xml:lang=\"en\"")
        << "<dc:language>ar</dc:language>" + title(QStringLiteral("xml:lang=\"ar\" dir=\"auto\""), latinFirst)
        << latinFirst << QString();
    QTest::newRow("auto on a title that starts right to left")
        << QByteArray(" dir=\"ltr\"") << title(QStringLiteral("dir=\"auto\""), hebrew + QStringLiteral(" CSS"))
        << hebrew + QStringLiteral(" CSS") << QString();
    QTest::newRow("pkg-dir_unset-root-rtl: the package's dir on title and creator")
        << QByteArray(" xml:lang=\"ar\" dir=\"rtl\"")
        << "<dc:creator>Ivan Herman</dc:creator>" + title(QStringLiteral("xml:lang=\"ar\""), latinFirst)
        << rlm + latinFirst << rlm + QStringLiteral("Ivan Herman");
    QTest::newRow("pkg-dir_rtl-006: the title's dir outweighs the package's")
        << QByteArray(" xml:lang=\"en\" dir=\"ltr\"")
        << "<dc:creator>Ivan Herman</dc:creator>"
               + title(QStringLiteral("dir=\"rtl\" xml:lang=\"he\""), QStringLiteral("CSS: %1!").arg(hebrew))
        << rlm + QStringLiteral("CSS: %1!").arg(hebrew) << QStringLiteral("Ivan Herman");
    QTest::newRow("pkg-dir_creator-rtl: dir on the creator")
        << QByteArray(" xml:lang=\"en\"")
        << QByteArray("<dc:creator dir=\"rtl\">Dave Cramer</dc:creator><dc:title>'dir=rtl' on the creator</dc:title>")
        << QStringLiteral("'dir=rtl' on the creator") << rlm + QStringLiteral("Dave Cramer");
    QTest::newRow("the package's ltr outweighs a right-to-left language")
        << QByteArray(" dir=\"LTR\"") << "<dc:language>he</dc:language>" + title(QString(), hebrew + QStringLiteral(" CSS"))
        << lrm + hebrew + QStringLiteral(" CSS") << QString();
    QTest::newRow("a dir of no meaning leaves the package's")
        << QByteArray(" dir=\"rtl\"") << title(QStringLiteral("dir=\"sideways\""), QStringLiteral("Moby-Dick"))
        << rlm + QStringLiteral("Moby-Dick") << QString();
}

void TestEpubReader::metadataDirectionOfPackageAndElement()
{
    QFETCH(QByteArray, packageAttributes);
    QFETCH(QByteArray, metadata);
    QFETCH(QString, title);
    QFETCH(QString, author);

    auto book = makeBook(package(metadata, item("c1", "c1.xhtml"), itemref("c1"), packageAttributes));
    book->entries.insert(QStringLiteral("OEBPS/c1.xhtml"), xhtml("<p>Call me Ishmael.</p>"));
    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.loadMetadata(bookPath));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
}

void TestEpubReader::cover_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<QString>("coverEntry"); // empty: no cover

    QTest::newRow("cover-image after a meta: the later wins")
        << QByteArray("<meta name=\"cover\" content=\"a\"/>")
        << (item("a", "a.jpg", "image/jpeg") + item("b", "images/b.jpg", "image/jpeg", "cover-image"))
        << "OEBPS/images/b.jpg";
    QTest::newRow("meta naming no item: no cover")
        << QByteArray("<meta name=\"cover\" content=\"nothing\"/>") << item("cover-image", "c.jpg", "image/jpeg")
        << "";
    QTest::newRow("meta with name and content swapped")
        << QByteArray("<meta name=\"img1\" content=\"cover\"/>") << item("img1", "i.png", "image/png") << "OEBPS/i.png";
    QTest::newRow("meta cover of any media type")
        << QByteArray("<meta name=\"cover\" content=\"page\"/>") << item("page", "cover.xhtml") << "OEBPS/cover.xhtml";
    QTest::newRow("guessed by id ignoring case")
        << QByteArray() << (item("text", "t.xhtml") + item("MyCOVER", "art/front.jpg", "image/jpeg"))
        << "OEBPS/art/front.jpg";
    QTest::newRow("an xhtml page is never guessed") << QByteArray() << item("cover", "cover.xhtml") << "";
    QTest::newRow("no cover at all") << QByteArray() << item("pic", "p.jpg", "image/jpeg") << "";
}

void TestEpubReader::cover()
{
    QFETCH(QByteArray, metadata);
    QFETCH(QByteArray, manifest);
    QFETCH(QString, coverEntry);

    auto book = makeBook(package(metadata, manifest, QByteArray()));
    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.loadMetadata(bookPath));
    QCOMPARE(reader.coverImageUrl(), coverUrl(coverEntry));
}

void TestEpubReader::spineOfRootPackage()
{
    auto book = std::make_shared<FakeBook>();
    book->entries.insert(containerName, TestEpub::container("content.opf"));
    book->entries.insert(QStringLiteral("content.opf"),
                         package("<dc:title>Root</dc:title>",
                                 item("c1", "ch1.xhtml") + item("c2", "a%20b.xhtml") + item("gone", "gone.xhtml")
                                     + item("late", "late.xhtml"),
                                 itemref("late") + itemref("c1") + itemref("unknown") + itemref("gone") + itemref("c2"))
                             .replace("<manifest>", "<manifest>" + itemref("late")));
    book->entries.insert(QStringLiteral("ch1.xhtml"), xhtml("<p>First chapter.</p>"));
    book->entries.insert(QStringLiteral("a b.xhtml"), xhtml("<p>Second chapter.</p>"));
    book->entries.insert(QStringLiteral("late.xhtml"), xhtml("<p>Late chapter.</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    // "late" is in the spine once: the itemref standing before its item is dropped, the later one counts.
    QCOMPARE(chunkIds(reader.chunks()), (QStringList{"late.xhtml", "ch1.xhtml", "a b.xhtml"}));
    QCOMPARE(book->reads.value(QStringLiteral("gone.xhtml")), 1);
    const QString text = chunkText(reader.chunks());
    QVERIFY(text.contains(QLatin1String("First chapter.")));
    QVERIFY(text.indexOf(QLatin1String("First")) < text.indexOf(QLatin1String("Second")));
}

void TestEpubReader::spineOfNestedPackage()
{
    auto book = makeBook(package(QByteArray(), item("c1", "../Text/x.xhtml") + item("c2", "sub/./y.xhtml"),
                                 itemref("c1") + itemref("c2")));
    book->entries.insert(QStringLiteral("Text/x.xhtml"), xhtml("<p>X</p>"));
    book->entries.insert(QStringLiteral("OEBPS/sub/y.xhtml"), xhtml("<p>Y</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QCOMPARE(chunkIds(reader.chunks()), (QStringList{"Text/x.xhtml", "OEBPS/sub/y.xhtml"}));
}

void TestEpubReader::malformedPackageKeepsWhatWasRead()
{
    auto book = makeBook("<package xmlns=\"http://www.idpf.org/2007/opf\"><metadata "
                         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Cut</dc:title></metadata>"
                         "<manifest>" + item("c1", "c1.xhtml") + "</manifest><spine>" + itemref("c1") + "<itemref idref=");
    book->entries.insert(QStringLiteral("OEBPS/c1.xhtml"), xhtml("<p>Still here.</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QCOMPARE(reader.errorString(), QString());
    QCOMPARE(reader.title(), QStringLiteral("Cut"));
    QVERIFY(chunkText(reader.chunks()).contains(QLatin1String("Still here.")));
}

void TestEpubReader::chapterThatIsNotXmlKeepsItsText()
{
    auto book = makeBook(package(QByteArray(), item("c1", "bad.xhtml") + item("c2", "good.xhtml"),
                                 itemref("c1") + itemref("c2")));
    book->entries.insert(QStringLiteral("OEBPS/bad.xhtml"), "<html><body><p>One <b>two</p> three<br></body></html>");
    book->entries.insert(QStringLiteral("OEBPS/good.xhtml"), xhtml("<p>Fine.</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QCOMPARE(chunkIds(reader.chunks()), (QStringList{"OEBPS/bad.xhtml", "OEBPS/good.xhtml"}));
    const QString text = chunkText(reader.chunks());
    for (const char* word : {"One", "two", "three", "Fine."})
        QVERIFY2(text.contains(QLatin1String(word)), word);
}

void TestEpubReader::tagSoupChapterKeepsItsStyles()
{
    // HTML as an old converter wrote it: unclosed br and img, unquoted attributes, upper-case
    // tags, a named entity XML does not know, an implied end of paragraph.
    const QByteArray soup = "<HTML><HEAD><LINK REL=stylesheet HREF=../css/soup.css></HEAD><BODY>"
                            "<H1 class=title>Chapter&nbsp;One</H1><P>First line<br>second <i>italic</i> line"
                            "<P class=note>A picture: <IMG SRC=../img/p.png WIDTH=120> &hellip; after it"
                            "</BODY></HTML>";
    auto book = makeBook(package(QByteArray(), item("c1", "text/soup.html"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/text/soup.html"), soup);
    book->entries.insert(QStringLiteral("OEBPS/css/soup.css"), "h1.title { font-size: 30px } p.note { color: #ff0000 }");

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    const QList<BlockItem> paragraphs = textParagraphs(reader.chunks());
    QCOMPARE(paragraphs.size(), 3);
    const TextStyle heading = paragraphs[0].runs.first().style;
    QCOMPARE(paragraphs[0].runs.first().text, QStringLiteral("Chapter\u00A0One"));
    QCOMPARE(heading.size, 30.0);
    QCOMPARE(heading.weight, 700);
    bool italic = false, lineBreak = false;
    for (const InlineRun& run : paragraphs[1].runs) {
        italic = italic || (run.kind == InlineRun::Text && run.text == u"italic" && run.style.italic);
        lineBreak = lineBreak || run.kind == InlineRun::LineBreak;
    }
    QVERIFY(italic);
    QVERIFY(lineBreak);
    const InlineRun* image = nullptr;
    for (const InlineRun& run : paragraphs[2].runs) {
        if (run.kind == InlineRun::Image)
            image = &run;
    }
    QVERIFY(image);
    QCOMPARE(image->url, ImageUrl::build(QStringLiteral("epub"), QStringLiteral("OEBPS/img/p.png"), bookPath));
    QCOMPARE(image->width, 120.0);
    QCOMPARE(paragraphs[2].runs.first().style.colour, QColor(Qt::red));
    QVERIFY(paragraphs[2].runs.last().text.contains(QStringLiteral("\u2026 after it")));
}

void TestEpubReader::importsComeFirstAndCyclesEnd()
{
    // main imports base (relative to main) and itself; base imports main back, and an absolute
    // path from the root of the book. The importing sheet's own rules come after its imports.
    const QByteArray head = "<link rel=\"stylesheet\" href=\"../css/main.css\"/>"
                            "<style>@import \"../css/inline.css\"; em { font-weight: bold }</style>";
    auto book = makeBook(package(QByteArray(), item("c1", "text/one.xhtml"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/text/one.xhtml"), xhtml("<p>One <em>two</em></p>", head));
    book->entries.insert(QStringLiteral("OEBPS/css/main.css"),
                         "@charset \"utf-8\"; @import url(\"base/base.css\"); @import 'main.css';"
                         "@import url(print.css) print; p { color: #0000ff }");
    book->entries.insert(QStringLiteral("OEBPS/css/base/base.css"),
                         "@import \"../main.css\"; @import \"/OEBPS/css/root.css\"; p { color: #ff0000; font-style: italic }");
    book->entries.insert(QStringLiteral("OEBPS/css/root.css"), "p { font-size: 20px }");
    book->entries.insert(QStringLiteral("OEBPS/css/print.css"), "p { font-size: 40px }");
    book->entries.insert(QStringLiteral("OEBPS/css/inline.css"), "em { font-weight: 300; font-size: 10px }");

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/print.css")), 0);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/main.css")), 1);
    const QList<BlockItem> paragraphs = textParagraphs(reader.chunks());
    QCOMPARE(paragraphs.size(), 1);
    const QList<InlineRun> runs = paragraphs.first().runs;
    QCOMPARE(runs.size(), 2);
    const TextStyle p = runs.first().style;
    QCOMPARE(p.colour, QColor(Qt::blue));
    QVERIFY(p.italic);
    QCOMPARE(p.size, 20.0);
    const TextStyle em = runs.last().style;
    QCOMPARE(em.weight, 700);
    QCOMPARE(em.size, 10.0);
}

// A reading system stops ".." at the root of the book, for the sheets a sheet or a style element
// imports as for chapters and images.
void TestEpubReader::importsClimbNoHigherThanTheRoot()
{
    const QByteArray head = "<link rel=\"stylesheet\" href=\"css/main.css\"/>"
                            "<style>@import \"../../inline.css\";</style>";
    auto book = makeBook(package(QByteArray(), item("c1", "one.xhtml"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/one.xhtml"), xhtml("<p>One <em>two</em></p>", head));
    book->entries.insert(QStringLiteral("OEBPS/css/main.css"), "@import url(\"../../../../shared.css\");");
    book->entries.insert(QStringLiteral("shared.css"), "p { color: #0000ff }");
    book->entries.insert(QStringLiteral("inline.css"), "em { font-weight: bold }");

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    const QList<BlockItem> paragraphs = textParagraphs(reader.chunks());
    QCOMPARE(paragraphs.size(), 1);
    const QList<InlineRun> runs = paragraphs.first().runs;
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.first().style.colour, QColor(Qt::blue));
    QCOMPARE(runs.last().style.weight, 700);
}

void TestEpubReader::bookWithoutContentHasOneEmptyChunk()
{
    auto book = makeBook(package("<dc:title>Empty</dc:title>", item("c1", "missing.xhtml"), itemref("c1")));
    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));

    const QList<ContentChunk> chunks = reader.chunks();
    QCOMPARE(chunks.size(), 1);
    QCOMPARE(chunks[0].id, bookPath);
    QCOMPARE(chunks[0].blocks.size(), 1);
    const BlockItem& block = chunks[0].blocks[0];
    QCOMPARE(block.kind, int(BlockItem::Paragraph));
    QVERIFY(block.runs.isEmpty());
    QCOMPARE(block.style.size, 16.0);
    QCOMPARE(block.style.weight, 400);
    QVERIFY(!block.style.colour.isValid());
}

void TestEpubReader::styleSheetsAreReadOnceAndCascadeInOrder()
{
    // The inline sheet stands before the link but still comes after it in the cascade.
    const QByteArray head = "<style>p { font-weight: bold }</style>"
                            "<link rel=\"StyleSheet\" href=\"../css/main.css\"/>"
                            "<link rel=\"stylesheet\" href=\"missing.css\"/>"
                            "<link rel=\"alternate stylesheet\" href=\"../css/alt.css\"/>";
    auto book = makeBook(package(QByteArray(), item("c1", "text/one.xhtml") + item("c2", "text/two.xhtml"),
                                 itemref("c1") + itemref("c2")));
    book->entries.insert(QStringLiteral("OEBPS/text/one.xhtml"), xhtml("<p>One</p>", head));
    book->entries.insert(QStringLiteral("OEBPS/text/two.xhtml"), xhtml("<p>Two</p>", head));
    book->entries.insert(QStringLiteral("OEBPS/css/main.css"), "p { font-weight: normal; font-style: italic }");
    book->entries.insert(QStringLiteral("OEBPS/css/alt.css"), "p { font-size: 40px }");

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/main.css")), 1);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/text/missing.css")), 2);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/alt.css")), 0);

    int paragraphs = 0;
    const QList<ContentChunk> chunks = reader.chunks();
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind != BlockItem::Paragraph || block.runs.isEmpty())
                continue;
            ++paragraphs;
            const TextStyle& style = block.runs.first().style;
            QCOMPARE(style.weight, 700);
            QVERIFY(style.italic);
            QVERIFY(style.size < 40);
        }
    }
    QCOMPARE(paragraphs, 2);
}

// A book's dark-scheme rules apply while the application prefers dark; the reader says that it
// asked, so the application knows to open it again when the scheme turns.
void TestEpubReader::darkSchemeRulesFollowTheApplicationsScheme()
{
    struct Restore {
        ~Restore() { ColourScheme::setPrefersDark(false); }
    } restore;
    auto book = makeBook(package(QByteArray(), item("c1", "one.xhtml") + item("c2", "two.xhtml"),
                                 itemref("c1") + itemref("c2")));
    book->entries.insert(QStringLiteral("OEBPS/one.xhtml"), xhtml("<p>One</p>", "<link rel=\"stylesheet\" href=\"s.css\"/>"));
    book->entries.insert(QStringLiteral("OEBPS/two.xhtml"), xhtml("<p>Two</p>"));
    book->entries.insert(QStringLiteral("OEBPS/s.css"), "@media (prefers-color-scheme: dark) { p { font-style: italic } }");
    for (const bool dark : {false, true}) {
        ColourScheme::setPrefersDark(dark);
        EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
        QVERIFY(reader.open(bookPath));
        QVERIFY(reader.followsColourScheme());
        const QList<BlockItem> blocks = reader.chunks().first().blocks;
        const auto paragraph = std::find_if(blocks.cbegin(), blocks.cend(),
                                            [](const BlockItem& block) { return !block.runs.isEmpty(); });
        QVERIFY(paragraph != blocks.cend());
        QCOMPARE(paragraph->runs.first().style.italic, dark);
    }
    book->entries.insert(QStringLiteral("OEBPS/s.css"), "@media screen { p { font-style: italic } }");
    EpubReader plain(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(plain.open(bookPath));
    QVERIFY(!plain.followsColourScheme());
}

void TestEpubReader::manyDocumentsOpenAsOneByOne()
{
    // Enough documents to keep every thread of the pool busy, sharing three sheets in different
    // combinations, with inline sheets, fonts, a chapter that is not XML and one that is missing.
    const int documents = 48;
    QByteArray manifest = item("font", "fonts/f.otf", "font/otf");
    QList<QByteArray> spine;
    EntryBytes chapters; // and the entries they share
    for (int i = 0; i < documents; ++i) {
        const QByteArray id = "c" + QByteArray::number(i);
        const QByteArray href = (i % 2 ? "text/" : "") + id + ".xhtml";
        manifest += item(id, href);
        spine << itemref(id);
        QByteArray head;
        if (i % 3 != 1)
            head += QByteArray("<link rel=\"stylesheet\" href=\"") + (i % 2 ? "../" : "") + "css/a.css\"/>";
        if (i % 4 == 0)
            head += QByteArray("<link rel=\"stylesheet\" href=\"") + (i % 2 ? "../" : "") + "css/b.css\"/>";
        if (i % 5 == 0)
            head += "<link rel=\"stylesheet\" href=\"missing.css\"/>";
        if (i % 6 == 0)
            head += "<style>@font-face { font-family: F; src: url(fonts/f.otf) } h1 { color: #00ff00 }</style>";
        QByteArray body = "<h1>Chapter " + QByteArray::number(i) + "</h1>";
        for (int p = 0; p < 1 + i % 7; ++p)
            body += "<p class=\"x\">Paragraph " + QByteArray::number(p) + " of " + id
                + ", long enough to fill a chunk in a few of them: " + QByteArray(40 * p, 'w') + "</p>";
        body += "<blockquote><p>A <em>quoted</em> line with <img src=\"../img/i.png\"/> an image.</p></blockquote>";
        chapters.insert(QStringLiteral("OEBPS/") + QString::fromLatin1(href), xhtml(body, head));
    }
    chapters[QStringLiteral("OEBPS/c8.xhtml")] = "<html><body><p>Not <b>XML</p> at all<br></body></html>";
    chapters.remove(QStringLiteral("OEBPS/text/c11.xhtml"));
    chapters.insert(QStringLiteral("OEBPS/css/a.css"), "p { font-style: italic; margin-left: 3px } .x { text-indent: 1em }");
    chapters.insert(QStringLiteral("OEBPS/css/b.css"), "p { font-weight: bold } blockquote { margin: 10px 20px }");
    chapters.insert(QStringLiteral("OEBPS/fonts/f.otf"), "not really a font");

    const auto bookWith = [&](const QList<QByteArray>& itemrefs) {
        auto book = makeBook(package(QByteArray(), manifest, itemrefs.join()));
        book->entries.insert(chapters);
        return book;
    };

    // The reference: every document opened as a book of its own.
    QList<ContentChunk> oneByOne;
    for (const QByteArray& ref : std::as_const(spine)) {
        EpubReader single(fakeSourceFactory(bookWith({ ref })), QStringLiteral("epub"));
        QVERIFY(single.open(bookPath));
        if (!(single.chunks().size() == 1 && single.chunks().first().id == bookPath))
            oneByOne += single.chunks();
    }
    const QStringList expected = describe(oneByOne);
    QCOMPARE(expected.filter(QStringLiteral("Paragraph 5 of c47")).size(), 1);
    // The chapter that is not XML is read as HTML: its bold survives.
    QCOMPARE(expected.filter(QStringLiteral("[XML]")).size(), 1);
    QVERIFY(expected.filter(QStringLiteral("[XML]")).first().contains(QStringLiteral("/700/")));
    QVERIFY(expected.filter(QStringLiteral("c11")).isEmpty());

    // Races show only now and then: open the whole book several times.
    for (int round = 0; round < 5; ++round) {
        auto book = bookWith(spine);
        EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
        QVERIFY(reader.open(bookPath));
        QCOMPARE(describe(reader.chunks()), expected);
        QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/a.css")), 1);
        QCOMPARE(book->reads.value(QStringLiteral("OEBPS/css/b.css")), 1);
        // Tried again by each of the ten documents that link it.
        QCOMPARE(book->reads.value(QStringLiteral("OEBPS/missing.css")) + book->reads.value(QStringLiteral("OEBPS/text/missing.css")), 10);
        // Once for the manifest's font and all the @font-face rules naming it.
        QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/f.otf")), 1);
    }
}

void TestEpubReader::largeChaptersTakeTurnsWithinTheBudgets()
{
    // More large chapters than the pool has threads; the budget holds two of them at once.
    const int chapterCount = 24;
    const int paragraphs = 600;
    QByteArray manifest;
    QByteArray spine;
    auto book = makeBook(QByteArray());
    qint64 chapterBytes = 0;
    for (int i = 0; i < chapterCount; ++i) {
        const QByteArray id = "c" + QByteArray::number(i);
        manifest += item(id, id + ".xhtml");
        spine += itemref(id);
        QByteArray body;
        for (int p = 0; p < paragraphs; ++p)
            body += "<p>Chapter " + QByteArray::number(i) + " paragraph " + QByteArray::number(p)
                + " with <em>some</em> words in it.</p>";
        const QByteArray chapter = xhtml(body);
        chapterBytes = chapter.size();
        book->entries.insert(QStringLiteral("OEBPS/") + QString::fromLatin1(id) + QStringLiteral(".xhtml"), chapter);
    }
    book->entries.insert(QStringLiteral("OEBPS/content.opf"), package(QByteArray(), manifest, spine));

    struct Case {
        qint64 budget;
        int mostTrees;
    };
    for (const Case& c : {Case{chapterBytes * 2, 2}, Case{chapterBytes / 2, 1}}) {
        EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
        reader.setChapterTreeBudget(c.budget);
        ChapterTreeBudget::resetPeak();
        QVERIFY(reader.open(bookPath));
        QVERIFY2(ChapterTreeBudget::peakTrees() <= c.mostTrees, qPrintable(QString::number(ChapterTreeBudget::peakTrees())));
        QCOMPARE(ChapterTreeBudget::peakTrees() >= 1, true);
        QCOMPARE(ChapterTreeBudget::liveTrees(), 0); // every tree is gone once its blocks are built
        const QList<BlockItem> paragraphsRead = textParagraphs(reader.chunks());
        QCOMPARE(paragraphsRead.size(), chapterCount * paragraphs);
        QCOMPARE(paragraphsRead.last().runs.first().text, QStringLiteral("Chapter 23 paragraph 599 with "));
    }

    // A book whose text needs more than the memory budget is refused, not laid out; one whose
    // text, blocks and runs fit, with room for its chapters' trees, opens.
    qint64 weight = 0;
    qint64 items = 0;
    {
        EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
        QVERIFY(reader.open(bookPath));
        for (const ContentChunk& chunk : reader.chunks()) {
            weight += chunk.weight;
            for (const BlockItem& block : chunk.blocks)
                items += BookCostMeter::kBytesPerBlock + block.runs.size() * BookCostMeter::kBytesPerRun;
        }
    }
    const qint64 room = weight * BookMemoryBudget::kBytesPerCharacter + items;
    // Each thread may hold a chapter tree while it reads.
    const qint64 trees = chapterBytes * BookCostMeter::kBytesPerElement * (QThreadPool::globalInstance()->maxThreadCount() + 1);
    for (const qint64 budget : {room + trees, weight * BookMemoryBudget::kBytesPerCharacter - 1}) {
        EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
        reader.setMemoryBudget(budget);
        const bool fits = budget >= room;
        if (!fits) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Book content counted at \\d+ MB")));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Book too large for the memory of this computer: " + bookPath));
        }
        QCOMPARE(reader.open(bookPath), fits);
        QCOMPARE(reader.errorString(), fits ? QString() : QStringLiteral("Cannot open EPUB file: ") + bookPath);
        QCOMPARE(reader.chunks().isEmpty(), !fits);
    }
}

void TestEpubReader::fontsAreReadOnlyByAFullOpen()
{
    const QByteArray head = "<style>@font-face { font-family: B; src: url(../fonts/b%20b.otf) }</style>";
    auto book = makeBook(package(QByteArray(),
                                 item("f", "fonts/a.ttf", "font/ttf") + item("g", "fonts/c.otf", "application/vnd.ms-opentype")
                                     + item("c1", "text/one.xhtml") + item("c2", "text/two.xhtml"),
                                 itemref("c1") + itemref("c2")));
    book->entries.insert(QStringLiteral("OEBPS/text/one.xhtml"), xhtml("<p>One</p>", head));
    book->entries.insert(QStringLiteral("OEBPS/text/two.xhtml"), xhtml("<p>Two</p>", head));
    book->entries.insert(QStringLiteral("OEBPS/fonts/a.ttf"), "not really a font");

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.loadMetadata(bookPath));
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/a.ttf")), 0);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/c.otf")), 0);
    QVERIFY(reader.contentHash().isEmpty());

    QVERIFY(reader.open(bookPath));
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/a.ttf")), 1);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/c.otf")), 1);
    // Declared by both chapters, read once per open.
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/fonts/b b.otf")), 1);
    QCOMPARE(reader.contentHash(), book->hash);
}

void TestEpubReader::reopenClearsThePreviousBook()
{
    auto first = makeBook(package("<dc:title>First</dc:title><dc:creator>Someone</dc:creator><dc:language>he</dc:language>",
                                  item("c1", "c1.xhtml") + item("cv", "cover.jpg", "image/jpeg", "cover-image"),
                                  itemref("c1")));
    first->entries.insert(QStringLiteral("OEBPS/c1.xhtml"), xhtml("<p>First text</p>"));
    // Hebrew in a title of no stated language: the first book's language does not mark it.
    const QString secondTitle = QStringLiteral("Second \u05E1\u05E4\u05E8");
    auto second = makeBook(package("<dc:title>" + secondTitle.toUtf8() + "</dc:title>", QByteArray(), QByteArray()));
    auto broken = std::make_shared<FakeBook>();

    std::shared_ptr<FakeBook> current = first;
    EpubReader reader([&current]() -> std::unique_ptr<IByteSource> { return std::make_unique<FakeByteSource>(current); },
                      QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    QVERIFY(!reader.coverImageUrl().isEmpty());

    current = second;
    QVERIFY(reader.open(bookPath));
    QCOMPARE(reader.title(), secondTitle);
    QCOMPARE(reader.author(), QString());
    QCOMPARE(reader.coverImageUrl(), QString());
    QVERIFY(!chunkText(reader.chunks()).contains(QLatin1String("First text")));

    current = broken;
    QVERIFY(!reader.open(bookPath));
    QCOMPARE(reader.title(), QString());
    QCOMPARE(reader.filePath(), QString());
    QVERIFY(reader.chunks().isEmpty());
}

void TestEpubReader::inlineSpacesAndEntitiesSurvive()
{
    auto book = makeBook(package(QByteArray(), item("c1", "c1.xhtml"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/c1.xhtml"),
                         "\xEF\xBB\xBF" + xhtml("<p><em>one</em> <b>two</b>&nbsp;three&mdash;four</p>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    const QString text = chunkText(reader.chunks());
    QVERIFY2(text.contains(QStringLiteral("one two\u00a0three\u2014four")), qPrintable(text));
}


// A bitmap or an SVG drawing standing in the spine by itself is a page of one picture; its bytes
// are left for the image resolver, not parsed as markup.
void TestEpubReader::picturesInTheSpineShowAsImages()
{
    auto book = makeBook(package(QByteArray(),
                                 item("p1", "img/page%201.jpg", "image/jpeg") + item("c1", "ch1.xhtml")
                                     + item("map", "img/map.svg", "image/svg+xml"),
                                 itemref("p1") + itemref("c1") + itemref("map")));
    book->entries.insert(QStringLiteral("OEBPS/img/page 1.jpg"), QByteArray("\xff\xd8\xff\xe0 not parsed <p>as text</p>"));
    book->entries.insert(QStringLiteral("OEBPS/ch1.xhtml"), xhtml("<p>Between the pictures.</p>"));
    book->entries.insert(QStringLiteral("OEBPS/img/map.svg"), QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"><text>label</text></svg>"));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    const QList<ContentChunk> chunks = reader.chunks();
    QCOMPARE(chunkIds(chunks), (QStringList{"OEBPS/img/page 1.jpg", "OEBPS/ch1.xhtml", "OEBPS/img/map.svg"}));
    QStringList urls;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            for (const InlineRun& run : block.runs) {
                if (run.kind == InlineRun::Image)
                    urls << run.url;
            }
        }
    }
    QCOMPARE(urls, (QStringList{coverUrl(QStringLiteral("OEBPS/img/page 1.jpg")), coverUrl(QStringLiteral("OEBPS/img/map.svg"))}));
    const QString text = chunkText(chunks);
    QVERIFY(text.contains(QLatin1String("Between the pictures.")));
    QVERIFY(!text.contains(QLatin1String("as text")));
    QVERIFY(!text.contains(QLatin1String("label")));
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/img/page 1.jpg")), 0);
    QCOMPARE(book->reads.value(QStringLiteral("OEBPS/img/map.svg")), 0);
}

void TestEpubReader::packagesAsPublishersMakeThem_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<QByteArray>("spine");
    QTest::addColumn<EntryBytes>("files");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("present"); // in the description of the chunks
    QTest::addColumn<QStringList>("absent");

    const QByteArray after = item("c", "c.xhtml");
    const QByteArray afterChapter = xhtml("<p>The chapter after.</p>");
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary += char(i * 7 + i / 256);
    const QString boldRun = QStringLiteral("/16/700/");

    QTest::newRow("JSON item falls back through XML to XHTML")
        << QByteArray() << (withFallback(item("j", "data.json", "application/json"), "m")
                            + withFallback(item("m", "data.xml", "application/xml"), "x") + item("x", "x.xhtml"))
        << itemref("j")
        << EntryBytes{ { "OEBPS/data.json", "{\"text\": \"Raw JSON\"}" },
                                       { "OEBPS/data.xml", "<data>Raw XML</data>" },
                                       { "OEBPS/x.xhtml", xhtml("<p>Shown instead.</p>") } }
        << QString() << "book" << QString() << QStringList{ "OEBPS/x.xhtml" } << QStringList{ "[Shown instead.]" }
        << QStringList{ "Raw" };
    QTest::newRow("fallback cycle is skipped")
        << QByteArray() << (withFallback(item("a", "a.xml", "application/xml"), "b")
                            + withFallback(item("b", "b.txt", "text/plain"), "a") + after)
        << (itemref("a") + itemref("c"))
        << EntryBytes{ { "OEBPS/a.xml", "<a>Cycle A</a>" }, { "OEBPS/b.txt", "Cycle B" },
                                       { "OEBPS/c.xhtml", afterChapter } }
        << "EPUB: spine item a.xml (application/xml) has no content document in its fallback chain; skipped" << "book"
        << QString() << QStringList{ "OEBPS/c.xhtml" } << QStringList{ "[The chapter after.]" } << QStringList{ "Cycle" };
    QTest::newRow("binary item without a fallback is skipped")
        << QByteArray() << (item("p", "p.bin", "application/octet-stream") + after) << (itemref("p") + itemref("c"))
        << EntryBytes{ { "OEBPS/p.bin", binary }, { "OEBPS/c.xhtml", afterChapter } }
        << "EPUB: spine item p.bin (application/octet-stream) has no content document in its fallback chain; skipped"
        << "book" << QString() << QStringList{ "OEBPS/c.xhtml" } << QStringList{ "[The chapter after.]" } << QStringList();
    QTest::newRow("binary bytes listed as XHTML are not laid out")
        << QByteArray() << (item("b", "b.xhtml") + after) << (itemref("b") + itemref("c"))
        << EntryBytes{ { "OEBPS/b.xhtml", binary }, { "OEBPS/c.xhtml", afterChapter } }
        << "EPUB: spine item OEBPS/b.xhtml is not text; skipped" << "book" << QString()
        << QStringList{ "OEBPS/c.xhtml" } << QStringList{ "[The chapter after.]" } << QStringList();
    QTest::newRow("title with a child element and runs of white space")
        << QByteArray("<dc:title>The  <span xmlns=\"http://www.w3.org/1999/xhtml\">Waste</span>\n\t Land </dc:title>"
                      "<dc:creator>Dave    Cramer</dc:creator>")
        << after << itemref("c") << EntryBytes{ { "OEBPS/c.xhtml", afterChapter } } << QString()
        << "The Waste Land" << "Dave Cramer" << QStringList{ "OEBPS/c.xhtml" } << QStringList{ "[The chapter after.]" }
        << QStringList();
    QTest::newRow("paths with more parents than folders stop at the root")
        << QByteArray() << item("c", "../../text/c.xhtml") << itemref("c")
        << EntryBytes{
               { "text/c.xhtml", xhtml("<p>Picture <img src=\"../../../images/a.png\"/></p>",
                                       "<link rel=\"stylesheet\" href=\"../../style.css\"/>") },
               { "images/a.png", "png" },
               { "style.css", "p { font-weight: bold }" } }
        << QString() << "book" << QString() << QStringList{ "text/c.xhtml" }
        << QStringList{ ImageUrl::build(QStringLiteral("epub"), QStringLiteral("images/a.png"), zipBook), boldRun }
        << QStringList();
    QTest::newRow("chapter and style sheet named in another letter case")
        << QByteArray() << item("c", "Text/Chapter.xhtml") << itemref("c")
        << EntryBytes{
               { "OEBPS/text/chapter.xhtml", xhtml("<p>Bold here</p>", "<link rel=\"stylesheet\" href=\"../styles/MAIN.css\"/>") },
               { "OEBPS/Styles/main.css", "p { font-weight: bold }" } }
        << QString() << "book" << QString() << QStringList{ "OEBPS/Text/Chapter.xhtml" }
        << QStringList{ "[Bold here]", boldRun } << QStringList();
}

void TestEpubReader::packagesAsPublishersMakeThem()
{
    QFETCH(QByteArray, metadata);
    QFETCH(QByteArray, manifest);
    QFETCH(QByteArray, spine);
    QFETCH(EntryBytes, files);
    QFETCH(QString, warning);
    QFETCH(QString, title);
    QFETCH(QString, author);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    TestEpub::Book book;
    book.packagePath = QStringLiteral("OEBPS/content.opf");
    book.packageDocument = package(metadata, manifest, spine);
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        book.files.append(TestZip::Entry{ file.key(), file.value() });
    QVERIFY(TestEpub::write(zipBook, book));

    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
    QVERIFY(reader.open(zipBook));
    QCOMPARE(reader.title(), title);
    QCOMPARE(reader.author(), author);
    QCOMPARE(chunkIds(reader.chunks()), ids);
    const QString description = describe(reader.chunks()).join(u'\n');
    for (const QString& text : std::as_const(present))
        QVERIFY2(description.contains(text), qPrintable(text + QLatin1String(" missing in:\n") + description));
    for (const QString& text : std::as_const(absent))
        QVERIFY2(!description.contains(text), qPrintable(text + QLatin1String(" found in:\n") + description));
}

void TestEpubReader::obfuscatedFontsRegisterInTheClear_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QByteArray>("algorithm");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("viaStyleSheet"); // else listed in the manifest as a font
    QTest::addColumn<bool>("registered");

    const QByteArray idpf = "http://www.idpf.org/2008/embedding";
    const QByteArray adobe = "http://ns.adobe.com/pdf/enc#RC";
    const QByteArray isbn = "<dc:identifier id=\"uid\">urn:isbn:123</dc:identifier>";
    const QByteArray uuid = "urn:uuid:12345678-9abc-def0-1234-56789abcdef0";
    // SHA-1 of "urn:isbn:123", and the bytes of the UUID.
    const QByteArray isbnKey = QByteArray::fromHex("4cbbe21f54139a1d362f74041f9ec1e8157aa548");
    const QByteArray uuidKey = QByteArray::fromHex("123456789abcdef0123456789abcdef0");

    QTest::newRow("IDPF") << isbn << idpf << isbnKey << 1040 << false << true;
    QTest::newRow("IDPF, named by a style sheet") << isbn << idpf << isbnKey << 1040 << true << true;
    QTest::newRow("IDPF: the unique identifier, white space removed")
        << QByteArray("<dc:identifier id=\"other\">urn:isbn:999</dc:identifier>"
                      "<dc:identifier id=\"uid\"> urn:isbn:\n\t123 </dc:identifier>")
        << idpf << isbnKey << 1040 << false << true;
    QTest::newRow("Adobe") << "<dc:identifier id=\"uid\">" + uuid + "</dc:identifier>" << adobe << uuidKey << 1024 << false
                           << true;
    QTest::newRow("Adobe: the first UUID, unique or not")
        << isbn + "<dc:identifier>" + uuid + "</dc:identifier>" << adobe << uuidKey << 1024 << true << true;
    QTest::newRow("other encryption: left out")
        << isbn << QByteArray("http://www.w3.org/2001/04/xmlenc#aes128-cbc") << isbnKey << 1040 << false << false;
}

void TestEpubReader::obfuscatedFontsRegisterInTheClear()
{
    QFETCH(QByteArray, metadata);
    QFETCH(QByteArray, algorithm);
    QFETCH(QByteArray, key);
    QFETCH(int, length);
    QFETCH(bool, viaStyleSheet);
    QFETCH(bool, registered);

    QFile iconFont(QStringLiteral(VELLORA_TEST_DATA "/../../src/assets/MaterialIconsOutlined-Regular.otf"));
    QVERIFY(iconFont.open(QIODevice::ReadOnly));
    const QByteArray font = iconFont.readAll();

    // A font listed in the manifest only is known by the name inside it.
    const QByteArray head = viaStyleSheet ? "<style>@font-face { font-family: F; src: url(../fonts/f.otf) } p { font-family: F }</style>"
                                          : "<style>p { font-family: 'Material Icons Outlined' }</style>";
    auto book = makeBook(package(metadata, item("c1", "text/c1.xhtml") + (viaStyleSheet ? "" : item("f", "fonts/f.otf", "font/otf")),
                                 itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/text/c1.xhtml"), xhtml("<p>Text</p>", head));
    book->entries.insert(QStringLiteral("OEBPS/fonts/f.otf"), obfuscated(font, key, length));
    book->entries.insert(QStringLiteral("META-INF/encryption.xml"), encryption(algorithm, "OEBPS/fonts/f.otf"));

    if (!registered)
        QTest::ignoreMessage(QtWarningMsg, "EPUB: font OEBPS/fonts/f.otf is encrypted; left out");
    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    // Only a font read in the clear parses, registers and takes the text.
    const QString family = firstFamily(reader.chunks(), QStringLiteral("Text"));
    QCOMPARE(family.startsWith(QStringLiteral("Vellora Book Font ")), registered);
    QCOMPARE(QFontDatabase::families().contains(family), registered);
}

void TestEpubReader::bookFontsAnswerToTheirRulesAndStayInTheBook()
{
    // A monospaced face that calls itself by the name of an installed proportional family.
    SfntFont mono;
    QVERIFY2(SfntFont::parse(TestFonts::monospaced(), &mono), "fonts-dejavu-core is installed by scripts/install-deps.sh");
    QVERIFY(!TestFonts::isMonospaced(QStringLiteral("DejaVu Sans")));
    mono.rename(QStringLiteral("DejaVu Sans"));
    const QFontMetricsF installed(QFont(QStringList { QStringLiteral("DejaVu Sans") }));
    const qreal installedWidth = installed.horizontalAdvance(QStringLiteral("iiii WWWW"));

    // The rule stands in a sheet of its own folder: its font is found from there, under an alias
    // that is not the name inside the font.
    auto book = makeBook(package(QByteArray(), item("c1", "text/c1.xhtml") + item("css", "css/book.css", "text/css"), itemref("c1")));
    book->entries.insert(QStringLiteral("OEBPS/text/c1.xhtml"),
                         xhtml("<p class='alias'>Alias</p><p class='named'>Named</p><p>Plain</p><p class='alias'><b>Bold</b></p>",
                               "<link rel='stylesheet' href='../css/book.css'/>"));
    book->entries.insert(QStringLiteral("OEBPS/css/book.css"),
                         "@font-face { font-family: BookFace; src: url(../fonts/mono.ttf) }"
                         "@font-face { font-family: BookFace; font-weight: bold; src: url(../fonts/mono-bold.ttf) }"
                         "@font-face { font-family: 'DejaVu Sans'; src: url(../fonts/mono.ttf) }"
                         ".alias { font-family: bookface, serif } .named { font-family: 'DejaVu Sans' }");
    book->entries.insert(QStringLiteral("OEBPS/fonts/mono.ttf"), mono.toBytes());
    book->entries.insert(QStringLiteral("OEBPS/fonts/mono-bold.ttf"),
                         TestFonts::monospaced(true));

    EpubReader reader(fakeSourceFactory(book), QStringLiteral("epub"));
    QVERIFY(reader.open(bookPath));
    const QString alias = firstFamily(reader.chunks(), QStringLiteral("Alias"));
    QVERIFY(alias.startsWith(QStringLiteral("Vellora Book Font ")));
    QVERIFY(TestFonts::isMonospaced(alias));
    QCOMPARE(firstFamily(reader.chunks(), QStringLiteral("Named")), alias);
    const QString bold = firstFamily(reader.chunks(), QStringLiteral("Bold"));
    QVERIFY(bold.startsWith(QStringLiteral("Vellora Book Font ")) && bold != alias);
    QVERIFY(firstFamily(reader.chunks(), QStringLiteral("Plain")).isEmpty());
    // Text outside the book that names the installed family still gets it.
    QCOMPARE(QFontMetricsF(QFont(QStringList { QStringLiteral("DejaVu Sans") })).horizontalAdvance(QStringLiteral("iiii WWWW")),
             installedWidth);

    // Opened again, the book finds its fonts registered.
    const qsizetype families = QFontDatabase::families().size();
    QVERIFY(reader.open(bookPath));
    QCOMPARE(firstFamily(reader.chunks(), QStringLiteral("Alias")), alias);
    QCOMPARE(QFontDatabase::families().size(), families);

    // Another book naming the same families without declaring them gets none of the first one's.
    auto other = makeBook(package(QByteArray(), item("c1", "c1.xhtml"), itemref("c1")));
    other->entries.insert(QStringLiteral("OEBPS/c1.xhtml"),
                          xhtml("<p style='font-family: BookFace'>Other</p><p style=\"font-family: 'DejaVu Sans'\">Named</p>"));
    EpubReader otherReader(fakeSourceFactory(other), QStringLiteral("epub"));
    QVERIFY(otherReader.open(QStringLiteral("/books/other.epub")));
    QCOMPARE(firstFamily(otherReader.chunks(), QStringLiteral("Other")), QStringLiteral("BookFace"));
    QCOMPARE(firstFamily(otherReader.chunks(), QStringLiteral("Named")), QStringLiteral("DejaVu Sans"));
}

// A zip bomb: the archive declares a chapter of 3 GB. The book does not open as an empty one; it
// says it cannot be opened.
void TestEpubReader::chapterDeclaredTooLargeFailsTheBook()
{
    const QByteArray chapterName = "OEBPS/bomb.xhtml";
    TestEpub::Book book;
    book.packagePath = QStringLiteral("OEBPS/content.opf");
    book.packageDocument = package("<dc:title>Bomb</dc:title>", item("c1", "bomb.xhtml"), itemref("c1"));
    book.files = { { QString::fromLatin1(chapterName), xhtml("<p>tiny</p>"), true } };
    QVERIFY(TestEpub::write(zipBook, book));
    QFile file(zipBook);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    // The uncompressed size of the chapter's central directory record (name at 46, size at 24).
    const QByteArray centralRecord("PK\x01\x02", 4);
    qsizetype at = bytes.indexOf(centralRecord);
    while (at >= 0 && bytes.mid(at + 46, chapterName.size()) != chapterName)
        at = bytes.indexOf(centralRecord, at + 4);
    QVERIFY(at >= 0);
    const quint32 declared = 3u << 30;
    for (int i = 0; i < 4; ++i)
        bytes[at + 24 + i] = char((declared >> (8 * i)) & 0xff);
    file.seek(0);
    file.write(bytes);
    file.close();

    QTest::ignoreMessage(QtWarningMsg, "Chapter too large to read: \"OEBPS/bomb.xhtml\"");
    EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
    QVERIFY(!reader.open(zipBook));
    QCOMPARE(reader.errorString(), "Cannot open EPUB file: " + zipBook);
}

QTEST_MAIN(TestEpubReader)
#include "tst_epubreader.moc"
