// Real books made by the tests, opened through the application's table of formats, the open book
// and the reading model: the results that depend on the real readers and the real layout engine.

#include "AppState.h"
#include "Book.h"
#include "BookPositionStore.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "IFileDialogService.h"
#include "ReadingModel.h"
#include "TestEpub.h"
#include "TestImages.h"
#include "TestZip.h"

#include <QAbstractItemModelTester>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class NoDialogs : public IFileDialogService {
public:
    void open(const QStringList&) override {}
};


// `count` paragraphs of 89 five-letter words: 444 characters each, blank lines between them.
QString writeText(const QString& path, int count)
{
    QStringList words(89, QStringLiteral("word"));
    QStringList paragraphs(count, words.join(QLatin1Char(' ')));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(paragraphs.join(QStringLiteral("\n\n")).toUtf8());
    return path;
}

// The same paragraphs as an EPUB: `count` chapters of one paragraph each, sharing a style sheet.
QString writeEpub(const QString& path, int count)
{
    const QString words = QStringList(89, QStringLiteral("word")).join(QLatin1Char(' '));
    const QByteArray chapter = QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
                                              "<link rel=\"stylesheet\" href=\"../style.css\"/></head>"
                                              "<body><p>%1</p></body></html>").arg(words).toUtf8();
    TestEpub::Book book;
    book.packagePath = QStringLiteral("OEBPS/book.opf");
    book.version = "3.0";
    book.title = "Words";
    book.spine = TestEpub::numberedChapters(QList<QByteArray>(count, chapter), QStringLiteral("text/"));
    book.files = {{QStringLiteral("OEBPS/style.css"), "p { text-indent: 1.5em; margin: 0 }"}};
    TestEpub::write(path, book);
    return path;
}

// One run of the application's back end over a settings file.
struct Session {
    explicit Session(const QString& storePath, FormatRegistry& registry)
        : settings(storePath, QSettings::IniFormat)
        , book(dialogs, registry)
    {
    }
    QSettings settings;
    AppState state{settings};
    BookPositionStore positions{state};
    NoDialogs dialogs;
    Book book;
    ReadingModel model{positions};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    bool open(const QString& path)
    {
        book.openFromPath(path);
        if (!QTest::qWaitFor([&] { return !book.loading(); }))
            return false;
        model.setReader(book.reader());
        return book.hasBook();
    }
};

} // namespace

class TestRealBooks : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FormatRegistry m_registry{DefaultFormats::table()};

private Q_SLOTS:
    void initTestCase()
    {
        registerChunkLayoutMetaType();
    }

    void textBookPages()
    {
        const QString path = writeText(m_dir.filePath("pages.txt"), 20); // 8880 characters
        Session session(m_dir.filePath("pages.ini"), m_registry);
        QVERIFY(session.open(path));
        QVERIFY(session.model.isTextMode());
        qint64 weight = 0;
        for (const ContentChunk& chunk : session.book.reader()->chunks())
            weight += chunk.weight;
        QCOMPARE(weight, qint64(20 * 444));
        QCOMPARE(session.model.totalPages(), 5);
        QCOMPARE(session.model.currentPage(), 1);
        const int last = session.model.rowCount() - 1;
        session.model.setScrollPosition(last, 1e6, 1.0); // the end of the last chunk
        QCOMPARE(session.model.currentPage(), 5);
    }

    // Opened, laid out around the position at once and in the background for the rest; the
    // position saved, then found again by the next run over the same settings file.
    void positionSurvivesARestart_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("txt") << QStringLiteral("txt");
        QTest::newRow("epub") << QStringLiteral("epub");
    }
    void positionSurvivesARestart()
    {
        QFETCH(QString, format);
        const QString path = format == QLatin1String("epub") ? writeEpub(m_dir.filePath("long.epub"), 120)
                                                             : writeText(m_dir.filePath("long.txt"), 120);
        const QString store = m_dir.filePath(QStringLiteral("restart-%1.ini").arg(format));
        int savedChunk = 0;
        {
            Session session(store, m_registry);
            QSignalSpy changed(&session.model, &ReadingModel::dataChanged);
            QVERIFY(session.open(path));
            const int rows = session.model.rowCount();
            QVERIFY(rows > 31);
            QCOMPARE(changed.count(), 1); // the first window, at once
            QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
            QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 25);
            QVERIFY(session.model.measuring());
            QTRY_VERIFY_WITH_TIMEOUT(!session.model.measuring(), 60000);
            QCOMPARE(changed.count(), 2);
            QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 26);
            QCOMPARE(changed.at(1).at(1).toModelIndex().row(), rows - 1);
            for (int row = 0; row < rows; ++row) {
                const ChunkLayout layout = session.model.data(session.model.index(row), ReadingModel::LayoutRole).value<ChunkLayout>();
                QVERIFY(!layout.lines.isEmpty());
                QCOMPARE(layout.width, 600.0);
            }
            savedChunk = rows - 40;
            session.model.setScrollPosition(savedChunk, 12.0, 0.6);
        }
        Session next(store, m_registry);
        QSignalSpy restore(&next.model, &ReadingModel::restoreReady);
        QVERIFY(next.open(path));
        QCOMPARE(restore.count(), 1);
        QCOMPARE(restore.at(0), QVariantList({savedChunk, 12.0}));
        QCOMPARE(next.model.currentChunk(), savedChunk);
        QCOMPARE(next.model.progress(), 0.6);
        QTRY_VERIFY_WITH_TIMEOUT(!next.model.measuring(), 60000);
    }

    void comicPairs_data()
    {
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QList<QVariantList>>("pairs");
        QTest::newRow("shift") << true << QList<QVariantList>{{0}, {1}, {2}, {3}, {4, 5}};
        QTest::newRow("no shift") << false << QList<QVariantList>{{0}, {1, 2}, {3}, {4, 5}};
    }
    void comicPairs()
    {
        QFETCH(bool, shift);
        QFETCH(QList<QVariantList>, pairs);
        // Page 4 of 6 is a double spread; the names sort numerically, not as text.
        const QString path = m_dir.filePath(QStringLiteral("comic-%1.cbz").arg(shift));
        QVERIFY(TestZip::write(path, {{"10.png", TestImages::png(30, 40, Qt::white)}, {"2.png", TestImages::png(30, 40, Qt::white)}, {"3.png", TestImages::png(30, 40, Qt::white)},
                                      {"1.png", TestImages::png(30, 40, Qt::white)}, {"4.png", TestImages::png(80, 40, Qt::white)}, {"5.png", TestImages::png(30, 40, Qt::white)}}));
        Session session(m_dir.filePath(QStringLiteral("comic-%1.ini").arg(shift)), m_registry);
        QVERIFY(session.open(path));
        QVERIFY(session.model.isMangaMode());
        QCOMPARE(session.model.totalPagePairs(), 6);
        session.model.setPageShift(shift, 0);
        session.model.setMangaLandscape(true);
        QList<QVariantList> actual;
        for (int i = 0; i < session.model.totalPagePairs(); ++i)
            actual.append(session.model.pagePair(i));
        QCOMPARE(actual, pairs);
        QVERIFY(session.model.imageUrlForChunk(3).contains(QStringLiteral("4.png")));
        QVERIFY(session.model.imageUrlForChunk(5).contains(QStringLiteral("10.png")));
    }
};

QTEST_MAIN(TestRealBooks)
#include "tst_realbooks.moc"
