#include "UiState.h"

#include "AppState.h"
#include "StartupSteps.h"

namespace {

const QString kUiGroup = QStringLiteral("ui");
const QString kCustomThemeGroup = QStringLiteral("customTheme");
const QString kWindowGroup = QStringLiteral("window");

// Stores the value and notifies only when it changed.
template <typename T, typename Signal>
void assign(UiState* owner, T& member, const T& value, Signal signal)
{
    if (member == value)
        return;
    member = value;
    Q_EMIT(owner->*signal)();
}

} // namespace

UiState::UiState(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    // A key the store lacks stands for its default, which is what the members hold now.
    const QVariantMap ui = m_state.loadSection(kUiGroup);
    m_storedUi = uiGroup();
    m_storedUi.insert(ui);
    m_themeName = ui.value(QStringLiteral("themeName"), m_themeName).toString();
    m_lastPage = ui.value(QStringLiteral("lastPage"), m_lastPage).toString();
    m_sidebarOpen = ui.value(QStringLiteral("sidebarOpen"), m_sidebarOpen).toBool();
    m_barsVisible = ui.value(QStringLiteral("barsVisible"), m_barsVisible).toBool();
    m_lastFilePath = ui.value(QStringLiteral("lastFilePath"), m_lastFilePath).toString();

    m_storedCustomTheme = m_state.loadSection(kCustomThemeGroup);
    m_customThemeColors = m_storedCustomTheme;

    const QVariantMap window = m_state.loadSection(kWindowGroup);
    m_storedWindow = windowGroup();
    m_storedWindow.insert(window);
    m_windowWidth = window.value(QStringLiteral("width"), m_windowWidth).toInt();
    m_windowHeight = window.value(QStringLiteral("height"), m_windowHeight).toInt();
    m_windowX = window.value(QStringLiteral("x"), m_windowX).toInt();
    m_windowY = window.value(QStringLiteral("y"), m_windowY).toInt();
}

void UiState::setThemeName(const QString& value) { assign(this, m_themeName, value, &UiState::themeNameChanged); }
void UiState::setLastPage(const QString& value) { assign(this, m_lastPage, value, &UiState::lastPageChanged); }
void UiState::setSidebarOpen(bool value) { assign(this, m_sidebarOpen, value, &UiState::sidebarOpenChanged); }
void UiState::setBarsVisible(bool value) { assign(this, m_barsVisible, value, &UiState::barsVisibleChanged); }
void UiState::setLastFilePath(const QString& value) { assign(this, m_lastFilePath, value, &UiState::lastFilePathChanged); }
void UiState::setCustomThemeColors(const QVariantMap& value)
{
    assign(this, m_customThemeColors, value, &UiState::customThemeColorsChanged);
}
void UiState::setWindowWidth(int value) { assign(this, m_windowWidth, value, &UiState::windowWidthChanged); }
void UiState::setWindowHeight(int value) { assign(this, m_windowHeight, value, &UiState::windowHeightChanged); }
void UiState::setWindowX(int value) { assign(this, m_windowX, value, &UiState::windowXChanged); }
void UiState::setWindowY(int value) { assign(this, m_windowY, value, &UiState::windowYChanged); }

QVariantMap UiState::uiGroup() const
{
    QVariantMap ui;
    ui.insert(QStringLiteral("themeName"), m_themeName);
    ui.insert(QStringLiteral("lastPage"), m_lastPage);
    ui.insert(QStringLiteral("sidebarOpen"), m_sidebarOpen);
    ui.insert(QStringLiteral("barsVisible"), m_barsVisible);
    ui.insert(QStringLiteral("lastFilePath"), m_lastFilePath);
    return ui;
}

QVariantMap UiState::windowGroup() const
{
    QVariantMap window;
    window.insert(QStringLiteral("width"), m_windowWidth);
    window.insert(QStringLiteral("height"), m_windowHeight);
    window.insert(QStringLiteral("x"), m_windowX);
    window.insert(QStringLiteral("y"), m_windowY);
    return window;
}

void UiState::save()
{
    const QVariantMap ui = uiGroup();
    m_state.saveSectionChanges(kUiGroup, m_storedUi, ui);
    m_storedUi = ui;

    m_state.saveSectionChanges(kCustomThemeGroup, m_storedCustomTheme, m_customThemeColors);
    m_storedCustomTheme = m_customThemeColors;

    const QVariantMap window = windowGroup();
    m_state.saveSectionChanges(kWindowGroup, m_storedWindow, window);
    m_storedWindow = window;
}

bool UiState::isWindowPlaceOnScreen() const
{
    return m_windowX >= 0 && m_windowY >= 0
           && StartupSteps::isOnScreens(QPoint(m_windowX, m_windowY), StartupSteps::availableScreenAreas());
}
