import QtQuick
import QtTest
import Vellora

TestCase {
    name: "Theme"

    Component {
        id: windowComponent
        Main { visible: false }
    }

    readonly property var lightOnly: ["backgroundDeepest", "backgroundDefault", "surface", "headerBg",
        "footerBg", "scrollbarTrack", "sidebarButtonText", "gradientTop", "gradientBottom"]

    function init() {
        UiState.themeName = "dark"
        UiState.customThemeColors = ({})
        ThemeManager.currentThemeName = "dark"
        ThemeManager._restoreColors(defaultColors())
        ThemeManager._lastApplied = ({})
    }

    // The dark palette's text forms, from a fresh palette.
    function defaultColors() {
        const fresh = Qt.createQmlObject("import Vellora; ThemePalette {}", this)
        const colors = {}
        for (const key of ThemeManager.colorKeys)
            colors[key] = fresh[key].toString()
        fresh.destroy()
        return colors
    }

    function test_roles_data() {
        return [
            { tag: "backgroundDeepest", dark: "#010620", light: "#4d4e53" },
            { tag: "backgroundDefault", dark: "#191d35", light: "#312d2b" },
            { tag: "surface", dark: "#191d35", light: "#312d2b" },
            { tag: "headerBg", dark: "#14172c", light: "#c1b5a5" },
            { tag: "footerBg", dark: "#1a1e36", light: "#c3b6a8" },
            { tag: "scrollbarTrack", dark: "#131628", light: "#4f505a" },
            { tag: "scrollbarThumb", dark: "#36486a", light: "#36486a" },
            { tag: "primaryAccent", dark: "#3a5688", light: "#3a5688" },
            { tag: "buttonAccent", dark: "#5785c1", light: "#5785c1" },
            { tag: "sidebarButtonText", dark: "#98aaf4", light: "#d8c6b1" },
            { tag: "readingText", dark: "#c4c8d8", light: "#c4c8d8" },
            { tag: "uiText", dark: "#a2a5b4", light: "#a2a5b4" },
            { tag: "headerText", dark: "#8488aa", light: "#8488aa" },
            { tag: "dimText", dark: "#71738c", light: "#71738c" },
            { tag: "counterText", dark: "#606175", light: "#606175" },
            { tag: "gradientTop", dark: "#0e1125", light: "#664e33" },
            { tag: "gradientBottom", dark: "#191d35", light: "#312d2b" },
            { tag: "divider", dark: "#1fffffff", light: "#1fffffff" },
            { tag: "overlayBg", dark: "#660e0e11", light: "#660e0e11" },
            { tag: "actionDisabled", dark: "#141724", light: "#141724" }
        ]
    }

    function test_roles(row) {
        compare(DarkTheme[row.tag].toString(), row.dark, "dark")
        compare(LightTheme[row.tag].toString(), row.light, "light")
        compare(ThemeManager.customTheme[row.tag].toString(), row.dark, "custom starts dark")
        compare(lightOnly.indexOf(row.tag) >= 0, row.dark !== row.light, "light differs only in its nine roles")
    }

    // WCAG 2 relative luminance and contrast ratio.
    function luminance(c) {
        const channel = v => v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
    }
    function contrast(a, b) {
        const la = luminance(a), lb = luminance(b)
        return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
    }

    // Body text needs 4.5:1 at every point of the reading views' gradient (mixed channel by
    // channel between its stops, as the scene graph draws it) and on the popups' surface.
    function test_readingTextIsReadable_data() {
        return [ { tag: "light", palette: LightTheme }, { tag: "dark", palette: DarkTheme } ]
    }

    function test_readingTextIsReadable(row) {
        const p = row.palette
        const top = p.gradientTop, bottom = p.gradientBottom
        for (let i = 0; i <= 20; ++i) {
            const t = i / 20
            const point = Qt.rgba(top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                                  top.b + (bottom.b - top.b) * t, 1)
            verify(contrast(p.readingText, point) >= 4.5,
                   "contrast " + contrast(p.readingText, point).toFixed(2) + " at " + t + " of the gradient")
        }
        verify(contrast(p.readingText, p.surface) >= 4.5, "on the surface")
    }

    function test_translucentRolesKeepTheirAlpha() {
        verify(Qt.colorEqual(DarkTheme.divider, Qt.rgba(1, 1, 1, 0.12)))
        verify(Qt.colorEqual(DarkTheme.overlayBg, Qt.rgba(0.055, 0.055, 0.067, 0.4)))
    }

    function test_sizes() {
        compare(ThemeManager.sidebarWidth, 240)
        compare(ThemeManager.headerHeight, 64)
        compare(ThemeManager.footerHeight, 28)
        compare(ThemeManager.animDurationOpen, 225)
        compare(ThemeManager.animDurationClose, 195)
    }

    function test_keysSectionsAndLabels() {
        compare(ThemeManager.colorKeys.length, 20)
        compare(ThemeManager.colorSections.map(s => s.title), ["Background", "Surfaces", "Text", "Accents"])
        const seen = {}
        for (const section of ThemeManager.colorSections)
            for (const key of section.keys)
                seen[key] = (seen[key] || 0) + 1
        for (const key of ThemeManager.colorKeys) {
            compare(seen[key], 1, key + " in exactly one section")
            verify(ThemeManager.colorLabels[key].length > 0, key + " has a label")
            verify(ThemeManager.customTheme[key] !== undefined, key + " is a palette role")
        }
        compare(Object.keys(seen).length, 20)
        compare(ThemeManager.colorLabels.uiText, "UI text")
        compare(ThemeManager.colorLabels.sidebarButtonText, "Sidebar button text")
    }

    // The palette's order, and the editor's within each section.
    function test_keysFollowThePalette() {
        compare(ThemeManager.colorKeys, test_roles_data().map(row => row.tag))
        compare(ThemeManager.colorSections.map(s => s.keys.join(" ")), [
            "backgroundDeepest backgroundDefault gradientTop gradientBottom",
            "surface headerBg footerBg overlayBg scrollbarTrack scrollbarThumb divider",
            "readingText uiText headerText dimText counterText sidebarButtonText",
            "primaryAccent buttonAccent actionDisabled"
        ])
    }

    function test_currentTheme_data() {
        return [
            { tag: "dark", name: "dark", palette: "dark" },
            { tag: "light", name: "light", palette: "light" },
            { tag: "custom", name: "custom", palette: "custom" },
            { tag: "capitalised", name: "Dark", palette: "custom" },
            { tag: "empty", name: "", palette: "custom" },
            { tag: "unknown", name: "sepia", palette: "custom" }
        ]
    }

    function test_currentTheme(row) {
        const palettes = { dark: DarkTheme, light: LightTheme, custom: ThemeManager.customTheme }
        ThemeManager.currentThemeName = row.name
        verify(ThemeManager.currentTheme === palettes[row.palette])
    }

    function test_customEditsShowOnlyWhileCurrentAndSurviveSwitches() {
        ThemeManager.currentThemeName = "custom"
        ThemeManager.customTheme.surface = "#102030"
        compare(ThemeManager.currentTheme.surface.toString(), "#102030")
        ThemeManager.currentThemeName = "light"
        compare(ThemeManager.currentTheme.surface.toString(), "#312d2b")
        ThemeManager.currentThemeName = "custom"
        compare(ThemeManager.currentTheme.surface.toString(), "#102030")
    }

    function test_captureRestoreRoundTrip() {
        ThemeManager.customTheme.uiText = "#abcdef"
        const before = ThemeManager._captureColors()
        compare(Object.keys(before).length, 20)
        ThemeManager._restoreColors(before)
        compare(ThemeManager._captureColors(), before)
    }

    function test_loadCustomColors_data() {
        return [
            { tag: "nothing stored", map: undefined, surface: "#191d35" },
            { tag: "empty map", map: ({}), surface: "#191d35" },
            { tag: "one role", map: ({ surface: "#223344" }), surface: "#223344" },
            { tag: "empty text keeps the role", map: ({ surface: "", uiText: "#010101" }), surface: "#191d35" },
            { tag: "extra keys ignored", map: ({ notARole: "#ffffff", surface: "#445566" }), surface: "#445566" },
            { tag: "bad colour text", map: ({ surface: "no colour", uiText: "#020202" }), surface: null }
        ]
    }

    function test_loadCustomColors(row) {
        ThemeManager.loadCustomColors(row.map)
        if (row.surface !== null)
            compare(ThemeManager.customTheme.surface.toString(), row.surface)
        if (row.map && row.map.uiText)
            compare(ThemeManager.customTheme.uiText.toString(), row.map.uiText, "other roles still restored")
        verify(ThemeManager.customTheme.notARole === undefined)
        // Loaded or not, the revert target is what the palette now holds.
        compare(ThemeManager._lastApplied, ThemeManager._captureColors())
    }

    function test_revertReturnsToLastLoad() {
        ThemeManager.loadCustomColors({ surface: "#223344" })
        ThemeManager.customTheme.surface = "#ff0000"
        ThemeManager.revertCustomColors()
        compare(ThemeManager.customTheme.surface.toString(), "#223344")
    }

    function test_revertWithoutTargetChangesNothing() {
        ThemeManager.customTheme.surface = "#ff0000"
        ThemeManager.revertCustomColors()
        compare(ThemeManager.customTheme.surface.toString(), "#ff0000")
    }

    function test_firstApplyStoresTheDarkValues() {
        ThemeManager.applyCustomColors()
        const stored = UiState.customThemeColors
        compare(Object.keys(stored).length, 20)
        compare(stored.surface, "#191d35")
        compare(stored.divider, "#1fffffff")
        compare(stored.overlayBg, "#660e0e11")
        compare(ThemeManager._lastApplied, stored)
        compare(ThemeManager.currentThemeName, "dark", "applying does not switch the palette")
    }

    function test_revertLeavesTheStoredColours() {
        ThemeManager.customTheme.surface = "#223344"
        ThemeManager.applyCustomColors()
        ThemeManager.customTheme.surface = "#ff0000"
        ThemeManager.revertCustomColors()
        compare(ThemeManager.customTheme.surface.toString(), "#223344")
        compare(UiState.customThemeColors.surface, "#223344")
        ThemeManager.customTheme.surface = "#ff0000"
        ThemeManager.revertCustomColors()
        compare(UiState.customThemeColors.surface, "#223344", "a revert writes nothing")
    }

    function test_settersWriteTheNameTwice_data() {
        return [
            { tag: "dark", call: "setDarkTheme", name: "dark" },
            { tag: "light", call: "setLightTheme", name: "light" },
            { tag: "custom", call: "setCustomTheme", name: "custom" }
        ]
    }

    function test_settersWriteTheNameTwice(row) {
        ThemeManager.currentThemeName = "something else"
        UiState.themeName = "something else"
        ThemeManager[row.call]()
        compare(ThemeManager.currentThemeName, row.name)
        compare(UiState.themeName, row.name)
    }

    function test_windowRestoresColoursThenName() {
        UiState.lastFilePath = ""
        UiState.customThemeColors = { surface: "#334455", notARole: "#ffffff" }
        UiState.themeName = "custom"
        ThemeManager.currentThemeName = "dark"
        const window = createTemporaryObject(windowComponent, this)
        verify(window)
        compare(ThemeManager.currentThemeName, "custom")
        compare(ThemeManager.currentTheme.surface.toString(), "#334455")
        compare(ThemeManager._lastApplied.surface, "#334455", "the loaded palette is the revert target")
        UiState.themeName = "light"
        compare(ThemeManager.currentThemeName, "light", "the window follows the stored name")
    }

    function test_windowKeepsTheDefaultForAnEmptyStoredName() {
        UiState.lastFilePath = ""
        UiState.themeName = ""
        ThemeManager.currentThemeName = "light"
        createTemporaryObject(windowComponent, this)
        compare(ThemeManager.currentThemeName, "light")
    }
}
