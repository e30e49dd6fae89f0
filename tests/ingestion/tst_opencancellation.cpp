// A cancelled open stops in whichever stage it is: each long stage of opening a book checks the
// thread's CancelToken and gives up, and the readers report the open as failed.
#include "content/DocumentChunkBuilder.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "formats/ParallelFor.h"
#include "html/HtmlBlockParser.h"
#include "html/XmlDomParser.h"
#include "sources/ZipByteSource.h"
#include "text/CancelToken.h"
#include "text/PlainTextParagraphs.h"
#include "text/TextEncoding.h"

#include "EncodedText.h"
#include "ReaderTestSupport.h"
#include "TestEpub.h"
#include "TestImages.h"
#include "TestZip.h"

#include <QDomDocument>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <functional>

namespace {

// One stage of opening, run on this thread: how much it produced (blocks, characters, entries).
using Stage = std::function<qsizetype()>;

QByteArray paragraphs(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "The lamplighter walked the long street at dusk, lamp " + QByteArray::number(i) + ".\n\n";
    return text;
}

QByteArray xhtml(int paragraphCount)
{
    QByteArray body;
    for (int i = 0; i < paragraphCount; ++i)
        body += "<p>The lamp <em>" + QByteArray::number(i) + "</em> was lit at dusk.</p>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>"
           "</head><body>" + body + "</body></html>";
}


bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a reader of the default table makes of path: its chunks or pages, none when it fails.
qsizetype openedParts(const QString& path)
{
    const FormatRegistry registry(DefaultFormats::table());
    const std::unique_ptr<FormatReader> reader = registry.createReader(path);
    if (!reader || !reader->open(path))
        return 0;
    return reader->chunks().size() + reader->pages().size();
}

} // namespace

Q_DECLARE_METATYPE(Stage)

