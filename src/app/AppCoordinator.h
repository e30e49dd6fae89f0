#pragma once

// The glue between the open book, the reading model, the history and the interface state: hands a
// newly opened book's reader to the reading model, keeps the history and the last opened file up
// to date, answers books' colour-scheme queries with the theme's scheme (opening the book again,
// at its place, when a theme change turns the answer), and saves the history, the preferences and
// the interface state when the application is about to quit, merged with what other instances on
// the same store saved meanwhile. Connects itself in its constructor;
// holds references only.
//
// GUI thread only.

#include <QObject>
#include <QVariantMap>

class AppState;
class Book;
class HistoryModel;
class QSettings;
class ReadingModel;
class ReadingPreferences;
class UiState;

class AppCoordinator : public QObject {
    Q_OBJECT
public:
    AppCoordinator(Book& book, ReadingModel& readingModel, HistoryModel& history, UiState& uiState,
                   ReadingPreferences& preferences, AppState& appState, QSettings& settings,
                   QObject* parent = nullptr);

private Q_SLOTS:
    void onBookChanged();
    // Records the open book's progress in the history (before another opens or it closes, and
    // after every saved position).
    void snapshotOutgoingBook();
    void onPositionSaved();
    void onThemeChanged();
    void onLoadingChanged();
    void onAboutToQuit();

private:
    // At quit: the open book (or the one being opened) is the one to reopen at the next start.
    void recordBookToReopen();
    // Whether the theme's palette is dark: its reading text is lighter than the foot of its page.
    // A custom palette's missing roles are the dark values, at which it starts.
    static bool themeIsDark(const QString& themeName, const QVariantMap& customColours);

    Book& m_book;
    ReadingModel& m_readingModel;
    HistoryModel& m_history;
    UiState& m_uiState;
    ReadingPreferences& m_preferences;
    AppState& m_appState;
    QSettings& m_settings;
    // Whether any book began to open in this run; until then the last file path is the book the
    // window is about to reopen.
    bool m_bookOpeningStarted = false;
};
