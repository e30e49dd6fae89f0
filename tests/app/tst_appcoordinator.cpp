#include "AppCoordinator.h"
#include "AppState.h"
#include "Book.h"
#include "BookPositionStore.h"
#include "css/ColourScheme.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "HistoryModel.h"
#include "IFileDialogService.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "TestEpub.h"
#include "UiState.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include <unistd.h>

namespace {

class NoDialogs : public IFileDialogService {
public:
    void open(const QStringList&) override {}
};

// The real back end over a store in a temporary folder and the real table of formats.
struct BackEnd {
    explicit BackEnd(const QString& storePath)
        : settings(storePath, QSettings::IniFormat)
        , state(settings)
        , preferences(state)
        , uiState(state)
        , positions(state)
        , registry(DefaultFormats::table())
        , history(registry)
        , book(dialogs, registry)
        , readingModel(positions)
        , coordinator(book, readingModel, history, uiState, preferences, state, settings)
    {
    }

    QSettings settings;
    AppState state;
    ReadingPreferences preferences;
    UiState uiState;
    BookPositionStore positions;
    FormatRegistry registry;
    HistoryModel history;
    NoDialogs dialogs;
    Book book;
    ReadingModel readingModel;
    AppCoordinator coordinator;
};

} // namespace

class TestAppCoordinator : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        bookA = writeBook(QStringLiteral("a.txt"), 40);
        bookB = writeBook(QStringLiteral("b.txt"), 40);
        backEnd = std::make_unique<BackEnd>(dir->filePath(QStringLiteral("store.ini")));
    }
    void cleanup() { backEnd.reset(); }

    void openingHandsTheBookOn()
    {
        open(bookA);
        QVERIFY(backEnd->readingModel.isTextMode());
        QVERIFY(backEnd->readingModel.rowCount() > 0);
        QCOMPARE(backEnd->uiState.lastFilePath(), bookA);
        QCOMPARE(backEnd->history.filePath(0), bookA);
        QCOMPARE(backEnd->history.progress(0), 0.0);
    }

    void savedPositionsReachTheHistory()
    {
        open(bookA);
        backEnd->readingModel.setScrollPosition(1, 0.0, 0.4);
        QCOMPARE(backEnd->history.progress(0), 0.4);
    }

    void openingAnotherRecordsTheOutgoingBookFirst()
    {
        open(bookA);
        backEnd->readingModel.setScrollPosition(1, 0.0, 0.3);
        QSignalSpy changed(&backEnd->history, &QAbstractItemModel::dataChanged);
        backEnd->book.openFromPath(bookB);
        QVERIFY(changed.count() >= 1); // A recorded at once, before the new book is open
        QCOMPARE(backEnd->uiState.lastFilePath(), QString()); // A was dropped
        QTRY_VERIFY(backEnd->book.hasBook());
        QCOMPARE(backEnd->history.filePath(0), bookB);
        QCOMPARE(backEnd->history.filePath(1), bookA);
        QCOMPARE(backEnd->history.progress(1), 0.3);
        QCOMPARE(backEnd->uiState.lastFilePath(), bookB);
    }

    void reopeningKeepsTheStoredProgress()
    {
        backEnd->history.addOrUpdateBook(bookA, 0.7, QDateTime::currentDateTimeUtc().addDays(-1));
        open(bookA);
        QCOMPARE(backEnd->history.filePath(0), bookA);
        QCOMPARE(backEnd->history.progress(0), 0.7);
    }

    // Books answer their colour-scheme queries with the scheme of the theme's colours: one whose
    // styles asked opens again when a theme change turns the answer; one that did not ask stays as
    // it is. The light palette keeps light text on dark pages, so it answers dark.
    void themeChangesReopenBooksThatAskForTheColourScheme()
    {
        UiState& ui = backEnd->uiState;
        ui.setThemeName(QStringLiteral("dark"));
        QVERIFY(ColourScheme::prefersDark());
        open(writeSchemeBook(QStringLiteral("night.epub")));
        QVERIFY(backEnd->book.reader()->followsColourScheme());
        QSignalSpy reopened(&backEnd->book, &Book::willOpenNewBook);

        ui.setThemeName(QStringLiteral("light"));
        QVERIFY(ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 0);
        ui.setThemeName(QStringLiteral("custom")); // its colours start at the dark values
        QVERIFY(ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 0);
        ui.setCustomThemeColors({{QStringLiteral("readingText"), QStringLiteral("#202020")},
                                 {QStringLiteral("gradientBottom"), QStringLiteral("#f0f0f0")}});
        QVERIFY(!ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 1);
        QTRY_VERIFY(backEnd->book.hasBook());
        ui.setThemeName(QStringLiteral("light"));
        QVERIFY(ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 2);
        QTRY_VERIFY(backEnd->book.hasBook());
        ui.setCustomThemeColors({{QStringLiteral("gradientBottom"), QStringLiteral("#000000")}});
        ui.setThemeName(QStringLiteral("custom")); // only its page given: the dark text on it
        QVERIFY(ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 2);

        open(bookA);
        reopened.clear();
        ui.setThemeName(QStringLiteral("dark"));
        QVERIFY(ColourScheme::prefersDark());
        QCOMPARE(reopened.count(), 0);
        QCOMPARE(backEnd->book.filePath(), bookA);
    }

    void closingRecordsThenForgetsTheLastFile()
    {
        open(bookA);
        backEnd->readingModel.setScrollPosition(2, 0.0, 0.6);
        backEnd->book.close();
        QCOMPARE(backEnd->history.progress(0), 0.6);
        QCOMPARE(backEnd->uiState.lastFilePath(), QString());
        QCOMPARE(backEnd->readingModel.rowCount(), 0);
    }

    void quittingWithABookSavesEverything()
    {
        open(bookA);
        backEnd->readingModel.setScrollPosition(2, 0.0, 0.5);
        backEnd->preferences.setFontSize(21);
        backEnd->uiState.setThemeName(QStringLiteral("light"));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Settings saved to: \".*store\\.ini\"$")));
        quit();

        QSettings stored(dir->filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("ui/lastFilePath")).toString(), bookA);
        QCOMPARE(stored.value(QStringLiteral("ui/themeName")).toString(), QStringLiteral("light"));
        QCOMPARE(stored.value(QStringLiteral("reading/fontSize")).toInt(), 21);
        QCOMPARE(stored.value(QStringLiteral("window/width")).toInt(), 1024);
        QCOMPARE(stored.beginReadArray(QStringLiteral("history")), 1);
        stored.setArrayIndex(0);
        QCOMPARE(stored.value(QStringLiteral("filePath")).toString(), bookA);
        QCOMPARE(stored.value(QStringLiteral("progress")).toDouble(), 0.5);
        stored.endArray();
        const QStringList groups = stored.childGroups();
        QVERIFY(std::any_of(groups.cbegin(), groups.cend(), [](const QString& g) { return g.startsWith(QStringLiteral("saved-progress")); }));
    }

    // Quitting without a book forgets the last file once a book was closed or failed to open; quitting
    // before the window began to reopen the last book (a stop request during start-up) keeps it.
    void quittingWithoutABook_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("keepsTheBook");
        QTest::newRow("before the reopening began") << QString() << true;
        QTest::newRow("after a close") << QStringLiteral("close") << false;
        QTest::newRow("after a failed opening") << QStringLiteral("fail") << false;
        QTest::newRow("after an opening given up") << QStringLiteral("give up") << false;
    }
    void quittingWithoutABook()
    {
        QFETCH(QString, before);
        QFETCH(bool, keepsTheBook);
        backEnd->uiState.setLastFilePath(bookA);
        if (before == QLatin1String("close")) {
            open(bookA);
            backEnd->book.close();
        } else if (before == QLatin1String("fail")) {
            backEnd->book.openFromPath(dir->filePath(QStringLiteral("missing.txt")));
            QTRY_VERIFY(!backEnd->book.loading());
        } else if (before == QLatin1String("give up")) {
            backEnd->book.openFromPath(bookA);
            backEnd->book.close();
        }
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Settings saved to: ")));
        quit();
        QSettings stored(dir->filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("ui/lastFilePath"), QStringLiteral("unset")).toString(),
                 keepsTheBook ? bookA : QString());
    }

    // The last place the view reported before quitting is the one the history and the store hold.
    void quittingRecordsTheLastReportedPlace()
    {
        open(bookA);
        backEnd->readingModel.setScrollPosition(1, 0.0, 0.2);
        backEnd->readingModel.setScrollPosition(3, 12.0, 0.75);
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Settings saved to: ")));
        quit();
        QCOMPARE(backEnd->history.progress(0), 0.75);
        QSettings stored(dir->filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        QCOMPARE(stored.beginReadArray(QStringLiteral("history")), 1);
        stored.setArrayIndex(0);
        QCOMPARE(stored.value(QStringLiteral("progress")).toDouble(), 0.75);
        stored.endArray();
    }

    // Quitting while the last book is still opening (a slow start) keeps it for the next start, and
    // so does quitting while another book replaces the open one.
    void quittingWhileABookOpensKeepsIt_data()
    {
        QTest::addColumn<bool>("fromAnOpenBook");
        QTest::newRow("slow start") << false;
        QTest::newRow("replacing an open book") << true;
    }
    void quittingWhileABookOpensKeepsIt()
    {
        QFETCH(bool, fromAnOpenBook);
        if (fromAnOpenBook)
            open(bookA);
        backEnd->uiState.setLastFilePath(bookB);
        backEnd->book.openFromPath(bookB);
        QVERIFY(backEnd->book.loading());
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Settings saved to: ")));
        quit();
        QSettings stored(dir->filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("ui/lastFilePath")).toString(), bookB);
        QTRY_VERIFY(!backEnd->book.loading()); // the opening ends before the back end goes
    }

    // A store that cannot be written is reported as such, never as saved, and keeps what it held.
    void failedSaveIsReported_data()
    {
        QTest::addColumn<bool>("folderIsAFile");
        QTest::addColumn<QString>("why");
        QTest::newRow("folder is a file") << true << QStringLiteral("its folder is not a folder");
        QTest::newRow("read-only folder") << false << QStringLiteral("its folder is read-only");
    }
    void failedSaveIsReported()
    {
        QFETCH(bool, folderIsAFile);
        QFETCH(QString, why);
        const QString folder = dir->filePath(QStringLiteral("store"));
        const QString storePath = folder + QStringLiteral("/store.ini");
        if (folderIsAFile) {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else {
            if (geteuid() == 0)
                QSKIP("the super-user writes into read-only folders");
            QVERIFY(QDir().mkpath(folder));
            QFile store(storePath);
            QVERIFY(store.open(QIODevice::WriteOnly));
            store.write("version=4\n[ui]\nlastFilePath=/kept.txt\n");
            store.close();
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const auto writable = qScopeGuard([&] { QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::WriteOwner); });
        backEnd = std::make_unique<BackEnd>(storePath);
        open(bookA);
        const QStringList messages = messagesOf([this] { quit(); });
        QVERIFY2(messages.contains(QStringLiteral("Settings could not be written to %1: %2").arg(storePath, why)),
                 qPrintable(messages.join(u'\n')));
        QVERIFY(!messages.join(u'\n').contains(QStringLiteral("Settings saved to:")));
        backEnd.reset();
        if (!folderIsAFile)
            QCOMPARE(QSettings(storePath, QSettings::IniFormat).value(QStringLiteral("ui/lastFilePath")).toString(),
                     QStringLiteral("/kept.txt"));
    }

private:
    // A one-chapter EPUB whose style sheet has a dark-scheme rule.
    QString writeSchemeBook(const QString& name)
    {
        const QString path = dir->filePath(name);
        return TestEpub::write(path, TestEpub::colourSchemeBook("Night", "Text.")) ? path : QString();
    }

    QString writeBook(const QString& name, int paragraphs)
    {
        const QString path = dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        for (int i = 0; i < paragraphs; ++i)
            file.write(QByteArray("Paragraph ") + QByteArray::number(i) + " of a tiny book, written by the test so that it has a few chunks of text to lay out.\n\n" + QByteArray(600, 'x') + "\n\n");
        return path;
    }

    void open(const QString& path)
    {
        backEnd->book.openFromPath(path);
        QTRY_VERIFY(backEnd->book.hasBook() || !backEnd->book.errorMessage().isEmpty());
        QVERIFY2(backEnd->book.hasBook(), qPrintable(backEnd->book.errorMessage()));
    }

    // The messages logged while `action` runs.
    static QStringList messagesOf(const std::function<void()>& action)
    {
        static QStringList* seen = nullptr;
        QStringList messages;
        seen = &messages;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { seen->append(message); });
        action();
        qInstallMessageHandler(previous);
        seen = nullptr;
        return messages;
    }

    // What QCoreApplication::aboutToQuit triggers.
    void quit() { QVERIFY(QMetaObject::invokeMethod(&backEnd->coordinator, "onAboutToQuit")); }

    std::unique_ptr<QTemporaryDir> dir;
    QString bookA;
    QString bookB;
    std::unique_ptr<BackEnd> backEnd;
};

QTEST_MAIN(TestAppCoordinator)
#include "tst_appcoordinator.moc"
