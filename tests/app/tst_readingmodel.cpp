#include "AppState.h"
#include "BookImageResolver.h"
#include "BookPositionStore.h"
#include "FakeReader.h"
#include "GatedImageResolver.h"
#include "ITextMeasurer.h"
#include "LocalHttpServer.h"
#include "PreparedRetention.h"
#include "ReadingModel.h"
#include "TestImages.h"
#include "WebImageProvider.h"

#include <QAbstractItemModelTester>
#include <QSettings>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>

namespace {

using Range = std::pair<int, int>;

const QByteArray kTextHash = QByteArray::fromHex("0123456789abcdef0123456789abcdef");
const QByteArray kComicHash = QByteArray::fromHex("fedcba9876543210fedcba9876543210");

FakeBookContent textBook(const QList<ContentChunk>& chunks)
{
    FakeBookContent content;
    content.contentKind = ContentKind::Text;
    content.contentHash = kTextHash;
    content.chunks = chunks;
    return content;
}

FakeBookContent comicBook(const QList<ComicPage>& pages)
{
    FakeBookContent content;
    content.contentKind = ContentKind::Pages;
    content.contentHash = kComicHash;
    content.pages = pages;
    return content;
}

QList<ContentChunk> weighted(const QList<int>& weights)
{
    QList<ContentChunk> chunks;
    for (int weight : weights)
        chunks.append(makeChunks(1, std::max(weight, 1)).first());
    for (int i = 0; i < chunks.size(); ++i) {
        chunks[i].id = QStringLiteral("c%1").arg(i);
        chunks[i].weight = weights.at(i);
    }
    return chunks;
}

// Everything a model needs, over a fresh settings file; the model is checked by the item model tester.
struct Fixture {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("store.ini"), QSettings::IniFormat};
    AppState state{settings};
    BookPositionStore positions{state};
    GatedImageResolver resolver;
    std::unique_ptr<ReadingModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    explicit Fixture(ChunkLayoutEngine engine = ChunkLayoutEngine())
        : model(std::make_unique<ReadingModel>(positions, std::move(engine)))
    {
        model->setImageResolver(&resolver);
        tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    ~Fixture()
    {
        resolver.release();
        tester.reset();
        model.reset();
    }
};

QList<Range> ranges(const QSignalSpy& spy)
{
    QList<Range> result;
    for (const QList<QVariant>& args : spy)
        result.append({args.at(0).toModelIndex().row(), args.at(1).toModelIndex().row()});
    return result;
}

// Counts chunk preparations: each asks once for the reader font's metrics.
class CountingMeasurer final : public ITextMeasurer {
public:
    FontMetrics metrics(const FontRequest& font) const override
    {
        ++metricsQueries;
        return {font.pixelSize * 0.75, font.pixelSize * 0.25, double(font.pixelSize)};
    }
    double advance(const FontRequest& font, const QString& text) const override
    {
        return text.size() * font.pixelSize * 0.5;
    }

    mutable std::atomic<int> metricsQueries{0};
};

double pixelHeight(const ReadingModel& model, int row)
{
    return model.data(model.index(row), ReadingModel::PixelHeightRole).toDouble();
}

ChunkLayout layoutOf(const ReadingModel& model, int row)
{
    return model.data(model.index(row), ReadingModel::LayoutRole).value<ChunkLayout>();
}

} // namespace

class TestReadingModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<ChunkLayout>("ChunkLayout");
    }

    void roles()
    {
        Fixture f;
        QCOMPARE(f.model->roleNames().value(257), QByteArray("content"));
        QCOMPARE(f.model->roleNames().value(258), QByteArray("layout"));
        QCOMPARE(f.model->roleNames().value(259), QByteArray("pixelHeight"));
        FakeReader reader("book.txt", textBook(makeChunks(3)));
        f.model->setReader(&reader);
        QCOMPARE(f.model->rowCount(), 3);
        QCOMPARE(f.model->data(f.model->index(2), ReadingModel::ContentRole).toString(), QStringLiteral("c2"));
        QCOMPARE(f.model->data(f.model->index(2), ReadingModel::LayoutRole).metaType(), QMetaType::fromType<ChunkLayout>());
        QVERIFY(pixelHeight(*f.model, 0) > 0);
        QVERIFY(!f.model->data(f.model->index(0), Qt::DisplayRole).isValid());
    }

    void virtualPages_data()
    {
        QTest::addColumn<QList<int>>("weights");
        QTest::addColumn<int>("pages");
        QTest::newRow("weights add up to 0") << QList<int>{0, 0} << 1;
        QTest::newRow("exactly one page") << QList<int>{1800} << 1;
        QTest::newRow("one more character") << QList<int>{1000, 801} << 2;
        QTest::newRow("no chunks") << QList<int>{} << 0;
    }
    void virtualPages()
    {
        QFETCH(QList<int>, weights);
        Fixture f;
        FakeReader reader("book.txt", textBook(weighted(weights)));
        f.model->setReader(&reader);
        QTEST(f.model->totalPages(), "pages");
        QCOMPARE(f.model->currentPage(), weights.isEmpty() ? 0 : 1);
    }

    void pageFromPosition()
    {
        Fixture f;
        QList<ContentChunk> chunks = weighted({1000, 1500, 1500, 2000});
        chunks += makeChunks(40, 100, true); // pushes rows beyond the first window
        FakeReader reader("book.txt", textBook(chunks));
        f.resolver.closeGate();
        f.model->setReader(&reader);
        const double height = pixelHeight(*f.model, 3);
        QVERIFY(height > 0);
        QCOMPARE(f.model->calculatePageFromPosition(3, height / 2), 3);       // 4000 + 1000
        QCOMPARE(f.model->calculatePageFromPosition(3, height * 5), 4);       // past the end: 6000
        QCOMPARE(f.model->calculatePageFromPosition(3, -20), 3);              // clamped to its start
        QCOMPARE(f.model->calculatePageFromPosition(99, 0), f.model->calculatePageFromPosition(43, 0)); // clamped to the last chunk
        // Row 40 lies outside the first window: until laid out it counts from its start.
        QCOMPARE(f.model->calculatePageFromPosition(40, 1e6), f.model->calculatePageFromPosition(40, 0));
    }

    // A book with no text has one chunk with no lines; its layout of height 0 is kept like any other.
    void emptyChunkIsLaidOutOnce()
    {
        auto measurer = std::make_shared<CountingMeasurer>();
        Fixture f{ChunkLayoutEngine(measurer)};
        ContentChunk empty;
        empty.id = QStringLiteral("empty");
        empty.blocks.append(BlockItem());
        FakeReader reader("empty.txt", textBook({empty}));
        f.model->setReader(&reader);
        QCOMPARE(pixelHeight(*f.model, 0), 0.0);
        const int prepared = measurer->metricsQueries;
        QVERIFY(prepared > 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(pixelHeight(*f.model, 0), 0.0);
            QVERIFY(layoutOf(*f.model, 0).lines.isEmpty());
        }
        QCOMPARE(measurer->metricsQueries.load(), prepared);
        QCOMPARE(f.model->calculatePageFromPosition(0, 10), 1);
    }

    void scrollReports()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(10, 900)));
        f.model->setReader(&reader);
        QSignalSpy saved(f.model.get(), &ReadingModel::positionSaved);
        QSignalSpy progress(f.model.get(), &ReadingModel::progressChanged);
        QSignalSpy chunk(f.model.get(), &ReadingModel::currentChunkChanged);
        f.model->setScrollPosition(-1, 0, 0.5);
        f.model->setScrollPosition(10, 0, 0.5);
        QCOMPARE(saved.count(), 0);
        QCOMPARE(progress.count(), 0);

        f.model->setScrollPosition(4, 12.5, 0.3);
        f.model->setScrollPosition(4, 12.5, 0.3 + 1e-15);
        QCOMPARE(progress.count(), 1);
        QCOMPARE(chunk.count(), 1);
        QCOMPARE(saved.count(), 2);
        QCOMPARE(f.model->currentPage(), 3); // 4 x 900 / 1800 + 1
        const BookPosition stored = f.positions.load(kTextHash);
        QCOMPARE(stored.chunkIndex, 4);
        QCOMPARE(stored.intraOffset, 12.5);
        QCOMPARE(stored.progress, 0.3);

        f.model->setScrollPosition(5, 0, 1.5);
        QCOMPARE(f.model->progress(), 1.0);
        QCOMPARE(f.positions.load(kTextHash).progress, 1.0);
    }

    void restoresThePosition()
    {
        Fixture f;
        f.positions.save(kTextHash, BookPosition{7, 35.5, 0.42, false, false, true});
        FakeReader reader("book.txt", textBook(makeChunks(50)));
        QSignalSpy restore(f.model.get(), &ReadingModel::restoreReady);
        QSignalSpy shift(f.model.get(), &ReadingModel::pageShiftChanged);
        QSignalSpy direction(f.model.get(), &ReadingModel::mangaRTLChanged);
        f.model->setReader(&reader);
        QCOMPARE(restore.count(), 1); // at once, not queued
        QCOMPARE(restore.at(0).at(0).toInt(), 7);
        QCOMPARE(restore.at(0).at(1).toDouble(), 35.5);
        QCOMPARE(f.model->currentChunk(), 7);
        QCOMPARE(f.model->progress(), 0.42);
        QVERIFY(f.model->useBookColours());
        QVERIFY(!f.model->pageShift());
        QVERIFY(!f.model->mangaRTL());
        QCOMPARE(shift.count(), 1);
        QCOMPARE(direction.count(), 1);

        // The same flags again announce nothing new.
        f.model->setReader(&reader);
        QCOMPARE(shift.count(), 1);
        QCOMPARE(direction.count(), 1);
    }

    // The page shown right after opening counts the restored offset into its chunk, as the first
    // scroll report will.
    void restoredPageCountsTheOffset_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<int>("page");
        QTest::newRow("top of the second chunk") << 1 << 0.0 << 1; // 1000 of 1800
        QTest::newRow("late in the second chunk") << 1 << 0.9 << 2; // 1900
        QTest::newRow("middle of the fourth chunk") << 3 << 0.5 << 2; // 3500
        QTest::newRow("later in the fourth chunk") << 3 << 0.7 << 3; // 3700
    }
    void restoredPageCountsTheOffset()
    {
        QFETCH(int, chunk);
        QFETCH(double, fraction);
        QFETCH(int, page);
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(10, 1000)));
        f.model->setReader(&reader);
        const double height = pixelHeight(*f.model, chunk);
        QVERIFY(height > 0);
        f.positions.save(kTextHash, BookPosition{chunk, fraction * height, 0.3, true, true, false});

        f.model->setReader(&reader);
        QCOMPARE(f.model->currentPage(), page);
        f.model->setScrollPosition(chunk, fraction * height, 0.3);
        QCOMPARE(f.model->currentPage(), page);
    }

    // A book that shrank since its position was saved, and a book without chunks.
    void restoreOfShrunkAndEmptyBooks()
    {
        Fixture f;
        f.positions.save(kTextHash, BookPosition{50, 300, 0.9, true, true, false});
        FakeReader shrunk("book.txt", textBook(makeChunks(10)));
        QSignalSpy restore(f.model.get(), &ReadingModel::restoreReady);
        f.model->setReader(&shrunk);
        QCOMPARE(f.model->currentChunk(), 9);
        QCOMPARE(restore.takeFirst(), QVariantList({9, 0.0}));

        FakeReader empty("empty.txt", textBook({}));
        f.model->setReader(&empty);
        QCOMPARE(restore.takeFirst(), QVariantList({0, 0.0}));
        QCOMPARE(f.model->rowCount(), 0);
        QVERIFY(!f.model->measuring());
    }

    void noReader()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(5)));
        f.positions.save(kTextHash, BookPosition{1, 0, 0.5, false, false, true});
        f.model->setReader(&reader);
        f.model->setReader(nullptr);
        QCOMPARE(f.model->rowCount(), 0);
        QVERIFY(!f.model->isTextMode());
        QVERIFY(f.model->pageShift());
        QVERIFY(f.model->mangaRTL());
        QVERIFY(!f.model->useBookColours());
        QSignalSpy saved(f.model.get(), &ReadingModel::positionSaved);
        f.model->saveCurrentPosition(0, 0);
        f.model->setUseBookColours(true);
        QCOMPARE(saved.count(), 0);
    }

    void useBookColours()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(5)));
        f.model->setReader(&reader);
        f.model->setScrollPosition(3, 4.0, 0.5);
        QSignalSpy saved(f.model.get(), &ReadingModel::positionSaved);
        QSignalSpy changed(f.model.get(), &ReadingModel::useBookColoursChanged);
        f.model->setUseBookColours(true);
        f.model->setUseBookColours(true);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(changed.count(), 1);
        const BookPosition stored = f.positions.load(kTextHash);
        QVERIFY(stored.useBookColours);
        QCOMPARE(stored.chunkIndex, 3);
    }

    // What the interface sees: exactly these properties, signals and invokables, in this order
    // (moc adds a method for each defaulted argument, as it does for restoreReady's offset).
    void metaObjectInterface()
    {
        const QMetaObject& meta = ReadingModel::staticMetaObject;
        QStringList properties;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            QVERIFY2(!property.isWritable() && property.isFinal(), property.name());
            properties.append(QString::fromLatin1(property.typeName()) + QLatin1Char(' ') + property.name());
        }
        QCOMPARE(properties, (QStringList{"bool isTextMode", "bool isMangaMode", "bool measuring", "double progress",
                                          "int currentPage", "int totalPages", "int currentChunk",
                                          "int totalPagePairs", "bool pageShift", "bool mangaRTL",
                                          "bool useBookColours"}));
        QStringList signalList;
        QStringList invokables;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            const QString signature = QString::fromLatin1(method.methodSignature());
            if (method.methodType() == QMetaMethod::Signal)
                signalList.append(signature);
            else if (method.methodType() == QMetaMethod::Method)
                invokables.append(signature);
            else
                QFAIL(qPrintable(QStringLiteral("unexpected slot ") + signature));
        }
        QCOMPARE(signalList, (QStringList{"modeChanged()", "measuringChanged()", "progressChanged()",
                                          "currentPageChanged()", "totalPagesChanged()", "currentChunkChanged()",
                                          "totalPagePairsChanged()", "pageShiftChanged()", "mangaRTLChanged()",
                                          "useBookColoursChanged()", "pagePairsRebuilt(int)",
                                          "restoreReady(int,double)", "restoreReady(int)", "positionSaved()"}));
        QCOMPARE(invokables, (QStringList{"updateLayoutMetrics(int,int,double,int)", "updateLayoutMetrics(int,int,double)",
                                          "setScrollInfo(int,double)", "setScrollPosition(int,double,double)",
                                          "pagePair(int)", "pairIndexForChunk(int)", "imageUrlForChunk(int)",
                                          "setMangaLandscape(bool)", "setPageShift(bool,int)", "setPageShift(bool)",
                                          "setMangaRTL(bool)", "setUseBookColours(bool)"}));
    }

    void metricsChanges()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(10)));
        f.model->setReader(&reader);
        QSignalSpy restore(f.model.get(), &ReadingModel::restoreReady);
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        f.model->updateLayoutMetrics(0, 16, 1.0);
        f.model->updateLayoutMetrics(600, 16, 1.0); // the defaults: nothing changes
        QCOMPARE(changed.count(), 0);

        f.model->updateLayoutMetrics(300, 16, 1.0);
        QCOMPARE(restore.count(), 0);
        QCOMPARE(ranges(changed), QList<Range>({{0, 9}}));
        QCOMPARE(layoutOf(*f.model, 9).width, 300.0);
        f.model->updateLayoutMetrics(300, 16, 1.0 + 1e-13);
        QCOMPARE(changed.count(), 1);

        f.model->updateLayoutMetrics(300, 20, 1.0, 4); // a new font size prepares again
        QCOMPARE(restore.count(), 1);
        QCOMPARE(restore.at(0).at(0).toInt(), 4);
    }

    // A width the view sends is laid out within what the layout can use.
    void contentWidthIsHeldToTheLayoutsRange_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<double>("laidOut");
        QTest::newRow("narrower than a few words") << 40 << 100.0;
        QTest::newRow("just under the narrowest") << 99 << 100.0;
        QTest::newRow("within the range") << 350 << 350.0;
        QTest::newRow("wider than any screen") << 25000 << 20000.0;
    }
    void contentWidthIsHeldToTheLayoutsRange()
    {
        QFETCH(int, sent);
        QFETCH(double, laidOut);
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(3)));
        f.model->setReader(&reader);
        f.model->updateLayoutMetrics(sent, 16, 1.0);
        QCOMPARE(layoutOf(*f.model, 0).width, laidOut);
    }

    void placeholdersLayOutOnDemand()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(60, 100, true)));
        f.resolver.closeGate(); // holds the background run
        f.model->setReader(&reader);
        const int before = f.resolver.guiThreadQueries;
        const ChunkLayout layout = layoutOf(*f.model, 50);
        QVERIFY(!layout.lines.isEmpty());
        QCOMPARE(f.resolver.guiThreadQueries, before + 1);
        QCOMPARE(pixelHeight(*f.model, 50), layout.height);
        QCOMPARE(f.resolver.guiThreadQueries, before + 1); // real lines are not laid out again
    }

    // A remote picture is not known while the first window is laid out; once it arrives its chunks
    // are laid out again at its real size, in the window and beyond it.
    void remoteImagesGetTheirSizeWhenTheyArrive()
    {
        LocalHttpServer server;
        server.route(QStringLiteral("/p.png"), {200, "image/png", TestImages::png(300, 200)});
        const QString url = QStringLiteral("image://web/") + server.url(QStringLiteral("/p.png"));
        QList<ContentChunk> chunks = makeChunks(40);
        for (int row : {0, 35}) {
            InlineRun image;
            image.kind = InlineRun::Image;
            image.url = url;
            chunks[row].blocks.first().runs.append(image);
        }
        // A picture whose size the book gives is laid out at once, and shown again when it arrives.
        server.route(QStringLiteral("/sized.png"), {200, "image/png", TestImages::png(10, 10)});
        InlineRun sized;
        sized.kind = InlineRun::Image;
        sized.url = QStringLiteral("image://web/") + server.url(QStringLiteral("/sized.png"));
        sized.width = sized.height = 50;
        chunks[2].blocks.first().runs.append(sized);
        WebImageProvider web(nullptr);
        BookImageResolver resolver(SourceFactory(), &web);
        web.setArrivalListener([&resolver](const QString& arrived) { resolver.webImageArrived(arrived); });
        Fixture f;
        ReadingModel* model = f.model.get();
        model->setImageResolver(&resolver);
        resolver.setResolvedListener([model](const QString& known) {
            QMetaObject::invokeMethod(model, [model, known] { model->imageResolved(known); }, Qt::QueuedConnection);
        });
        FakeReader reader("book.txt", textBook(chunks));
        QSignalSpy changed(model, &ReadingModel::dataChanged);
        model->setReader(&reader);
        // The painter asks for it, and is told when to ask again.
        QVERIFY(resolver.resolveImageAt(sized.url, QSize(50, 50)).isNull());
        QTRY_VERIFY(ranges(changed).contains(Range(2, 2)));
        QVERIFY(!resolver.resolveImageAt(sized.url, QSize(50, 50)).isNull());
        const auto imageSize = [model](int row) {
            const ChunkLayout layout = layoutOf(*model, row);
            return layout.images.isEmpty() ? QSizeF() : layout.images.first().rect.size();
        };
        QTRY_COMPARE(imageSize(0), QSizeF(300, 200));
        QTRY_VERIFY(!model->measuring());
        QTRY_COMPARE(imageSize(35), QSizeF(300, 200));
        web.setArrivalListener({});
        resolver.setResolvedListener({});
        WebImageCache::downloadPool()->waitForDone();
        model->setReader(nullptr);
    }

    void windowWithoutBackgroundRun()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(10)));
        QSignalSpy measuring(f.model.get(), &ReadingModel::measuringChanged);
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        QList<bool> states;
        connect(f.model.get(), &ReadingModel::measuringChanged, this, [&] { states.append(f.model->measuring()); });
        f.model->setReader(&reader);
        QCOMPARE(states, QList<bool>({true, false}));
        QCOMPARE(ranges(changed), QList<Range>({{0, 9}}));
    }

    void backgroundRunCompletesTheBook_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("threads"); // of the global pool; 0 keeps the default
        QTest::addColumn<QList<Range>>("expected");
        QTest::newRow("anchor 100") << 100 << 0 << QList<Range>{{95, 125}, {0, 94}, {126, 399}};
        QTest::newRow("anchor 3") << 3 << 0 << QList<Range>{{0, 28}, {29, 399}};
        QTest::newRow("last chunk") << 399 << 0 << QList<Range>{{394, 399}, {0, 393}};
        // A one-CPU machine: the run's stages get no thread but the run's own.
        QTest::newRow("pool of one thread") << 100 << 1 << QList<Range>{{95, 125}, {0, 94}, {126, 399}};
    }
    void backgroundRunCompletesTheBook()
    {
        QFETCH(int, anchor);
        QFETCH(int, threads);
        QThreadPool* pool = QThreadPool::globalInstance();
        const int defaultThreads = pool->maxThreadCount();
        const auto restore = qScopeGuard([&] { pool->setMaxThreadCount(defaultThreads); });
        if (threads > 0)
            pool->setMaxThreadCount(threads);
        Fixture f;
        f.positions.save(kTextHash, BookPosition{anchor, 0, 0, true, true, false});
        FakeReader reader("book.txt", textBook(makeChunks(400, 100, true)));
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        f.model->setReader(&reader);
        QVERIFY(f.model->measuring());
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->measuring(), 60000);
        QTEST(ranges(changed), "expected");
        const int before = f.resolver.guiThreadQueries;
        for (int row = 0; row < 400; ++row)
            QVERIFY(!layoutOf(*f.model, row).lines.isEmpty());
        QCOMPARE(f.resolver.guiThreadQueries, before); // the run prepared every row
        f.tester.reset();
        f.model.reset(); // teardown waits for nothing that cannot run
        pool->waitForDone();
    }

    // A book holds the lines only of the rows around the reader: the others keep their heights
    // and are laid out again, the same, when they are shown.
    void farRowsKeepTheirHeightsOnly()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(400, 100, true)));
        f.model->setReader(&reader);
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->measuring(), 60000);
        QCOMPARE(f.model->rowsWithLines(), 26); // the window laid out at once, rows 0 to 25
        const ChunkLayoutEngine engine;
        LayoutParams params;
        params.width = 600;
        for (int row = 0; row < 400; ++row) {
            const double height = pixelHeight(*f.model, row);
            const ChunkLayout shown = layoutOf(*f.model, row);
            QVERIFY(!shown.lines.isEmpty());
            QCOMPARE(shown.height, height);
            QVERIFY(shown == engine.layoutPreparedChunk(engine.prepareChunk(reader.chunks().at(row), 16, &f.resolver), params));
            QVERIFY(f.model->rowsWithLines() <= ReadingModel::kRowsWithLines);
        }
        QVERIFY(f.model->rowsWithLines() > ReadingModel::kRowsWithLines / 2);
        // Row 0 lost its lines on the way down and gets them back.
        QCOMPARE(layoutOf(*f.model, 0).lines.isEmpty(), false);
    }

    // A book too large to keep every prepared chunk keeps those of the rows around the reader, and
    // lays the others out the same, prepared anew, when the width changes and when they are shown.
    void largeBookKeepsPreparedChunksNearTheReader_data()
    {
        QTest::addColumn<qint64>("weight"); // of each of 400 chunks
        QTest::addColumn<bool>("keepsAll");
        QTest::newRow("ordinary book") << qint64(100) << true;
        QTest::newRow("large book") << PreparedRetention::kKeepAllWeight / 100 << false;
    }
    void largeBookKeepsPreparedChunksNearTheReader()
    {
        QFETCH(qint64, weight);
        QFETCH(bool, keepsAll);
        QList<ContentChunk> chunks = makeChunks(400);
        for (ContentChunk& chunk : chunks)
            chunk.weight = weight;
        Fixture f;
        FakeReader reader("book.txt", textBook(chunks));
        f.model->setReader(&reader);
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->measuring(), 60000);
        QCOMPARE(f.model->preparedRows() == 400, keepsAll);
        QVERIFY(f.model->preparedRows() >= 26); // the window laid out at once, rows 0 to 25

        const ChunkLayoutEngine engine;
        LayoutParams params;
        params.width = 300;
        const auto fresh = [&](int row) {
            return engine.layoutPreparedChunk(engine.prepareChunk(reader.chunks().at(row), 16, &f.resolver), params);
        };
        f.model->updateLayoutMetrics(300, 16, 1.0);
        QTRY_COMPARE_WITH_TIMEOUT(pixelHeight(*f.model, 399), fresh(399).height, 60000);
        for (int row = 0; row < 400; ++row) {
            QCOMPARE(pixelHeight(*f.model, row), fresh(row).height);
            QVERIFY(layoutOf(*f.model, row) == fresh(row));
            QVERIFY(keepsAll || f.model->preparedRows() <= ReadingModel::kRowsWithLines);
        }
        QCOMPARE(f.model->preparedRows() == 400, keepsAll);
    }

    void supersededRunIsNeverInstalled()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(400, 100, true)));
        f.positions.save(kTextHash, BookPosition{100, 0, 0, true, true, false});
        f.resolver.closeGate();
        f.model->setReader(&reader);
        QTRY_VERIFY(f.resolver.poolQueries > 0); // the first run is under way
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        f.model->startLayoutMeasurement(300, 0);
        f.resolver.release();
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->measuring(), 60000);
        QCOMPARE(ranges(changed), QList<Range>({{295, 325}, {0, 294}, {326, 399}}));
    }

    // A resize right after opening: the relayout must finish what the measurement run had not.
    void resizeDuringMeasurement()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(120, 100, true)));
        f.resolver.closeGate();
        f.model->setReader(&reader);
        QTRY_VERIFY(f.resolver.poolQueries > 0);
        f.model->updateLayoutMetrics(400, 16, 1.0);
        f.model->updateLayoutMetrics(350, 16, 1.2);
        QVERIFY(f.model->measuring());
        f.resolver.release();
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->measuring(), 60000);
        const int before = f.resolver.guiThreadQueries;
        for (int row = 0; row < 120; ++row) {
            const ChunkLayout layout = layoutOf(*f.model, row);
            QVERIFY(!layout.lines.isEmpty());
            QCOMPARE(layout.width, 350.0);
        }
        QCOMPARE(f.resolver.guiThreadQueries, before);
    }

    void destroyedMidRun()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(400, 100, true)));
        f.resolver.closeGate();
        f.model->setReader(&reader);
        QTRY_VERIFY(f.resolver.poolQueries > 0);
        f.model->updateLayoutMetrics(500, 16, 1.0);
        f.model->runRemainingLayout(); // a second run in flight as well
        f.resolver.release();
        f.tester.reset();
        f.model.reset(); // waits for both runs; their results are dropped
        QCoreApplication::processEvents();
    }

    // Teardown cancels the run before it drains the pool: the threads finish the chunks they are
    // on and skip the rest of the book.
    void cancelledRunStopsAfterTheRunningChunks()
    {
        Fixture f;
        FakeReader reader("book.txt", textBook(makeChunks(400, 100, true)));
        f.resolver.closeGate();
        f.model->setReader(&reader);
        QTRY_VERIFY(f.resolver.poolQueries > 0);
        f.model->cancelBackgroundWork();
        const int atCancel = f.resolver.poolQueries;
        f.resolver.release();
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY2(f.resolver.poolQueries - atCancel <= QThreadPool::globalInstance()->maxThreadCount(),
                 qPrintable(QStringLiteral("%1 chunks prepared after the cancel").arg(f.resolver.poolQueries - atCancel)));
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0); // nothing of the cancelled run is installed
        QCOMPARE(layoutOf(*f.model, 200).width, 600.0); // laid out on demand as before
    }

    void switchingBooksStopsTheRun()
    {
        Fixture f;
        FakeReader text("book.txt", textBook(makeChunks(200, 100, true)));
        FakeReader comic("comic.cbz", comicBook(makePages(4)));
        f.resolver.closeGate();
        f.model->setReader(&text);
        QTRY_VERIFY(f.resolver.poolQueries > 0);
        QSignalSpy changed(f.model.get(), &ReadingModel::dataChanged);
        f.model->setReader(&comic);
        QVERIFY(!f.model->measuring());
        f.model->updateLayoutMetrics(300, 18, 1.0); // the hidden text view still reports
        f.resolver.release();
        QTRY_VERIFY(f.resolver.poolQueries >= 1);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(f.model->rowCount(), 0);
        QCOMPARE(f.model->totalPages(), 4);
    }

    // ---- page mode ----

    void comicPairs()
    {
        Fixture f;
        FakeReader comic("comic.cbz", comicBook(makePages(5)));
        f.model->setReader(&comic);
        QVERIFY(f.model->isMangaMode());
        QCOMPARE(f.model->rowCount(), 0);
        QCOMPARE(f.model->totalPagePairs(), 5);
        QCOMPARE(f.model->totalPages(), 5);
        QCOMPARE(f.model->currentPage(), 1);
        QSignalSpy pairs(f.model.get(), &ReadingModel::totalPagePairsChanged);
        f.model->setMangaLandscape(true); // shift on by default: (0) (1) (2,3) (4)
        QCOMPARE(pairs.count(), 1);
        QCOMPARE(f.model->totalPages(), 4);
        QCOMPARE(f.model->pagePair(2), QVariantList({2, 3}));
        QCOMPARE(f.model->pagePair(1), QVariantList{QVariant(1)});
        QVERIFY(f.model->pagePair(-1).isEmpty());
        QVERIFY(f.model->pagePair(4).isEmpty());
        QCOMPARE(f.model->pairIndexForChunk(3), 2);
        QCOMPARE(f.model->imageUrlForChunk(4), QStringLiteral("image://cbz/p4.png"));
        QVERIFY(f.model->imageUrlForChunk(5).isEmpty());
        f.model->setScrollInfo(3, 0.5);
        QCOMPARE(f.model->currentPage(), 3);
        QCOMPARE(f.positions.load(kComicHash).chunkIndex, 3);
    }

    void shiftToggle()
    {
        Fixture f;
        f.positions.save(kComicHash, BookPosition{0, 0, 0, false, true, false});
        FakeReader comic("comic.cbz", comicBook(makePages(5)));
        f.model->setReader(&comic);
        f.model->setMangaLandscape(true); // (0) (1,2) (3,4)
        f.model->setScrollInfo(1, 0.25);
        QCOMPARE(f.model->currentPage(), 2);
        QStringList events;
        connect(f.model.get(), &ReadingModel::pageShiftChanged, this, [&] { events << "pageShiftChanged"; });
        connect(f.model.get(), &ReadingModel::pagePairsRebuilt, this, [&](int pair) { events << QStringLiteral("rebuilt:%1").arg(pair); });
        connect(f.model.get(), &ReadingModel::positionSaved, this, [&] { events << "saved"; });
        f.model->setPageShift(true, 1);
        QCOMPARE(events, QStringList({"saved", "pageShiftChanged", "rebuilt:2"}));
        QCOMPARE(f.model->currentPage(), 3);
        QCOMPARE(f.model->pagePair(2), QVariantList({2, 3}));
        const BookPosition stored = f.positions.load(kComicHash);
        QCOMPARE(stored.chunkIndex, 2);
        QCOMPARE(stored.intraOffset, 0.0);
        QVERIFY(stored.pageShift);
        f.model->setPageShift(true, 2);
        QCOMPARE(events.size(), 3);
    }

    void readingDirection()
    {
        Fixture f;
        QSignalSpy direction(f.model.get(), &ReadingModel::mangaRTLChanged);
        QSignalSpy saved(f.model.get(), &ReadingModel::positionSaved);
        f.model->setMangaRTL(false); // no reader: nothing saved, still announced
        QCOMPARE(direction.count(), 1);
        QCOMPARE(saved.count(), 0);

        FakeReader comic("comic.cbz", comicBook(makePages(6)));
        f.positions.save(kComicHash, BookPosition{0, 0, 0, true, false, false});
        f.model->setReader(&comic);
        f.model->setMangaLandscape(true); // (0) (1) (2,3) (4,5)
        f.model->setScrollInfo(3, 0.5);   // pair 2
        f.model->setMangaRTL(true);
        QCOMPARE(f.positions.load(kComicHash).chunkIndex, 2);
        QVERIFY(f.positions.load(kComicHash).mangaRTL);
    }

    void comicRestoreIsQueued()
    {
        Fixture f;
        f.positions.save(kComicHash, BookPosition{9, 0, 0, true, true, false});
        FakeReader comic("comic.cbz", comicBook(makePages(4)));
        QSignalSpy restore(f.model.get(), &ReadingModel::restoreReady);
        f.model->setReader(&comic);
        QCOMPARE(restore.count(), 0);
        QTRY_COMPARE(restore.count(), 1);
        QCOMPARE(restore.at(0), QVariantList({3, 0.0})); // clamped to the last page

        // Superseded before delivery: only the book installed last restores.
        FakeReader text("book.txt", textBook(makeChunks(5)));
        f.model->setReader(&comic);
        f.model->setReader(&text);
        QCOMPARE(restore.count(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(restore.count(), 2);
    }

    // The comic view stays alive beside a text book and keeps reporting to the model.
    void comicControlsLeaveATextBookAlone()
    {
        Fixture f;
        FakeReader text("book.txt", textBook(makeChunks(20, 900)));
        f.model->setReader(&text);
        f.model->setScrollPosition(6, 10, 0.3);
        const int pages = f.model->totalPages();
        QSignalSpy saved(f.model.get(), &ReadingModel::positionSaved);
        f.model->setMangaLandscape(true);
        f.model->setMangaLandscape(false);
        f.model->setMangaRTL(false);
        f.model->setPageShift(false, 0);
        QCOMPARE(f.model->totalPages(), pages);
        QCOMPARE(saved.count(), 0);
        QCOMPARE(f.positions.load(kTextHash).chunkIndex, 6);
        QCOMPARE(f.positions.load(kTextHash).intraOffset, 10.0);
        f.model->setScrollPosition(7, 0, 0.35);
        QVERIFY(f.model->currentPage() > 0);
    }

    void comicThenTextClearsThePairs()
    {
        Fixture f;
        FakeReader comic("comic.cbz", comicBook(makePages(4)));
        FakeReader text("book.txt", textBook(makeChunks(3)));
        f.model->setReader(&comic);
        QSignalSpy pairs(f.model.get(), &ReadingModel::totalPagePairsChanged);
        f.model->setReader(&text);
        QCOMPARE(f.model->totalPagePairs(), 0);
        QCOMPARE(pairs.count(), 1);
        QVERIFY(f.model->imageUrlForChunk(0).isEmpty());
        QCOMPARE(f.model->rowCount(), 3);
    }
};

QTEST_MAIN(TestReadingModel)
#include "tst_readingmodel.moc"
