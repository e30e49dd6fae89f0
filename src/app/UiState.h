#pragma once

// The interface state kept between runs: theme, last page, side bar and bar visibility, the book to
// reopen, the custom theme colours and the window geometry (groups "ui", "customTheme" and
// "window" of the settings store). Loaded once, written by save(), which writes only what changed
// since the load, so that a value another process on the same store saved meanwhile survives. No
// value is corrected here (the
// window geometry is fitted to the screens by StartupSteps::fitWindowToScreens at start-up).
//
// GUI thread only.

#include <QObject>
#include <QString>
#include <QVariantMap>

class AppState;

class UiState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString themeName READ themeName WRITE setThemeName NOTIFY themeNameChanged FINAL)
    Q_PROPERTY(QString lastPage READ lastPage WRITE setLastPage NOTIFY lastPageChanged FINAL)
    Q_PROPERTY(bool sidebarOpen READ sidebarOpen WRITE setSidebarOpen NOTIFY sidebarOpenChanged FINAL)
    Q_PROPERTY(bool barsVisible READ barsVisible WRITE setBarsVisible NOTIFY barsVisibleChanged FINAL)
    Q_PROPERTY(QString lastFilePath READ lastFilePath WRITE setLastFilePath NOTIFY lastFilePathChanged FINAL)
    Q_PROPERTY(QVariantMap customThemeColors READ customThemeColors WRITE setCustomThemeColors NOTIFY customThemeColorsChanged FINAL)
    Q_PROPERTY(int windowWidth READ windowWidth WRITE setWindowWidth NOTIFY windowWidthChanged FINAL)
    Q_PROPERTY(int windowHeight READ windowHeight WRITE setWindowHeight NOTIFY windowHeightChanged FINAL)
    Q_PROPERTY(int windowX READ windowX WRITE setWindowX NOTIFY windowXChanged FINAL)
    Q_PROPERTY(int windowY READ windowY WRITE setWindowY NOTIFY windowYChanged FINAL)
public:
    static constexpr int kDefaultWindowWidth = 1024;
    static constexpr int kDefaultWindowHeight = 768;

    explicit UiState(AppState& state, QObject* parent = nullptr);

    QString themeName() const { return m_themeName; }
    QString lastPage() const { return m_lastPage; }
    bool sidebarOpen() const { return m_sidebarOpen; }
    bool barsVisible() const { return m_barsVisible; }
    QString lastFilePath() const { return m_lastFilePath; }
    QVariantMap customThemeColors() const { return m_customThemeColors; }
    int windowWidth() const { return m_windowWidth; }
    int windowHeight() const { return m_windowHeight; }
    int windowX() const { return m_windowX; }
    int windowY() const { return m_windowY; }

    void setThemeName(const QString& value);
    void setLastPage(const QString& value);
    void setSidebarOpen(bool value);
    void setBarsVisible(bool value);
    void setLastFilePath(const QString& value);
    void setCustomThemeColors(const QVariantMap& value);
    void setWindowWidth(int value);
    void setWindowHeight(int value);
    void setWindowX(int value);
    void setWindowY(int value);

    // Whether the stored position is one to place the window at: saved (no coordinate negative)
    // and on a screen by the rule start-up fits the geometry with (StartupSteps::isOnScreens).
    Q_INVOKABLE bool isWindowPlaceOnScreen() const;

    void save();

Q_SIGNALS:
    void themeNameChanged();
    void lastPageChanged();
    void sidebarOpenChanged();
    void barsVisibleChanged();
    void lastFilePathChanged();
    void customThemeColorsChanged();
    void windowWidthChanged();
    void windowHeightChanged();
    void windowXChanged();
    void windowYChanged();

private:
    // The groups "ui" and "window" as save() writes them.
    QVariantMap uiGroup() const;
    QVariantMap windowGroup() const;

    AppState& m_state;
    QString m_themeName = QStringLiteral("dark");
    QString m_lastPage = QStringLiteral("starter");
    bool m_sidebarOpen = false;
    bool m_barsVisible = true;
    QString m_lastFilePath;
    QVariantMap m_customThemeColors;
    int m_windowWidth = kDefaultWindowWidth;
    int m_windowHeight = kDefaultWindowHeight;
    int m_windowX = -1; // -1: no position saved
    int m_windowY = -1;
    // The three groups as this object last read or wrote them: what save() compares with.
    QVariantMap m_storedUi;
    QVariantMap m_storedCustomTheme;
    QVariantMap m_storedWindow;
};
