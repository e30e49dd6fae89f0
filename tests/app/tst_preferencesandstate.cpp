#include "AppState.h"
#include "ReadingPreferences.h"
#include "UiState.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestPreferencesAndState : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_counter = 0;
    QString freshPath() { return m_dir.filePath(QStringLiteral("store%1.ini").arg(++m_counter)); }

private Q_SLOTS:
    void preferenceLimitsAtLoad_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<double>("lineSpacing");
        QTest::addColumn<int>("horizontalMargin");
        QTest::addColumn<int>("verticalMargin");
        QTest::newRow("nothing stored") << QVariantMap{} << 16 << 1.0 << 32 << 8;
        QTest::newRow("too small") << QVariantMap{{"fontSize", "4"}, {"lineSpacing", "0"}, {"horizontalMargin", "-5"}, {"verticalMargin", "-1"}}
                                   << 8 << 0.1 << 0 << 0;
        QTest::newRow("too large") << QVariantMap{{"fontSize", "100"}, {"lineSpacing", "1.5"}} << 72 << 1.5 << 32 << 8;
        QTest::newRow("not numbers") << QVariantMap{{"fontSize", "big"}, {"lineSpacing", "nan"}} << 8 << 0.1 << 32 << 8;
        QTest::newRow("negative and infinite spacing") << QVariantMap{{"lineSpacing", "-1"}} << 16 << 0.1 << 32 << 8;
        QTest::newRow("infinite spacing") << QVariantMap{{"lineSpacing", "inf"}} << 16 << 0.1 << 32 << 8;
        QTest::newRow("past every bound") << QVariantMap{{"fontSize", "2147483647"}, {"lineSpacing", "1e308"},
                                                         {"horizontalMargin", "99999"}, {"verticalMargin", "4000000"}}
                                          << 72 << 3.0 << 128 << 128;
        QTest::newRow("at the bounds") << QVariantMap{{"fontSize", "8"}, {"lineSpacing", "3"}, {"horizontalMargin", "128"},
                                                      {"verticalMargin", "0"}}
                                       << 8 << 3.0 << 128 << 0;
        QTest::newRow("below every bound") << QVariantMap{{"fontSize", "-2147483648"}, {"lineSpacing", "-1e308"},
                                                          {"horizontalMargin", "-99999"}, {"verticalMargin", "-1"}}
                                           << 8 << 0.1 << 0 << 0;
        QTest::newRow("numbers past int") << QVariantMap{{"fontSize", "99999999999"}, {"verticalMargin", "-99999999999"}}
                                          << 72 << 1.0 << 32 << 0;
        QTest::newRow("no integers") << QVariantMap{{"fontSize", "1e9"}, {"horizontalMargin", "12px"}} << 8 << 1.0 << 0 << 8;
    }
    void preferenceLimitsAtLoad()
    {
        QFETCH(QVariantMap, stored);
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        state.saveSection("reading", stored);
        ReadingPreferences preferences(state);
        QTEST(preferences.fontSize(), "fontSize");
        QTEST(preferences.lineSpacing(), "lineSpacing");
        QTEST(preferences.horizontalMargin(), "horizontalMargin");
        QTEST(preferences.verticalMargin(), "verticalMargin");
    }

    void preferenceSetters()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        ReadingPreferences preferences(state);
        QSignalSpy fontSpy(&preferences, &ReadingPreferences::fontSizeChanged);
        QSignalSpy spacingSpy(&preferences, &ReadingPreferences::lineSpacingChanged);
        preferences.setFontSize(16);
        QCOMPARE(fontSpy.count(), 0);
        preferences.setFontSize(100); // stored as given; the limit applies at the next load
        QCOMPARE(fontSpy.count(), 1);
        QCOMPARE(preferences.fontSize(), 100);
        preferences.setLineSpacing(1.0 + 1e-13);
        QCOMPARE(spacingSpy.count(), 0);
        preferences.setLineSpacing(1.01);
        QCOMPARE(spacingSpy.count(), 1);
        preferences.save();
        QCOMPARE(state.loadSection("reading").value("fontSize").toInt(), 100);
        QCOMPARE(ReadingPreferences(state).fontSize(), 72);
    }

    void uiStateDefaults()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        UiState ui(state);
        QCOMPARE(ui.themeName(), QStringLiteral("dark"));
        QCOMPARE(ui.lastPage(), QStringLiteral("starter"));
        QCOMPARE(ui.sidebarOpen(), false);
        QCOMPARE(ui.barsVisible(), true);
        QVERIFY(ui.lastFilePath().isEmpty());
        QVERIFY(ui.customThemeColors().isEmpty());
        QCOMPARE(QList<int>({ui.windowWidth(), ui.windowHeight(), ui.windowX(), ui.windowY()}), QList<int>({1024, 768, -1, -1}));
    }

    void uiStateSetters()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        UiState ui(state);
        QSignalSpy colours(&ui, &UiState::customThemeColorsChanged);
        QSignalSpy theme(&ui, &UiState::themeNameChanged);
        ui.setThemeName("dark");
        QCOMPARE(theme.count(), 0);
        ui.setThemeName("light");
        QCOMPARE(theme.count(), 1);
        const QVariantMap map{{"surface", "#112233"}, {"divider", "#1fffffff"}};
        ui.setCustomThemeColors(map);
        QCOMPARE(colours.count(), 1);
        ui.setCustomThemeColors(QVariantMap{{"surface", "#112233"}, {"divider", "#1fffffff"}});
        QCOMPARE(colours.count(), 1);
        ui.setCustomThemeColors(QVariantMap{{"surface", "#112234"}, {"divider", "#1fffffff"}});
        QCOMPARE(colours.count(), 2);
    }

    // What one run saves, the next run loads; saving replaces each group whole.
    void uiStateSaveAndReload()
    {
        const QString path = freshPath();
        {
            QSettings settings(path, QSettings::IniFormat);
            AppState state(settings);
            state.saveSection("customTheme", {{"stale", "#000000"}});
            UiState ui(state);
            ui.setLastPage("history");
            ui.setSidebarOpen(true);
            ui.setBarsVisible(false);
            ui.setLastFilePath("/books/a b.epub");
            ui.setCustomThemeColors({{"surface", "#112233"}});
            ui.setWindowWidth(800);
            ui.setWindowX(0);
            ui.save();
        }
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        UiState ui(state);
        QCOMPARE(ui.lastPage(), QStringLiteral("history"));
        QCOMPARE(ui.sidebarOpen(), true);
        QCOMPARE(ui.barsVisible(), false);
        QCOMPARE(ui.lastFilePath(), QStringLiteral("/books/a b.epub"));
        QCOMPARE(ui.customThemeColors(), (QVariantMap{{"surface", "#112233"}}));
        QCOMPARE(ui.windowWidth(), 800);
        QCOMPARE(ui.windowX(), 0);
        QCOMPARE(ui.windowY(), -1);
        ui.setCustomThemeColors({});
        ui.save();
        QVERIFY(state.loadSection("customTheme").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPreferencesAndState)
#include "tst_preferencesandstate.moc"
