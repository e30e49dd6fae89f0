pragma Singleton
import QtQuick
import Vellora

// The one place every view takes its colours and shared sizes from. Views bind to roles of
// currentTheme, never to a palette, so switching palettes or editing a custom colour repaints
// everything at once. GUI thread only.
QtObject {
    id: manager

    readonly property int sidebarWidth: 240
    readonly property int headerHeight: 64
    readonly property int footerHeight: 28
    readonly property int animDurationOpen: 225
    readonly property int animDurationClose: 195

    property string currentThemeName: "dark"

    property ThemePalette customTheme: ThemePalette {
        backgroundDeepest: "#010620"
        backgroundDefault: "#191d35"
        surface: "#191d35"
        headerBg: "#14172c"
        footerBg: "#1a1e36"
        scrollbarTrack: "#131628"
        scrollbarThumb: "#36486a"
        primaryAccent: "#3a5688"
        buttonAccent: "#5785c1"
        sidebarButtonText: "#98aaf4"
        readingText: "#c4c8d8"
        uiText: "#a2a5b4"
        headerText: "#8488aa"
        dimText: "#71738c"
        counterText: "#606175"
        gradientTop: "#0e1125"
        gradientBottom: "#191d35"
        divider: Qt.rgba(1, 1, 1, 0.12)
        overlayBg: Qt.rgba(0.055, 0.055, 0.067, 0.4)
        actionDisabled: "#141724"
    }

    // Every loop over the roles walks this list, so it is the one authority for the role keys.
    readonly property var colorKeys: [
        "backgroundDeepest", "backgroundDefault", "surface", "headerBg", "footerBg",
        "scrollbarTrack", "scrollbarThumb", "primaryAccent", "buttonAccent", "sidebarButtonText",
        "readingText", "uiText", "headerText", "dimText", "counterText",
        "gradientTop", "gradientBottom", "divider", "overlayBg", "actionDisabled"
    ]

    readonly property var colorSections: [
        { title: "Background",
          keys: ["backgroundDeepest", "backgroundDefault", "gradientTop", "gradientBottom"] },
        { title: "Surfaces",
          keys: ["surface", "headerBg", "footerBg", "overlayBg", "scrollbarTrack", "scrollbarThumb", "divider"] },
        { title: "Text",
          keys: ["readingText", "uiText", "headerText", "dimText", "counterText", "sidebarButtonText"] },
        { title: "Accents",
          keys: ["primaryAccent", "buttonAccent", "actionDisabled"] }
    ]

    readonly property var colorLabels: ({
        backgroundDeepest: "Deepest background",
        backgroundDefault: "Default background",
        gradientTop: "Gradient top",
        gradientBottom: "Gradient bottom",
        surface: "Surface",
        headerBg: "Header background",
        footerBg: "Footer background",
        overlayBg: "Overlay background",
        scrollbarTrack: "Scrollbar track",
        scrollbarThumb: "Scrollbar thumb",
        divider: "Divider",
        readingText: "Reading text",
        uiText: "UI text",
        headerText: "Header text",
        dimText: "Dim text",
        counterText: "Counter text",
        sidebarButtonText: "Sidebar button text",
        primaryAccent: "Primary accent",
        buttonAccent: "Button accent",
        actionDisabled: "Action disabled"
    })

    // The target of a revert: the colours as last applied or loaded.
    property var _lastApplied: ({})

    // The comparison is exact: "Dark" or "" select the custom palette, and the name is not corrected.
    readonly property ThemePalette currentTheme: currentThemeName === "dark" ? DarkTheme
                                               : currentThemeName === "light" ? LightTheme
                                               : customTheme

    function setDarkTheme() { _selectTheme("dark") }
    function setLightTheme() { _selectTheme("light") }
    function setCustomTheme() { _selectTheme("custom") }

    function _selectTheme(name) {
        currentThemeName = name
        if (UiState)
            UiState.themeName = name
    }

    function loadCustomColors(map) {
        if (map && Object.keys(map).length > 0)
            _restoreColors(map)
        // Snapshot even when nothing was stored, so a revert always has a target.
        _lastApplied = _captureColors()
    }

    function applyCustomColors() {
        const colors = _captureColors()
        _lastApplied = colors
        if (UiState)
            UiState.customThemeColors = colors
    }

    function revertCustomColors() {
        _restoreColors(_lastApplied)
    }

    function _captureColors() {
        const colors = {}
        for (const key of colorKeys)
            colors[key] = customTheme[key].toString()
        return colors
    }

    function _restoreColors(c) {
        if (!c)
            return
        for (const key of colorKeys) {
            if (!c[key])
                continue
            // A stored text that is no colour must not keep the remaining roles from loading.
            try {
                customTheme[key] = c[key]
            } catch (error) {
                console.warn("Ignoring stored colour for", key, ":", c[key])
            }
        }
    }
}
