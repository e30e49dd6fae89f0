#include "AppCoordinator.h"

#include "AppState.h"

#include "Book.h"
#include "css/ColourScheme.h"
#include "formats/FormatReader.h"
#include "HistoryModel.h"
#include "KnuthPlassItem.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "UiState.h"

#include <QColor>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

namespace {

// QSettings tells only the kind of failure; the file system tells what stands in the way.
QString whyStoreIsNotWritten(const QSettings& settings)
{
    if (settings.status() == QSettings::FormatError)
        return QStringLiteral("the store is not in a format that can be written");
    const QFileInfo file(settings.fileName());
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        return QStringLiteral("its path is a folder");
    if (!folder.exists())
        return QStringLiteral("its folder does not exist and cannot be made");
    if (!folder.isDir())
        return QStringLiteral("its folder is not a folder");
    if (!folder.isWritable())
        return QStringLiteral("its folder is read-only");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    return QStringLiteral("access denied");
}

} // namespace

AppCoordinator::AppCoordinator(Book& book, ReadingModel& readingModel, HistoryModel& history, UiState& uiState,
                               ReadingPreferences& preferences, AppState& appState, QSettings& settings,
                               QObject* parent)
    : QObject(parent)
    , m_book(book)
    , m_readingModel(readingModel)
    , m_history(history)
    , m_uiState(uiState)
    , m_preferences(preferences)
    , m_appState(appState)
    , m_settings(settings)
{
    connect(&m_book, &Book::willOpenNewBook, this, &AppCoordinator::snapshotOutgoingBook);
    connect(&m_book, &Book::willCloseBook, this, &AppCoordinator::snapshotOutgoingBook);
    connect(&m_readingModel, &ReadingModel::positionSaved, this, &AppCoordinator::onPositionSaved);
    connect(&m_book, &Book::bookChanged, this, &AppCoordinator::onBookChanged);
    connect(&m_book, &Book::loadingChanged, this, &AppCoordinator::onLoadingChanged);
    connect(&m_uiState, &UiState::themeNameChanged, this, &AppCoordinator::onThemeChanged);
    connect(&m_uiState, &UiState::customThemeColorsChanged, this, &AppCoordinator::onThemeChanged);
    ColourScheme::setPrefersDark(themeIsDark(m_uiState.themeName(), m_uiState.customThemeColors()));
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &AppCoordinator::onAboutToQuit);
}

void AppCoordinator::onBookChanged()
{
    if (m_book.hasBook()) {
        FormatReader* reader = m_book.reader();
        const QString path = reader->filePath();
        m_readingModel.setReader(reader);
        m_uiState.setLastFilePath(path);
        // A negative progress keeps the stored one; the new time puts the book on top.
        m_history.addOrUpdateBook(path, -1);
    } else {
        m_readingModel.setReader(nullptr);
        m_uiState.setLastFilePath(QString());
    }
}

void AppCoordinator::snapshotOutgoingBook()
{
    if (m_book.hasBook())
        m_history.addOrUpdateBook(m_book.filePath(), m_readingModel.progress());
}

void AppCoordinator::onPositionSaved()
{
    snapshotOutgoingBook();
}

void AppCoordinator::onThemeChanged()
{
    const bool dark = themeIsDark(m_uiState.themeName(), m_uiState.customThemeColors());
    if (dark == ColourScheme::prefersDark())
        return;
    ColourScheme::setPrefersDark(dark);
    // The book's styles were resolved as it opened; it opens again where the reader stands.
    if (m_book.hasBook() && m_book.reader()->followsColourScheme())
        m_book.openFromPath(m_book.filePath());
}

bool AppCoordinator::themeIsDark(const QString& themeName, const QVariantMap& customColours)
{
    // The reading text and the foot of the page of the built-in palettes (DarkTheme.qml and
    // LightTheme.qml; the theme test holds the two to these values). The custom palette starts at
    // the dark values; the light palette keeps dark pages under light text.
    static const QVariantMap dark{{QStringLiteral("readingText"), QStringLiteral("#c4c8d8")},
                                  {QStringLiteral("gradientBottom"), QStringLiteral("#191d35")}};
    static const QVariantMap light{{QStringLiteral("readingText"), QStringLiteral("#c4c8d8")},
                                   {QStringLiteral("gradientBottom"), QStringLiteral("#312d2b")}};
    const QVariantMap& colours = themeName == QLatin1String("dark")    ? dark
                                 : themeName == QLatin1String("light") ? light
                                                                       : customColours;
    const QColor text(colours.value(QStringLiteral("readingText"), dark.value(QStringLiteral("readingText"))).toString());
    const QColor page(
        colours.value(QStringLiteral("gradientBottom"), dark.value(QStringLiteral("gradientBottom"))).toString());
    if (!text.isValid() || !page.isValid())
        return true;
    return KnuthPlassItem::relativeLuminance(text) > KnuthPlassItem::relativeLuminance(page);
}

void AppCoordinator::onLoadingChanged()
{
    if (m_book.loading())
        m_bookOpeningStarted = true;
}

void AppCoordinator::recordBookToReopen()
{
    if (m_book.hasBook()) {
        m_history.addOrUpdateBook(m_book.filePath(), m_readingModel.progress());
        m_uiState.setLastFilePath(m_book.filePath());
    } else if (m_book.loading()) {
        // Quitting during a slow start (or opening) keeps the book for the next start.
        m_uiState.setLastFilePath(m_book.openingPath());
    } else if (m_bookOpeningStarted) {
        // The book was closed, or its opening failed or was given up: none reopens.
        m_uiState.setLastFilePath(QString());
    }
    // Otherwise the window has not begun to reopen the last book (or the one named on the command
    // line) yet: it stays the book to reopen.
}

void AppCoordinator::onAboutToQuit()
{
    recordBookToReopen();
    // Under the store's lock and after reading in what other instances saved, so that the history's
    // merge and the groups' changes apply to the store as it is now, not as it was at start.
    const AppState::SaveOutcome outcome = m_appState.saveShared([this] {
        m_history.save(m_appState);
        m_preferences.save();
        m_uiState.save();
    });
    switch (outcome) {
    case AppState::SaveOutcome::Saved:
        qInfo() << "Settings saved to:" << m_settings.fileName();
        break;
    case AppState::SaveOutcome::NotWritten:
        qWarning().noquote() << "Settings could not be written to" << m_settings.fileName() + QLatin1Char(':')
                             << whyStoreIsNotWritten(m_settings);
        break;
    case AppState::SaveOutcome::LeftAlone:
        qWarning().noquote() << "Settings not saved: the store" << m_settings.fileName() << m_appState.leftAloneBecause()
                             << "and is left as it is";
        break;
    }
}
