#include "AppState.h"
#include "FakeReader.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "HistoryModel.h"
#include "LocalHttpServer.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "TestImages.h"
#include "TestZip.h"

#include <memory>

namespace {

// Every change signal of the model, to check that "nothing happens" really means nothing.
struct ModelSignals {
    explicit ModelSignals(HistoryModel& model)
        : inserted(&model, &QAbstractItemModel::rowsInserted)
        , removed(&model, &QAbstractItemModel::rowsRemoved)
        , moved(&model, &QAbstractItemModel::rowsMoved)
        , changed(&model, &QAbstractItemModel::dataChanged)
        , reset(&model, &QAbstractItemModel::modelReset)
        , count(&model, &HistoryModel::countChanged)
    {
    }
    int total() const
    {
        return int(inserted.count() + removed.count() + moved.count() + changed.count() + reset.count() + count.count());
    }
    QSignalSpy inserted, removed, moved, changed, reset, count;
};

QDateTime at(int hour, int minute = 0)
{
    return QDateTime(QDate(2024, 5, 1), QTime(hour, minute), Qt::UTC);
}

} // namespace

class TestHistoryModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        settings = std::make_unique<QSettings>(dir->filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        state = std::make_unique<AppState>(*settings);
        registry = std::make_unique<FormatRegistry>(DefaultFormats::table());
        model = std::make_unique<HistoryModel>(*registry);
        tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup()
    {
        tester.reset();
        model.reset();
    }

    void loadKeepsTheFirstOfAPathAndSortsNewestFirst()
    {
        state->saveArray(QStringLiteral("history"), {
            {{"filePath", "/a.txt"}, {"progress", 0.5}, {"lastOpened", at(10).toString(Qt::ISODate)}},
            {{"filePath", "/b.txt"}, {"progress", 1.7}, {"lastOpened", at(12).toString(Qt::ISODate)}},
            {{"filePath", "/a.txt"}, {"progress", 0.9}, {"lastOpened", at(11).toString(Qt::ISODate)}},
            {{"filePath", ""}, {"lastOpened", at(13).toString(Qt::ISODate)}},
            {{"filePath", "/c.txt"}, {"lastOpened", "not a date"}},
            {{"filePath", "/c.txt"}, {"progress", -0.2}, {"lastOpened", "2024-04-30"}},
            {{"filePath", "/d.txt"}, {"progress", 0.1}, {"lastOpened", at(10).toString(Qt::ISODate)}},
            {{"filePath", "/e.txt"}, {"progress", "nan"}, {"lastOpened", at(9).toString(Qt::ISODate)}},
        });
        QSignalSpy count(model.get(), &HistoryModel::countChanged);
        model->load(*state);
        QCOMPARE(count.count(), 1);
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->filePath(0), QStringLiteral("/b.txt"));
        QCOMPARE(model->progress(0), 1.0);
        QCOMPARE(model->filePath(1), QStringLiteral("/a.txt")); // equal times keep the stored order
        QCOMPARE(model->progress(1), 0.5);
        QCOMPARE(model->filePath(2), QStringLiteral("/d.txt"));
        QCOMPARE(model->filePath(3), QStringLiteral("/e.txt"));
        QCOMPARE(model->progress(3), 0.0); // not a finite number
        QCOMPARE(model->filePath(4), QStringLiteral("/c.txt")); // a bad date does not count as seen
        QCOMPARE(model->lastOpened(4), QDate(2024, 4, 30).startOfDay());
        QCOMPARE(model->progress(4), 0.0);
    }

    void saveAndLoadAgain()
    {
        model->addOrUpdateBook(QStringLiteral("/x.cbz"), 0.25, at(9));
        model->addOrUpdateBook(QStringLiteral("/y.txt"), 0.75);
        model->save(*state);
        HistoryModel again(*registry);
        again.load(*state);
        QCOMPARE(again.rowCount(), 2);
        QCOMPARE(again.filePath(0), QStringLiteral("/y.txt"));
        QCOMPARE(again.progress(0), 0.75);
        QCOMPARE(again.filePath(1), QStringLiteral("/x.cbz"));
        QCOMPARE(again.lastOpened(1), at(9));
        QCOMPARE(again.index(1).data(HistoryModel::FormatRole).toString(), QStringLiteral("CBZ"));
    }

    // Two windows on one store, each quitting with its own books: neither loses the other's, and of
    // a book both opened the later opening wins.
    void twoInstancesOnOneStoreKeepBothBooks()
    {
        model->load(*state);
        QSettings otherSettings(settings->fileName(), QSettings::IniFormat);
        AppState otherState(otherSettings);
        HistoryModel other(*registry);
        other.load(otherState);
        model->addOrUpdateBook(QStringLiteral("/a.txt"), 0.25, at(9));
        model->addOrUpdateBook(QStringLiteral("/both.txt"), 0.1, at(8));
        other.addOrUpdateBook(QStringLiteral("/b.txt"), 0.5, at(10));
        other.addOrUpdateBook(QStringLiteral("/both.txt"), 0.9, at(11));
        // A quits, then B; then A once more, as if it had quit last.
        model->save(*state);
        settings->sync();
        other.save(otherState);
        otherSettings.sync();
        model->save(*state);
        QCOMPARE(reloaded(), (QStringList{row("/both.txt", 0.9, at(11)), row("/b.txt", 0.5, at(10)), row("/a.txt", 0.25, at(9))}));
        QCOMPARE(model->progress(1), 0.1); // the model's own rows are not changed by a save
    }

    // What the user removes stays removed, though the store still holds it when saving.
    void removedBooksStayRemoved()
    {
        state->saveArray(QStringLiteral("history"), {
            {{"filePath", "/a.txt"}, {"progress", 0.5}, {"lastOpened", at(10).toString(Qt::ISODate)}},
            {{"filePath", "/b.txt"}, {"progress", 0.5}, {"lastOpened", at(9).toString(Qt::ISODate)}},
            {{"filePath", "/c.txt"}, {"progress", 0.5}, {"lastOpened", at(8).toString(Qt::ISODate)}},
        });
        model->load(*state);
        model->removeBook(QStringLiteral("/a.txt"));
        model->save(*state);
        QCOMPARE(reloaded(), (QStringList{row("/b.txt", 0.5, at(9)), row("/c.txt", 0.5, at(8))}));
        model->clear();
        model->addOrUpdateBook(QStringLiteral("/c.txt"), 0.75, at(12)); // opened again after the clear
        model->save(*state);
        QCOMPARE(reloaded(), QStringList{row("/c.txt", 0.75, at(12))});
    }

    // A store cut off inside the history has lost the array's size line: its entries are read, and
    // saved back whole.
    void storeWithoutSizeKeepsItsEntries()
    {
        const QString path = dir->filePath(QStringLiteral("cut.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("version=4\n[history]\n1\\filePath=/a.txt\n1\\lastOpened=2024-05-01T10:00:00Z\n1\\progress=0.5\n"
                   "2\\filePath=/b.txt\n2\\lastOpened=2024-05-01T09:00:00Z\n2\\pro");
        file.close();
        QSettings cut(path, QSettings::IniFormat);
        AppState cutState(cut);
        HistoryModel history(*registry);
        history.load(cutState);
        QCOMPARE(history.rowCount(), 2);
        history.addOrUpdateBook(QStringLiteral("/c.txt"), 0.0, at(11));
        history.save(cutState);
        cut.sync();
        QSettings saved(path, QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("history/size")).toInt(), 3);
        HistoryModel again(*registry);
        again.load(cutState);
        QCOMPARE(again.filePath(2), QStringLiteral("/b.txt"));
        QCOMPARE(again.progress(1), 0.5);
    }

    void updatesMoveRowsNewestFirst()
    {
        model->addOrUpdateBook(QStringLiteral("X"), 0.1, at(12));
        model->addOrUpdateBook(QStringLiteral("Y"), 0.2, at(12));
        model->addOrUpdateBook(QStringLiteral("Z"), 0.3, at(9));
        QCOMPARE(model->filePath(1), QStringLiteral("Y")); // after the equal X
        ModelSignals signalsSeen(*model);
        model->addOrUpdateBook(QStringLiteral("Z"), 0.4, at(12));
        QCOMPARE(model->filePath(2), QStringLiteral("Z"));
        QCOMPARE(model->progress(2), 0.4);
        QCOMPARE(signalsSeen.moved.count(), 0);
        QCOMPARE(signalsSeen.count.count(), 0);
        model->addOrUpdateBook(QStringLiteral("X"), 0.5, at(13));
        QCOMPARE(model->filePath(0), QStringLiteral("X"));
        model->addOrUpdateBook(QStringLiteral("Z"), 0.6, at(14));
        QCOMPARE(model->filePath(0), QStringLiteral("Z"));
        QCOMPARE(model->filePath(1), QStringLiteral("X"));
        QCOMPARE(model->filePath(2), QStringLiteral("Y"));
        QCOMPARE(signalsSeen.moved.count(), 1);
        const QList<QVariant> last = signalsSeen.changed.last();
        QCOMPARE(last.at(0).toModelIndex().row(), 0);
        QCOMPARE(last.at(2).value<QList<int>>(), (QList<int>{HistoryModel::ProgressRole, HistoryModel::LastOpenedRole}));
        QCOMPARE(signalsSeen.count.count(), 0);
    }

    void recordingNowWithANegativeProgress()
    {
        model->addOrUpdateBook(QStringLiteral("/old.txt"), 0.6, at(8));
        model->addOrUpdateBook(QStringLiteral("/new.txt"), -1);
        QCOMPARE(model->filePath(0), QStringLiteral("/new.txt"));
        QCOMPARE(model->progress(0), 0.0);
        QCOMPARE(model->lastOpened(0).timeSpec(), Qt::UTC);
        const QString stamp = model->index(0).data(HistoryModel::LastOpenedRole).toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")).match(stamp).hasMatch(), qPrintable(stamp));
        QTest::qWait(5); // a later stamp: an equal one would go after /new.txt
        model->addOrUpdateBook(QStringLiteral("/old.txt"), -1);
        QCOMPARE(model->filePath(0), QStringLiteral("/old.txt"));
        QCOMPARE(model->progress(0), 0.6);
    }

    void changesThatChangeNothing()
    {
        model->addOrUpdateBook(QStringLiteral("/a.txt"), 0.5, at(8));
        ModelSignals signalsSeen(*model);
        model->addOrUpdateBook(QString(), 0.5, at(9));
        model->addOrUpdateBook(QStringLiteral("/b.txt"), 0.5, QDateTime());
        model->addOrUpdateBook(QStringLiteral("/b.txt"), 0.5, QStringLiteral("yesterday"));
        model->removeBook(QStringLiteral("/A.txt")); // paths compare exactly
        QCOMPARE(signalsSeen.total(), 0);
        model->removeBook(QStringLiteral("/a.txt"));
        QCOMPARE(signalsSeen.count.count(), 1);
        model->clear();
        QCOMPARE(signalsSeen.count.count(), 1);
        QCOMPARE(signalsSeen.total(), 2);
    }

    void clearRemovesEveryRow()
    {
        model->addOrUpdateBook(QStringLiteral("/a.txt"), 0.5, at(8));
        model->addOrUpdateBook(QStringLiteral("/b.txt"), 0.5, at(9));
        QSignalSpy count(model.get(), &HistoryModel::countChanged);
        model->clear();
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(count.count(), 1);
    }

    void rolesAndOutOfRange()
    {
        model->addOrUpdateBook(QStringLiteral("/a.txt"), 0.5, at(8));
        const QHash<int, QByteArray> names = model->roleNames();
        QCOMPARE(names.value(257), QByteArray("filePath"));
        QCOMPARE(names.value(263), QByteArray("coverImageUrl"));
        QCOMPARE(names.size(), 7);
        QCOMPARE(model->index(0).data(HistoryModel::ProgressRole).toDouble(), 0.5);
        QCOMPARE(model->index(0).data(HistoryModel::LastOpenedRole).toString(), QStringLiteral("2024-05-01T08:00:00Z"));
        QVERIFY(!model->data(model->index(0).sibling(1, 0), HistoryModel::FilePathRole).isValid());
        QVERIFY(!model->index(0).data(Qt::DisplayRole).isValid());
        QCOMPARE(model->filePath(5), QString());
        QCOMPARE(model->progress(-1), 0.0);
        QVERIFY(!model->lastOpened(1).isValid());
    }

    void setDataRoles()
    {
        model->addOrUpdateBook(QStringLiteral("/a.txt"), 0.5, at(8));
        model->addOrUpdateBook(QStringLiteral("/b.txt"), 0.5, at(9));
        const QModelIndex a = model->index(1);
        QVERIFY(model->setData(a, 1.5, HistoryModel::ProgressRole));
        QCOMPARE(model->progress(1), 1.5); // no clamp
        QVERIFY(model->setData(a, at(10).toString(Qt::ISODate), HistoryModel::LastOpenedRole));
        QCOMPARE(model->filePath(0), QStringLiteral("/a.txt"));
        QVERIFY(model->setData(model->index(0), QVariant(at(7)), HistoryModel::LastOpenedRole));
        QCOMPARE(model->filePath(1), QStringLiteral("/a.txt"));
        QVERIFY(!model->setData(model->index(0), QStringLiteral("never"), HistoryModel::LastOpenedRole));
        QVERIFY(!model->setData(model->index(0), QStringLiteral("T"), HistoryModel::TitleRole));
        QVERIFY(!model->setData(QModelIndex(), 0.1, HistoryModel::ProgressRole));
    }

    void formatLabels_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("label");
        QTest::newRow("fb2.zip") << QStringLiteral("/books/Tale.FB2.ZIP") << QStringLiteral("FB2");
        QTest::newRow("fbz") << QStringLiteral("/books/tale.fbz") << QStringLiteral("FBZ");
        QTest::newRow("fb2") << QStringLiteral("/books/tale.Fb2") << QStringLiteral("FB2");
        QTest::newRow("cbz") << QStringLiteral("/books/comic.cbz") << QStringLiteral("CBZ");
        QTest::newRow("no dot") << QStringLiteral("/books/readme") << QStringLiteral("/BOOKS/README");
        QTest::newRow("dot at the end") << QStringLiteral("/books/odd.") << QString();
        QTest::newRow("folder") << QDir::tempPath() << QStringLiteral("Folder");
    }
    void formatLabels()
    {
        QFETCH(QString, path);
        QFETCH(QString, label);
        QCOMPARE(HistoryModel::formatLabelForPath(path), label);
    }

    void metadataArrivesFromRealBooks()
    {
        const QString comic = dir->filePath(QStringLiteral("Night Sky.cbz"));
        QVERIFY(TestZip::write(comic, {{QStringLiteral("001.png"), TestImages::png(6, 9)}, {QStringLiteral("002.png"), TestImages::png(6, 9)}}));
        const QString text = dir->filePath(QStringLiteral("Lamps.txt"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("The lamplighter walked the street.\n");
        file.close();

        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        model->addOrUpdateBook(text, 0.2, at(8));
        model->addOrUpdateBook(comic, 0.1, at(9));
        model->addOrUpdateBook(dir->filePath(QStringLiteral("gone.epub")), 0.1, at(7));
        QCOMPARE(model->index(0).data(HistoryModel::TitleRole).toString(), QString()); // not yet
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(changed.first().at(2).value<QList<int>>(),
                 (QList<int>{HistoryModel::TitleRole, HistoryModel::AuthorRole, HistoryModel::CoverImageUrlRole}));
        QCOMPARE(model->index(0).data(HistoryModel::TitleRole).toString(), QStringLiteral("Night Sky"));
        QVERIFY(model->index(0).data(HistoryModel::CoverImageUrlRole).toString().startsWith(QStringLiteral("image://cbz/001.png?src=")));
        QCOMPARE(model->index(1).data(HistoryModel::TitleRole).toString(), QStringLiteral("Lamps"));
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(10);
        QCOMPARE(model->index(2).data(HistoryModel::TitleRole).toString(), QString()); // the file is gone
        QCOMPARE(changed.count(), 2);
    }

    void metadataForAVanishedRowOrModel()
    {
        const QString text = dir->filePath(QStringLiteral("Lamps.txt"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Text.\n");
        file.close();
        model->addOrUpdateBook(text, 0.2, at(8));
        model->removeBook(text);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);

        for (int i = 0; i < 50; ++i)
            model->addOrUpdateBook(text + QString::number(i), 0.2, at(8)); // files that are not there
        tester.reset();
        model.reset(); // waits for what runs, drops the rest
        QCoreApplication::processEvents();
    }

    // Teardown cancels the reads before it drains the pool: only those already running finish.
    void cancelledReadsNeverStart()
    {
        auto library = std::make_shared<FakeLibrary>();
        FormatRegistry fakes(QList<FormatSpec>{fakeRow(QStringLiteral("fake"), false, library)});
        HistoryModel history(fakes);
        library->closeGate();
        const int threads = QThreadPool::globalInstance()->maxThreadCount();
        const int books = threads + 40;
        for (int i = 0; i < books; ++i)
            history.addOrUpdateBook(QStringLiteral("/books/%1.fake").arg(i), 0, at(8));
        QTRY_COMPARE(library->opensStarted.load(), threads); // the pool is full, the rest queued
        history.cancelMetadataReads();
        library->release();
        QThreadPool::globalInstance()->waitForDone();
        QCOMPARE(library->opensStarted.load(), threads);
        QCOMPARE(history.rowCount(), books);
    }

private:
    static QString row(const QString& path, double progress, const QDateTime& lastOpened)
    {
        return QStringLiteral("%1 %2 %3").arg(path).arg(progress).arg(lastOpened.toString(Qt::ISODate));
    }
    // The rows a new start reads from the store.
    QStringList reloaded()
    {
        settings->sync();
        HistoryModel next(*registry);
        next.load(*state);
        QStringList rows;
        for (int i = 0; i < next.rowCount(); ++i)
            rows.append(row(next.filePath(i), next.progress(i), next.lastOpened(i)));
        return rows;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FormatRegistry> registry;
    std::unique_ptr<HistoryModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

QTEST_MAIN(TestHistoryModel)
#include "tst_historymodel.moc"
