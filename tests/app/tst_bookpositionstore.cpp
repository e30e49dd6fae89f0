#include "AppState.h"
#include "BookPositionStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(BookPosition)

namespace {

const QByteArray kKey = QByteArray::fromHex("00abff");
const QString kGroup = QStringLiteral("saved-progress/00abff");

void comparePositions(const BookPosition& actual, const BookPosition& expected)
{
    QCOMPARE(actual.chunkIndex, expected.chunkIndex);
    QCOMPARE(actual.intraOffset, expected.intraOffset);
    QCOMPARE(actual.progress, expected.progress);
    QCOMPARE(actual.pageShift, expected.pageShift);
    QCOMPARE(actual.mangaRTL, expected.mangaRTL);
    QCOMPARE(actual.useBookColours, expected.useBookColours);
}

} // namespace

class TestBookPositionStore : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_counter = 0;
    QString freshPath() { return m_dir.filePath(QStringLiteral("store%1.ini").arg(++m_counter)); }

private Q_SLOTS:
    void sectionKey()
    {
        QCOMPARE(BookPositionStore::sectionKey(kKey), QStringLiteral("saved-progress/00abff"));
        QCOMPARE(BookPositionStore::sectionKey(QByteArray(16, '\x01')).size(), 47);
    }

    // Groups as the file holds them (every value text), including damaged and hand-edited ones.
    void load_data()
    {
        QTest::addColumn<QVariantMap>("group");
        QTest::addColumn<BookPosition>("expected");
        QTest::newRow("never saved") << QVariantMap{} << BookPosition{};
        QTest::newRow("only chunkIndex") << QVariantMap{{"chunkIndex", "12"}} << BookPosition{12, 0.0, 0.0, true, true, false};
        QTest::newRow("all as text") << QVariantMap{{"chunkIndex", "7"}, {"intraOffset", "35.5"}, {"progress", "0.42"},
                                                    {"pageShift", "false"}, {"mangaRTL", "false"}, {"useBookColours", "true"}}
                                     << BookPosition{7, 35.5, 0.42, false, false, true};
        QTest::newRow("garbage values") << QVariantMap{{"chunkIndex", "seven"}, {"intraOffset", "x"}, {"progress", "?"},
                                                       {"pageShift", "maybe"}, {"mangaRTL", ""}, {"useBookColours", "yes please"}}
                                        << BookPosition{};
        QTest::newRow("out of range") << QVariantMap{{"chunkIndex", "-4"}, {"intraOffset", "inf"}, {"progress", "1.5"}}
                                      << BookPosition{};
        QTest::newRow("not a number") << QVariantMap{{"intraOffset", "nan"}, {"progress", "nan"}} << BookPosition{};
        QTest::newRow("hand-written flags") << QVariantMap{{"pageShift", "0"}, {"mangaRTL", " FALSE "}, {"useBookColours", "1"}}
                                            << BookPosition{0, 0.0, 0.0, false, false, true};
    }
    void load()
    {
        QFETCH(QVariantMap, group);
        QFETCH(BookPosition, expected);
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        state.saveSection(kGroup, group);
        BookPositionStore store(state);
        comparePositions(store.load(kKey), expected);
    }

    // Through a real INI file, where bools and doubles come back as text.
    void roundTripThroughTheFile()
    {
        const QString path = freshPath();
        const BookPosition saved{7, 35.5, 0.42, false, false, true};
        {
            QSettings settings(path, QSettings::IniFormat);
            AppState state(settings);
            BookPositionStore(state).save(kKey, saved);
        }
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        BookPositionStore store(state);
        comparePositions(store.load(kKey), saved);
        QCOMPARE(state.loadSection(kGroup).size(), 6);
    }

    void setUseBookColoursCreatesTheGroup()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        BookPositionStore store(state);
        store.setUseBookColours(kKey, true);
        comparePositions(store.load(kKey), BookPosition{0, 0.0, 0.0, true, true, true});
        store.save(kKey, BookPosition{3, 1.0, 0.5, false, true, true});
        store.setUseBookColours(kKey, false);
        comparePositions(store.load(kKey), BookPosition{3, 1.0, 0.5, false, true, false});
    }

    void emptyKeyNeverTouchesTheStore()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        state.saveSection("saved-progress", {{"chunkIndex", 9}});
        BookPositionStore store(state);
        comparePositions(store.load(QByteArray()), BookPosition{});
        const QStringList before = settings.allKeys();
        store.save(QByteArray(), BookPosition{5, 1.0, 0.5, false, false, true});
        store.setUseBookColours(QByteArray(), true);
        QCOMPARE(settings.allKeys(), before);
        QCOMPARE(settings.value("saved-progress/chunkIndex").toInt(), 9);
    }
};

QTEST_GUILESS_MAIN(TestBookPositionStore)
#include "tst_bookpositionstore.moc"
