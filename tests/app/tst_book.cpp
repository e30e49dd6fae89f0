#include "Book.h"
#include "FakeReader.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "formats/TxtReader.h"
#include "IFileDialogService.h"
#include "sources/ZipByteSource.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "TestImages.h"
#include "TestZip.h"

namespace {

class FakeFileDialogService : public IFileDialogService {
public:
    void open(const QStringList& extensions) override { offered = extensions; }
    QStringList offered;
};

FakeBookContent titled(const QString& title)
{
    FakeBookContent content;
    content.title = title;
    content.author = title + QStringLiteral(" Author");
    content.contentHash = title.toUtf8();
    return content;
}

} // namespace

class TestBook : public QObject {
    Q_OBJECT
private:
    std::shared_ptr<FakeLibrary> m_library;
    std::unique_ptr<FormatRegistry> m_registry;
    FakeFileDialogService m_dialogs;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void init()
    {
        m_library = std::make_shared<FakeLibrary>();
        m_library->add("a.fake", titled("A"));
        m_library->add("b.fake", titled("B"));
        m_library->add(m_dir.path(), titled("Folder"));
        m_registry = std::make_unique<FormatRegistry>(QList<FormatSpec>{fakeRow("fake", false, m_library), fakeRow("", true, m_library)});
    }
    void cleanup()
    {
        m_library->release();
    }

