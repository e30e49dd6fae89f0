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

    // Starts as the dark palette, whose values are the palette's own defaults.
    property ThemePalette customTheme: ThemePalette {}

    // The one table of the colour roles: the theme editor's sections in its order, each role with
    // its place in the palette (the order of colorKeys) and its label. The three lists below are
    // read from it.
    readonly property var _roleTable: [
        { title: "Background", roles: [
            [1, "backgroundDeepest", "Deepest background"],
            [2, "backgroundDefault", "Default background"],
            [16, "gradientTop", "Gradient top"],
            [17, "gradientBottom", "Gradient bottom"] ] },
        { title: "Surfaces", roles: [
            [3, "surface", "Surface"],
            [4, "headerBg", "Header background"],
            [5, "footerBg", "Footer background"],
            [19, "overlayBg", "Overlay background"],
            [6, "scrollbarTrack", "Scrollbar track"],
            [7, "scrollbarThumb", "Scrollbar thumb"],
            [18, "divider", "Divider"] ] },
        { title: "Text", roles: [
            [11, "readingText", "Reading text"],
            [12, "uiText", "UI text"],
            [13, "headerText", "Header text"],
            [14, "dimText", "Dim text"],
            [15, "counterText", "Counter text"],
            [10, "sidebarButtonText", "Sidebar button text"] ] },
        { title: "Accents", roles: [
            [8, "primaryAccent", "Primary accent"],
            [9, "buttonAccent", "Button accent"],
            [20, "actionDisabled", "Action disabled"] ] }
    ]

    // Every loop over the roles walks this list, so it is the one authority for the role keys.
    readonly property var colorKeys: _roleTable.reduce((all, section) => all.concat(section.roles), [])
                                               .sort((a, b) => a[0] - b[0]).map(role => role[1])

    readonly property var colorSections: _roleTable.map(
        section => ({ title: section.title, keys: section.roles.map(role => role[1]) }))

    readonly property var colorLabels: _roleTable.reduce((labels, section) => {
        for (const role of section.roles)
            labels[role[1]] = role[2]
        return labels
    }, {})

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
