// Reflowable books made of floods of tiny items: a few kilobytes of markup that would hold
// millions of blocks, runs or tree nodes. Each is a real EPUB or FB2 file, opened by its reader
// under a budget the test sets small, and refused with the text of a book that cannot be opened;
// an ordinary book of the same size opens under the same budget.

#include "formats/BookMemoryBudget.h"
#include "formats/EpubReader.h"
#include "formats/Fb2Reader.h"
#include "formats/SfntFont.h"
#include "sources/Fb2ByteSource.h"
#include "sources/ZipByteSource.h"
#include "TestFonts.h"
#include "TestWoff.h"
#include "TestEpub.h"

#include <QFile>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kBudget = 8 * 1024 * 1024;

QByteArray xhtml(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>"
           "</head><body>"
        + body + "</body></html>";
}

// An EPUB of these chapters, in order.
bool writeEpub(const QString& path, const QList<QByteArray>& chapters)
{
    QList<QByteArray> documents;
    for (const QByteArray& chapter : chapters)
        documents.append(xhtml(chapter));
    TestEpub::Book book;
    book.title = "Flood";
    book.spine = TestEpub::numberedChapters(documents);
    return TestEpub::write(path, book);
}

const QByteArray kSentence = "It was the best of times, it was the worst of times, it was the age of wisdom. ";

} // namespace