class TestOpenCancellation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void tokenIsSharedAndScopedToItsThread()
    {
        const CancelToken token = CancelToken::create();
        const CancelToken copy = token;
        QVERIFY(!CancelToken::requested());
        {
            const CancelToken::Scope scope(token);
            QVERIFY(!CancelToken::requested());
            copy.cancel();
            QVERIFY(token.isCancelled());
            QVERIFY(CancelToken::requested());
            bool elsewhere = true;
            QThread* other = QThread::create([&elsewhere] { elsewhere = CancelToken::requested(); });
            other->start();
            other->wait();
            delete other;
            QVERIFY(!elsewhere); // another thread has a Scope of its own, or none
            {
                const CancelToken::Scope inner{CancelToken()};
                QVERIFY(!CancelToken::requested());
            }
            QVERIFY(CancelToken::requested());
        }
        QVERIFY(!CancelToken::requested());
        const CancelToken never;
        never.cancel();
        QVERIFY(!never.isCancelled());
    }

    // On a pool with no free thread every index runs on the starting thread, in order, so the
    // loop must stop right after the index that cancelled it.
    void parallelForStopsOnceCancelled()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(1);
        QSemaphore release;
        pool.start([&release] { release.acquire(); });
        const CancelToken token = CancelToken::create();
        const CancelToken::Scope scope(token);
        int ran = 0;
        ParallelFor::run(pool, 100, [&](qsizetype index) {
            ++ran;
            if (index == 3)
                token.cancel();
        });
        release.release();
        QCOMPARE(ran, 4);
        ran = 0;
        ParallelFor::run(pool, 100, [&](qsizetype) { ++ran; });
        QCOMPARE(ran, 0);
    }

    // The jobs on the helper threads see the starting thread's token: a stage run inside them
    // stops when the open is cancelled.
    void parallelForHandsTheTokenToItsHelpers()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(4);
        const CancelToken token = CancelToken::create();
        const CancelToken::Scope scope(token);
        QThread* const starter = QThread::currentThread();
        std::atomic<bool> helperRan{false};
        ParallelFor::run(pool, 16, [&](qsizetype) {
            if (QThread::currentThread() == starter) {
                while (!helperRan) // leaves the other indices to the helpers
                    QThread::yieldCurrentThread();
                return;
            }
            if (!helperRan.exchange(true))
                CancelToken::current().cancel();
        });
        QVERIFY(token.isCancelled());
    }

    void stagesStopWhenCancelled_data()
    {
        QTest::addColumn<Stage>("stage");
        const QString text = QString::fromLatin1(paragraphs(5000));
        QTest::newRow("paragraph finding") << Stage([text] {
            qsizetype blocks = 0;
            PlainTextParagraphs::split(text, DocumentChunkBuilder::kReaderBudget, [&blocks](const auto&) { ++blocks; });
            return blocks;
        });
        QString russian;
        while (russian.size() < 200000)
            russian += EncodedText::russian() + QLatin1Char('\n');
        const QByteArray cp1251 = EncodedText::encode(russian, "windows-1251");
        QTest::newRow("encoding detection and decoding") << Stage([cp1251] { return TextEncoding::decode(cp1251, QString()).size(); });
        const QByteArray chapter = xhtml(5000);
        QTest::newRow("XML parsing") << Stage([chapter] {
            QDomDocument document;
            return XmlDomParser::parseUtf8(chapter, &document) ? document.documentElement().elementsByTagName("p").size() : 0;
        });
        auto tree = std::make_shared<QDomDocument>();
        XmlDomParser::parseUtf8(chapter, tree.get());
        QTest::newRow("block parsing and chunk building") << Stage([tree] {
            const QList<ContentChunk> chunks = HtmlBlockParser::parseChunks(
                tree->documentElement(), QStringLiteral("c"), DocumentChunkBuilder::kReaderBudget, ParseParams(), nullptr,
                QString(), QString(), QString(), 1);
            return ReaderTestSupport::chunkText(chunks).trimmed().size();
        });

        const QString zip = m_dir.filePath(QStringLiteral("entry.zip"));
        QVERIFY(TestZip::write(zip, {{QStringLiteral("big.txt"), paragraphs(60000)}}));
        QTest::newRow("zip inflate") << Stage([zip] {
            ZipByteSource source;
            return source.open(zip) ? source.readEntry(QStringLiteral("big.txt")).size() : 0;
        });

        const QString txt = m_dir.filePath(QStringLiteral("book.txt"));
        QVERIFY(writeFile(txt, paragraphs(20000)));
        QTest::newRow("TXT book") << Stage([txt] { return openedParts(txt); });
        const QString cp1251Txt = m_dir.filePath(QStringLiteral("russian.txt"));
        QVERIFY(writeFile(cp1251Txt, cp1251));
        QTest::newRow("TXT book in a code page") << Stage([cp1251Txt] { return openedParts(cp1251Txt); });

        TestEpub::Book epub;
        epub.title = "T";
        epub.spine = TestEpub::numberedChapters(QList<QByteArray>(40, xhtml(300)));
        const QString epubPath = m_dir.filePath(QStringLiteral("book.epub"));
        QVERIFY(TestEpub::write(epubPath, epub));
        QTest::newRow("EPUB book") << Stage([epubPath] { return openedParts(epubPath); });

        QByteArray sections;
        for (int i = 0; i < 200; ++i)
            sections += "<section><title><p>Part " + QByteArray::number(i) + "</p></title>" + paragraphs(20).replace("\n\n", "</p><p>").prepend("<p>") + "</p></section>";
        const QString fb2 = m_dir.filePath(QStringLiteral("book.fb2"));
        QVERIFY(writeFile(fb2, "<?xml version=\"1.0\" encoding=\"utf-8\"?><FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
                               "<description><title-info><book-title>T</book-title></title-info></description><body>"
                               + sections + "</body></FictionBook>"));
        QTest::newRow("FB2 book") << Stage([fb2] { return openedParts(fb2); });

        QList<TestZip::Entry> pages;
        for (int i = 0; i < 50; ++i)
            pages.append({QStringLiteral("%1.png").arg(i, 3, 10, QLatin1Char('0')), TestImages::png(8, 12, Qt::gray)});
        const QString cbz = m_dir.filePath(QStringLiteral("comic.cbz"));
        QVERIFY(TestZip::write(cbz, pages));
        QTest::newRow("comic page sizing") << Stage([cbz] { return openedParts(cbz); });
    }
    void stagesStopWhenCancelled()
    {
        QFETCH(Stage, stage);
        QVERIFY(stage() > 0);
        const CancelToken token = CancelToken::create();
        const CancelToken::Scope scope(token);
        QVERIFY(stage() > 0); // a token that nobody cancelled changes nothing
        token.cancel();
        QCOMPARE(stage(), 0);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestOpenCancellation)
#include "tst_opencancellation.moc"
