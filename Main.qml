import QtQuick
import Vellora

Window {
    id: window
    width: 1100
    height: 800
    visible: true
    title: "Vellora"
    color: ThemeManager.currentTheme.backgroundDeepest

    // Makes the family "Material Icons Outlined" of the icon buttons and glyphs available.
    FontLoader {
        id: materialIcons
        source: "qrc:/Vellora/src/assets/MaterialIconsOutlined-Regular.otf"
    }

    // The window is the only writer of the theme at start: colours first, so the revert target
    // is the loaded palette, then the name.
    Component.onCompleted: {
        if (!UiState)
            return
        ThemeManager.loadCustomColors(UiState.customThemeColors)
        if (UiState.themeName !== "")
            ThemeManager.currentThemeName = UiState.themeName
    }

    Connections {
        target: UiState
        function onThemeNameChanged() { ThemeManager.currentThemeName = UiState.themeName }
    }
}