class TestBookFloods : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void epubFloodsAreRefused_data()
    {
        QTest::addColumn<QList<QByteArray>>("chapters");
        QTest::addColumn<bool>("opens");
        const int n = 40000;
        // One chapter whose tree alone is past the budget: refused before it is built.
        QTest::newRow("line breaks") << QList<QByteArray>{"<p>" + QByteArray("<br/>").repeated(n) + "</p>"} << false;
        QTest::newRow("empty paragraphs") << QList<QByteArray>{QByteArray("<p/>").repeated(n)} << false;
        QTest::newRow("empty divs") << QList<QByteArray>{QByteArray("<div></div>").repeated(n)} << false;
        QTest::newRow("nested divs") << QList<QByteArray>{QByteArray("<div>").repeated(n / 2) + "x" + QByteArray("</div>").repeated(n / 2)}
                                     << false;
        // Chapters each small enough to read, whose blocks together are past the budget: the
        // book is refused while they are built.
        QList<QByteArray> rules, lines, letters, boxes;
        for (int i = 0; i < 40; ++i) {
            rules.append(QByteArray("<hr/>").repeated(n / 40));
            lines.append("<p>" + QByteArray("x<br/>").repeated(n / 40) + "</p>");
            letters.append(QByteArray("<p>x</p>").repeated(n / 40));
            boxes.append(QByteArray("<div style=\"margin: 1em\">x</div>").repeated(n / 40));
        }
        QTest::newRow("rules over many chapters") << rules << false;
        QTest::newRow("broken lines over many chapters") << lines << false;
        QTest::newRow("one-letter paragraphs over many chapters") << letters << false;
        QTest::newRow("boxes over many chapters") << boxes << false;
        QList<QByteArray> prose;
        for (int i = 0; i < 20; ++i)
            prose.append(("<p>" + kSentence.repeated(8) + "</p>").repeated(10));
        QTest::newRow("ordinary chapters") << prose << true;
    }
    void epubFloodsAreRefused()
    {
        QFETCH(QList<QByteArray>, chapters);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("flood.epub"));
        QVERIFY(writeEpub(path, chapters));
        QVERIFY(QFileInfo(path).size() < 200 * 1024);
        EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
        reader.setMemoryBudget(kBudget);
        if (!opens) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Book content counted at \\d+ MB")));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Book too large for the memory of this computer: " + path));
        }
        QCOMPARE(reader.open(path), opens);
        QCOMPARE(reader.errorString(), opens ? QString() : QStringLiteral("Cannot open EPUB file: ") + path);
        QCOMPARE(reader.chunks().isEmpty(), !opens);
        QCOMPARE(reader.contentHash().isEmpty(), !opens);
    }

    void fb2FloodsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("opens");
        const int n = 40000;
        QTest::newRow("empty lines") << "<section><p>a</p>" + QByteArray("<empty-line/>").repeated(n) + "</section>" << false;
        QTest::newRow("empty paragraphs") << "<section>" + QByteArray("<p/>").repeated(n) + "</section>" << false;
        // A tree that alone fits the budget, with blocks that do not: refused before it is built.
        const qint64 treeFits = kBudget / BookCostMeter::kBytesPerElement / 2;
        QTest::newRow("empty lines whose tree fits")
            << "<section><p>a</p>" + QByteArray("<empty-line/>").repeated(treeFits) + "</section>" << false;
        QByteArray sections;
        for (int i = 0; i < 40; ++i)
            sections += "<section>" + QByteArray("<p>x</p><empty-line/>").repeated(n / 80) + "</section>";
        QTest::newRow("one-letter paragraphs over many sections") << sections << false;
        QTest::newRow("ordinary sections") << ("<section>" + ("<p>" + kSentence.repeated(8) + "</p>").repeated(10) + "</section>").repeated(20)
                                           << true;
    }
    void fb2FloodsAreRefused()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("flood.fb2"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?><FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
                   "<description><title-info><book-title>F</book-title></title-info></description><body>"
                   + body + "</body></FictionBook>");
        file.close();
        Fb2Reader reader([] { return std::make_unique<Fb2ByteSource>(); }, QStringLiteral("fb2"));
        reader.setMemoryBudget(kBudget);
        if (!opens) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Book content counted at \\d+ MB")));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Book too large for the memory of this computer: " + path));
        }
        QCOMPARE(reader.open(path), opens);
        QCOMPARE(reader.errorString(), opens ? QString() : QStringLiteral("Cannot open FB2 file: ") + path);
        QCOMPARE(reader.chunks().isEmpty(), !opens);
    }

    // Fonts that are small in the book and huge once inflated: each is within the decoder's cap,
    // together they are not. The book opens with the fonts that fit, and the rest are left out
    // before they are decoded.
    void fontBombsAreCappedPerBook()
    {
        SfntFont base;
        QVERIFY(SfntFont::parse(TestFonts::monospaced(), &base));
        const int count = 5;
        const qint64 padding = 40 * 1024 * 1024; // of zeros: a few tens of kilobytes compressed
        TestEpub::Book book;
        book.title = "Fonts";
        QByteArray faces;
        for (int i = 0; i < count; ++i) {
            SfntFont bomb = base;
            bomb.tables.append({SfntFont::tag("zpad"), QByteArray(padding, char(i))});
            const QByteArray woff = TestWoff::fromSfnt(bomb.toBytes());
            QVERIFY(woff.size() < 256 * 1024);
            const QByteArray name = "f" + QByteArray::number(i) + ".woff";
            book.resources.append({"f" + QByteArray::number(i), QString::fromLatin1(name), woff, "font/woff"});
            faces += "@font-face { font-family: F" + QByteArray::number(i) + "; src: url(" + name + ") }";
        }
        // The fonts stand in the manifest and in the chapter's style sheet.
        book.spine = {{"c", QStringLiteral("c.xhtml"), xhtml("<style>" + faces + "</style><p>Text</p>")}};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fonts.epub"));
        QVERIFY(TestEpub::write(path, book));
        QVERIFY(QFileInfo(path).size() < 1024 * 1024);

        const qint64 each = base.toBytes().size() + padding;
        const int fitting = int(EpubReader::kMaxBookFontBytes / each);
        QVERIFY(fitting >= 1 && fitting < count);
        for (int i = fitting; i < count; ++i) {
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("EPUB: font f%1.woff left out: the book's fonts "
                                                                          "would take more than %2 MB")
                                                              .arg(i).arg(EpubReader::kMaxBookFontBytes >> 20)));
        }
        const int familiesBefore = int(QFontDatabase::families().size());
        EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
        QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
        QCOMPARE(int(QFontDatabase::families().size()) - familiesBefore, fitting);
    }
};

QTEST_MAIN(TestBookFloods)
#include "tst_bookfloods.moc"