    void pathNormalisation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("image in capitals opens its folder") << "A.PNG";
        QTest::newRow("jpeg opens its folder") << "page 01.jpeg";
        QTest::newRow("folder opens unchanged") << "";
    }
    void pathNormalisation()
    {
        QFETCH(QString, name);
        Book book(m_dialogs, *m_registry);
        book.openFromPath(name.isEmpty() ? m_dir.path() : m_dir.filePath(name));
        QTRY_VERIFY(!book.loading());
        QCOMPARE(book.title(), QStringLiteral("Folder"));
        QCOMPARE(book.filePath(), m_dir.path());
    }

    void openSucceeds()
    {
        Book book(m_dialogs, *m_registry);
        QSignalSpy loading(&book, &Book::loadingChanged);
        QSignalSpy changed(&book, &Book::bookChanged);
        book.openFromUrl(QUrl::fromLocalFile(QDir::current().filePath("a.fake")));
        book.close();
        book.openFromPath("a.fake");
        QVERIFY(book.loading());
        QTRY_VERIFY(!book.loading());
        QVERIFY(book.hasBook());
        QCOMPARE(book.title(), QStringLiteral("A"));
        QCOMPARE(book.author(), QStringLiteral("A Author"));
        QCOMPARE(book.filePath(), QStringLiteral("a.fake"));
        QCOMPARE(book.reader()->contentHash(), QByteArray("A"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(loading.count(), 4); // on, off by close, on, off
    }

    // Only the later request is installed; the earlier reader is deleted.
    void twoQuickOpens()
    {
        Book book(m_dialogs, *m_registry);
        m_library->closeGate();
        QSignalSpy loading(&book, &Book::loadingChanged);
        QSignalSpy changed(&book, &Book::bookChanged);
        book.openFromPath("a.fake");
        QTRY_COMPARE(m_library->opensStarted.load(), 1);
        book.openFromPath("b.fake");
        QCOMPARE(loading.count(), 1);
        m_library->release();
        QTRY_VERIFY(!book.loading());
        QCOMPARE(book.title(), QStringLiteral("B"));
        QTRY_COMPARE(m_library->readersAlive.load(), 1);
        QCOMPARE(loading.count(), 2);
        QCOMPARE(changed.count(), 1);
    }

    void openThenClose()
    {
        Book book(m_dialogs, *m_registry);
        m_library->closeGate();
        book.openFromPath("a.fake");
        QTRY_COMPARE(m_library->opensStarted.load(), 1);
        QSignalSpy changed(&book, &Book::bookChanged);
        QSignalSpy loading(&book, &Book::loadingChanged);
        book.close();
        QCOMPARE(loading.count(), 1);
        m_library->release();
        QTRY_COMPARE(m_library->readersAlive.load(), 0); // the late result was dropped
        QVERIFY(!book.hasBook());
        QVERIFY(!book.loading());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(loading.count(), 1);
    }

    void openWhileABookIsOpen()
    {
        Book book(m_dialogs, *m_registry);
        book.openFromPath("a.fake");
        QTRY_VERIFY(book.hasBook());
        QStringList events;
        connect(&book, &Book::willOpenNewBook, this, [&] { events << QStringLiteral("willOpen:") + book.title(); });
        connect(&book, &Book::loadingChanged, this, [&] { events << QStringLiteral("loading:%1").arg(book.loading()); });
        connect(&book, &Book::bookChanged, this, [&] { events << QStringLiteral("book:") + book.title(); });
        book.openFromPath("b.fake");
        QTRY_VERIFY(!book.loading());
        QCOMPARE(events, QStringList({"willOpen:A", "loading:1", "book:", "loading:0", "book:B"}));
    }

    // Whoever handles bookChanged before the holders of the reader are told may still use it.
    void droppedReaderOutlivesItsAnnouncement_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("close") << true;
        QTest::newRow("opening another book") << false;
    }
    void droppedReaderOutlivesItsAnnouncement()
    {
        QFETCH(bool, byClosing);
        Book book(m_dialogs, *m_registry);
        book.openFromPath("a.fake");
        QTRY_VERIFY(book.hasBook());
        m_library->closeGate();
        QList<int> aliveWhenAnnounced;
        connect(&book, &Book::bookChanged, this, [&] { aliveWhenAnnounced << m_library->readersAlive.load(); });
        if (byClosing)
            book.close();
        else
            book.openFromPath("b.fake");
        QVERIFY(!book.hasBook());
        QCOMPARE(aliveWhenAnnounced, QList<int>({1}));
        if (byClosing)
            QCOMPARE(m_library->readersAlive.load(), 0);
        // The book awaits its opening task when destroyed, so the gate must open before it goes.
        m_library->release();
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("reader fails") << "missing.fake" << "Cannot open fake book: missing.fake";
        QTest::newRow("no format") << "book.unknown" << "No format reader available for this file type";
        QTest::newRow("empty path") << "" << "No format reader available for this file type";
    }
    void failures()
    {
        QFETCH(QString, path);
        QFETCH(QString, error);
        Book book(m_dialogs, *m_registry);
        QSignalSpy errors(&book, &Book::errorMessageChanged);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Book load failed: \"%1\" — \"%2\"").arg(path, error)));
        book.openFromPath(path);
        QTRY_VERIFY(!book.loading());
        QCOMPARE(book.errorMessage(), error);
        QVERIFY(!book.hasBook());
        QCOMPARE(errors.count(), 1);
        book.clearError();
        QCOMPARE(errors.count(), 2);
        QVERIFY(book.errorMessage().isEmpty());
        book.clearError();
        QCOMPARE(errors.count(), 2);
    }

    void nonLocalUrlHasNoReader()
    {
        Book book(m_dialogs, *m_registry);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: \"\""));
        book.openFromUrl(QUrl("https://example.org/a.fake"));
        QTRY_VERIFY(!book.loading());
        QCOMPARE(book.errorMessage(), QStringLiteral("No format reader available for this file type"));
    }

    void browseAndOpen()
    {
        QList<FormatSpec> rows;
        for (const char* extension : {"cbz", "cbr", "", "epub", "fb2", "fbz", "fb2.zip", "txt", "png"})
            rows.append(fakeRow(extension, QByteArray(extension).isEmpty(), m_library));
        FormatRegistry registry(rows);
        Book book(m_dialogs, registry);
        book.browseAndOpen();
        QCOMPARE(m_dialogs.offered.mid(0, 8), QStringList({"cbz", "cbr", "epub", "fb2", "fbz", "fb2.zip", "txt", "png"}));
        QStringList images = m_dialogs.offered.mid(8);
        images.sort();
        QCOMPARE(images, QStringList({"gif", "jpeg", "jpg", "webp"}));

        Book other(m_dialogs, *m_registry);
        Q_EMIT m_dialogs.fileSelected("b.fake");
        QTRY_VERIFY(!other.loading());
        QCOMPARE(other.title(), QStringLiteral("B"));
    }

    // A real comic archive through the application's own table of formats.
    void realComicThroughTheFormatTable()
    {
        const QString good = m_dir.filePath("Comic.CBZ");
        QVERIFY(TestZip::write(good, {{"10.png", TestImages::png(30, 40, Qt::white)}, {"2.png", TestImages::png(60, 40, Qt::white)}, {"1.png", TestImages::png(30, 40, Qt::white)}}));
        const QString broken = m_dir.filePath("broken.cbz");
        QVERIFY(TestZip::write(broken, {{"notes.txt", "no pages here"}}));

        FormatRegistry registry(DefaultFormats::table());
        Book book(m_dialogs, registry);
        book.openFromPath(good);
        QTRY_VERIFY(!book.loading());
        QVERIFY2(book.hasBook(), qPrintable(book.errorMessage()));
        QCOMPARE(book.filePath(), good);
        const QList<ComicPage> pages = book.reader()->pages();
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages.at(1).size, QSize(60, 40));
        QVERIFY(!book.reader()->contentHash().isEmpty());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: "));
        book.openFromPath(broken);
        QTRY_VERIFY(!book.loading());
        QVERIFY(!book.hasBook());
        QCOMPARE(book.errorMessage(), QStringLiteral("No images found: ") + broken);
    }

    // Books that cannot be read, through the application's own table of formats: the message names
    // the reason and the path (%1) or the file's name (%2).
    void failingBooksGiveTheirReason_data()
    {
        QTest::addColumn<QString>("name"); // ends in "/" for a folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("unreadable comic") << "broken.cbz" << QByteArray("just some text") << "Cannot open comic source: %1";
        QTest::newRow("folder without images") << "empty folder/" << QByteArray() << "No images found: %1";
        QByteArray noise(3000, Qt::Uninitialized);
        QRandomGenerator random(29);
        for (char& byte : noise)
            byte = char(random.bounded(256));
        const QString binaryText =
            QStringLiteral("File contains corrupted, binary, or encrypted data and cannot be read as plain text: %2");
        QTest::newRow("random bytes as text") << "noise.txt" << noise << binaryText;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(40, 30, QImage::Format_RGB32).save(&buffer, "PNG");
        QTest::newRow("image as text") << "picture.txt" << png << binaryText;
        // UTF-16 by its byte-order mark, with every third code unit half a surrogate pair.
        QByteArray halves("\xFF\xFE");
        for (int i = 0; i < 100; ++i)
            halves.append("a\0b\0\x00\xDC", 6);
        QTest::newRow("undecodable text") << "halves.txt" << halves << "Failed to decode text: %2";
        QTest::newRow("missing text") << "missing.txt" << QByteArray() << "Cannot open file: %1";
        QTest::newRow("malformed FB2") << "cut.fb2"
                                       << QByteArray("<?xml version=\"1.0\"?><FictionBook><body><section><p>")
                                       << "Invalid or malformed FictionBook XML";
    }
    void failingBooksGiveTheirReason()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QString path = m_dir.filePath(name);
        if (name.endsWith(u'/')) {
            path.chop(1);
            QVERIFY(QDir().mkpath(path));
        } else if (!bytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }

        FormatRegistry registry(DefaultFormats::table());
        Book book(m_dialogs, registry);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: "));
        book.openFromPath(path);
        QTRY_VERIFY(!book.loading());
        QVERIFY(!book.hasBook());
        message.replace(QLatin1String("%1"), path).replace(QLatin1String("%2"), QFileInfo(path).fileName());
        QCOMPARE(book.errorMessage(), message);
    }

    // A book refused for its size keeps the popup's plain text, and the log says why.
    void sizeRefusalsLogTheirReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason"); // the log's warning, as a pattern
        QTest::newRow("text over its limit") << "huge.txt" << "Cannot open file: "
                                             << "^Text file too large to read \\(\\d+ bytes, at most \\d+\\): ";
        QTest::newRow("FB2 over its limit") << "huge.fb2" << "Cannot open FB2 file: "
                                            << "^FB2 file too large to read \\(\\d+ bytes, at most \\d+\\): ";
    }
    void sizeRefusalsLogTheirReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(name);
        QFile file(path);
        // Sparse: only the size is looked at before the refusal.
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qMax(TxtReader::kMaxFileSize, ZipByteSource::kMaxEntrySize) + 1));
        file.close();
        FormatRegistry registry(DefaultFormats::table());
        Book book(m_dialogs, registry);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(reason + QRegularExpression::escape(path) + "$"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: "));
        book.openFromPath(path);
        QTRY_VERIFY(!book.loading());
        QCOMPARE(book.errorMessage(), message + path);
        QVERIFY(QFile::remove(path));
    }

    // A link to a book opens the book; a link to a pipe is refused like the pipe.
    void linksOpenWhatTheyNameIfRegular()
    {
        const QString tale = m_dir.filePath(QStringLiteral("linked tale.txt"));
        QFile file(tale);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("The lamp was lit at dusk.\n") > 0);
        file.close();
        const QString link = m_dir.filePath(QStringLiteral("link to tale.txt"));
        QVERIFY(QFile::link(tale, link));
        FormatRegistry registry(DefaultFormats::table());
        Book book(m_dialogs, registry);
        book.openFromPath(link);
        QTRY_VERIFY(!book.loading());
        QVERIFY2(book.hasBook(), qPrintable(book.errorMessage()));

        const QString pipe = m_dir.filePath(QStringLiteral("pipe.epub"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString pipeLink = m_dir.filePath(QStringLiteral("link to pipe.epub"));
        QVERIFY(QFile::link(pipe, pipeLink));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: "));
        book.openFromPath(pipeLink);
        QTRY_VERIFY(!book.loading());
        QVERIFY(!book.hasBook());
        QCOMPARE(book.errorMessage(), QStringLiteral("Not a regular file or folder: ") + pipeLink);
    }

    // A folder named like a book file is a folder of images like any other: without pictures, it
    // gets the folder's answer.
    void folderNamedLikeABookFile_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Novel.epub", "Novel.fb2", "Novel.txt", "Novel.fbz", "Novel.FB2.ZIP"})
            QTest::newRow(name) << name;
    }
    void folderNamedLikeABookFile()
    {
        QFETCH(QString, name);
        const QString folder = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(folder));
        FormatRegistry registry(DefaultFormats::table());
        Book book(m_dialogs, registry);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Book load failed: "));
        book.openFromPath(folder);
        QTRY_VERIFY(!book.loading());
        QVERIFY(!book.hasBook());
        QCOMPARE(book.errorMessage(), QStringLiteral("No images found: ") + folder);
    }

    // Destroying the book while its open is still running waits for it and drops its result.
    void destroyedWhileOpening()
    {
        auto* book = new Book(m_dialogs, *m_registry);
        m_library->closeGate();
        book->openFromPath("a.fake");
        book->openFromPath("b.fake");
        QTRY_VERIFY(m_library->opensStarted.load() >= 1);
        m_library->release();
        delete book;
        QCOMPARE(m_library->readersAlive.load(), 0);
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestBook)
#include "tst_book.moc"
