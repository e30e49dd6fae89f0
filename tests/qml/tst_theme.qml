import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 900
    height: 700

    TestCase {
        name: "Theme"

        Component {
            id: windowComponent
            Main { visible: false }
        }

        // The browns, and the accent and dim texts made light enough to read on them.
        readonly property var lightOnly: ["backgroundDeepest", "backgroundDefault", "surface", "headerBg",
            "footerBg", "scrollbarTrack", "buttonAccent", "sidebarButtonText", "headerText", "dimText",
            "counterText", "gradientTop", "gradientBottom"]

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
                { tag: "headerBg", dark: "#14172c", light: "#443f3a" },
                { tag: "footerBg", dark: "#1a1e36", light: "#3b3833" },
                { tag: "scrollbarTrack", dark: "#131628", light: "#4f505a" },
                { tag: "scrollbarThumb", dark: "#36486a", light: "#36486a" },
                { tag: "primaryAccent", dark: "#2f456d", light: "#2f456d" },
                { tag: "buttonAccent", dark: "#5a8ac8", light: "#6ca6f0" },
                { tag: "sidebarButtonText", dark: "#98aaf4", light: "#d8c6b1" },
                { tag: "readingText", dark: "#c4c8d8", light: "#c4c8d8" },
                { tag: "uiText", dark: "#a2a5b4", light: "#a2a5b4" },
                { tag: "headerText", dark: "#8488aa", light: "#8f94b8" },
                { tag: "dimText", dark: "#8486a3", light: "#9ea1c4" },
                { tag: "counterText", dark: "#8486a1", light: "#9fa1c2" },
                { tag: "gradientTop", dark: "#0e1125", light: "#463523" },
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
            compare(lightOnly.indexOf(row.tag) >= 0, row.dark !== row.light, "light differs only in its own roles")
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
                verify(Helpers.contrast(p.readingText, point) >= 4.5,
                       "contrast " + Helpers.contrast(p.readingText, point).toFixed(2) + " at " + t + " of the gradient")
            }
            verify(Helpers.contrast(p.readingText, p.surface) >= 4.5, "on the surface")
        }

        // A book whose styles ask for the colour scheme is told the scheme of the palette's colours
        // (dark when the reading text is lighter than the foot of the page), on every palette: it
        // opens again exactly when a theme change turns that answer.
        function test_booksAreToldTheSchemeOfThePalettesColours() {
            const isDark = p => Helpers.luminance(p.readingText) > Helpers.luminance(p.gradientBottom)
            ThemeManager.setDarkTheme()
            Book.openFromPath(fixtures.colourSchemeBook("Scheme"))
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
            let reopened = 0
            const count = () => { if (Book.loading) ++reopened }
            Book.loadingChanged.connect(count)
            const steps = [
                { name: "light", select: () => ThemeManager.setLightTheme(), palette: LightTheme },
                { name: "light custom", palette: ThemeManager.customTheme, select: () => {
                    ThemeManager.customTheme.readingText = "#202020"
                    ThemeManager.customTheme.gradientBottom = "#f0f0f0"
                    ThemeManager.applyCustomColors()
                    ThemeManager.setCustomTheme()
                } },
                { name: "dark", select: () => ThemeManager.setDarkTheme(), palette: DarkTheme }
            ]
            let previous = isDark(DarkTheme)
            verify(isDark(LightTheme), "the light palette keeps light text on dark pages")
            for (const step of steps) {
                const before = reopened
                step.select()
                compare(reopened - before, isDark(step.palette) === previous ? 0 : 1, step.name)
                previous = isDark(step.palette)
                tryCompare(Book, "loading", false)
                verify(Book.hasBook)
            }
            Book.loadingChanged.disconnect(count)
            Book.close()
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

    // ---- every text and glyph on both built-in palettes, in every pointer state ----

    Component { id: sideBarComponent; SideBar { sidebarOpen: true; height: 600 } }
    Component { id: headerComponent; Header { width: 700; currentPage: "reader" } }
    Component { id: footerComponent; Footer { width: 700 } }
    Component { id: settingsComponent; Item { width: 700; height: 600; SettingsPopup {} } }
    Component { id: historyComponent; HistoryPage { width: 700; height: 600 } }
    Component { id: errorComponent; ErrorPopup { width: 700; height: 600 } }
    Component { id: updateComponent; UpdatePopup { width: 700; height: 600 } }
    Component { id: themePageComponent; CustomThemePage { width: 700; height: 600 } }
    Component { id: readingComponent; ScrollPageView { width: 700; height: 600 } }

    TestCase {
        id: contrastCase
        name: "ThemeContrast"
        when: windowShown

        // Filled as the cases run; printed at the end for the record.
        property var lowest: ({})

        function cleanup() {
            mouseMove(scene, scene.width - 1, scene.height - 1)
            Book.close()
            Book.clearError()
            HistoryModel.clear()
            ThemeManager.currentThemeName = "dark"
        }

        function cleanupTestCase() {
            for (const key of Object.keys(lowest).sort())
                console.log("lowest contrast", key, lowest[key].ratio.toFixed(2), lowest[key].what)
        }

        function isRectangle(o) {
            return o.radius !== undefined && o.border !== undefined && o.color !== undefined && o.antialiasing !== undefined
        }
        function isText(o) {
            return typeof o.text === "string" && o.font !== undefined && o.color !== undefined
                && o.contentWidth !== undefined && o.wrapMode !== undefined
        }
        function isPainter(o) { return o.textColor !== undefined && o.linkColor !== undefined }
        function isPointerTarget(o) {
            const mouseArea = o.hoverEnabled === true && o.containsMouse !== undefined && o.pressed !== undefined
            // Sliders are left out: a press moves them, and they carry no text of their own.
            const button = o.hovered !== undefined && o.pressed !== undefined && o.checkable !== undefined
            return (mouseArea || button) && o.visible && o.enabled !== false
        }

        function walk(o, visit) {
            const list = o.data !== undefined ? o.data : (o.children !== undefined ? o.children : [])
            for (let i = 0; i < list.length; ++i) {
                const child = list[i]
                if (!child)
                    continue
                visit(child)
                walk(child, visit)
            }
        }

        // What a rectangle paints under its children: samples down a gradient, or its one colour;
        // null when it paints nothing.
        function fillOf(o) {
            if (!o || !isRectangle(o) || !o.visible || o.opacity === 0)
                return null
            const stops = o.gradient && o.gradient.stops
            if (stops && stops.length >= 2) {
                const top = stops[0].color, bottom = stops[stops.length - 1].color
                const samples = []
                for (let i = 0; i <= 20; ++i) {
                    const t = i / 20
                    samples.push(Qt.rgba(top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                                         top.b + (bottom.b - top.b) * t, 1))
                }
                return { samples: samples, alpha: o.opacity, name: "gradient of " + o }
            }
            if (o.color.a === 0)
                return null
            return { samples: [Qt.rgba(o.color.r, o.color.g, o.color.b, 1)], alpha: o.color.a * o.opacity,
                     name: o.color.toString() }
        }

        function over(top, alpha, below) {
            return Qt.rgba(top.r * alpha + below.r * (1 - alpha), top.g * alpha + below.g * (1 - alpha),
                           top.b * alpha + below.b * (1 - alpha), 1)
        }

        // The colours behind an item: the fills of its ancestors (a control's background lies
        // under its content), down to the first opaque one, mixed by their alpha.
        function groundOf(item) {
            const layers = []
            for (let a = item.parent; a; a = a.parent) {
                for (const o of [a.background, a]) {
                    const fill = o && o !== item ? fillOf(o) : null
                    if (!fill)
                        continue
                    layers.push(fill)
                    if (fill.alpha >= 1)
                        return layers.reverse().reduce((below, layer) =>
                            below === null ? layer.samples
                                           : below.map(c => over(layer.samples[0], layer.alpha, c)), null)
                }
            }
            return null
        }

        function record(key, ratio, what) {
            if (!lowest[key] || ratio < lowest[key].ratio)
                lowest[key] = { ratio: ratio, what: what }
        }

        function checkInk(key, state, what, ink, opacity, item) {
            const ground = groundOf(item)
            verify(ground !== null, what + ": nothing opaque behind it")
            for (const g of ground) {
                const seen = over(ink, ink.a * opacity, g)
                const ratio = Helpers.contrast(seen, g)
                record(key, ratio, what + " " + state)
                verify(ratio >= 4.5, key + ", " + state + ": " + what + " " + ink + " on " + g + " reads at "
                       + ratio.toFixed(2) + ":1")
            }
        }

        // Every shown text (glyphs are texts of the icon font) and every painted chunk's text and
        // links under `root`; hidden ones too with `withHidden` (texts that show in states the test
        // cannot bring about, such as the spinner while a book is measured).
        function checkAll(root, key, state, withHidden) {
            verify(ThemeManager.currentThemeName === key.split(" ")[0], "no click changed the theme")
            let seen = 0
            walk(root, o => {
                if (isText(o) && o.text !== "" && (o.visible || withHidden)) {
                    ++seen
                    checkInk(key, state, "\"" + o.text + "\"", o.color, o.opacity, o)
                } else if (isPainter(o) && o.visible) {
                    ++seen
                    checkInk(key, state, "reading text", o.textColor, o.opacity, o)
                    checkInk(key, state, "link", o.linkColor, o.opacity, o)
                }
            })
            verify(seen > 0, key + ": no text found")
        }

        function centreInScene(item) {
            const p = item.mapToItem(scene, item.width / 2, item.height / 2)
            return p.x > 0 && p.y > 0 && p.x < scene.width - 2 && p.y < scene.height - 2 ? p : null
        }

        // Plain, then each pointer target hovered and then pressed (released away from it, so
        // nothing is clicked).
        function checkStates(root, key, withHidden) {
            checkAll(root, key, "plain", withHidden)
            const targets = []
            walk(root, o => { if (isPointerTarget(o) && o.width > 0 && o.height > 0) targets.push(o) })
            for (const target of targets) {
                const p = centreInScene(target)
                if (!p)
                    continue
                const name = target.text !== undefined ? target.text : target.toString()
                mouseMove(scene, p.x, p.y)
                wait(0)
                checkAll(root, key, "hovering " + name, withHidden)
                mousePress(scene, p.x, p.y)
                checkAll(root, key, "pressing " + name, withHidden)
                // Moved off first: a release with no move since the press still counts as inside.
                mouseMove(scene, scene.width - 1, scene.height - 1, -1, Qt.LeftButton)
                mouseRelease(scene, scene.width - 1, scene.height - 1)
            }
        }

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
        }

        function surface_sideBar(key) {
            const bar = createTemporaryObject(sideBarComponent, scene)
            tryCompare(bar, "width", 240)
            checkStates(bar, key)
        }
        function surface_header(key) {
            openBook(fixtures.textBook("Contrast header", 2)) // the title shows on the reader page
            const header = createTemporaryObject(headerComponent, scene)
            verify(Helpers.findChild(header, o => o.text === Book.title && o.text !== "") !== null, "a title")
            checkStates(header, key)
        }
        function surface_textFooter(key) {
            openBook(fixtures.textBook("Contrast footer", 4))
            checkStates(createTemporaryObject(footerComponent, scene), key, true)
        }
        // Both toggles lit, then both dim.
        function surface_comicFooter(key) {
            openBook(fixtures.comicFolder("contrast-footer", 4))
            const footer = createTemporaryObject(footerComponent, scene)
            for (const on of [true, false]) {
                if (ReadingModel.pageShift !== on)
                    ReadingModel.setPageShift(on, 0)
                if (ReadingModel.mangaRTL !== on)
                    ReadingModel.setMangaRTL(on)
                checkStates(footer, key + (on ? " toggles on" : " toggles off"), true)
            }
        }
        function surface_settings(key) {
            openBook(fixtures.textBook("Contrast settings", 4)) // shows the book-colours switch
            checkStates(createTemporaryObject(settingsComponent, scene), key)
        }
        function surface_emptyHistory(key) { checkStates(createTemporaryObject(historyComponent, scene), key) }
        function surface_history(key) {
            HistoryModel.addOrUpdateBook(fixtures.textBook("Contrast history", 2), 0.5)
            const page = createTemporaryObject(historyComponent, scene)
            tryVerify(() => Helpers.findChild(page, o => o.text === "50%") !== null)
            checkStates(page, key)
        }
        function surface_error(key) {
            const popup = createTemporaryObject(errorComponent, scene)
            Book.openFromPath(fixtures.file("contrast.unknown", "not a book"))
            tryCompare(popup, "visible", true)
            checkStates(popup, key)
        }
        function surface_update(key) { checkStates(createTemporaryObject(updateComponent, scene), key) }
        function surface_themePage(key) { checkStates(createTemporaryObject(themePageComponent, scene), key) }
        function surface_reading(key) {
            const view = createTemporaryObject(readingComponent, scene)
            openBook(fixtures.textBook("Contrast reading", 6))
            tryCompare(view, "restoreReady", true)
            checkStates(view, key)
        }

        function test_everyTextReads_data() {
            const rows = []
            for (const theme of ["dark", "light"])
                for (const surface of ["sideBar", "header", "textFooter", "comicFooter", "settings",
                                       "emptyHistory", "history", "error", "update", "themePage", "reading"])
                    rows.push({ tag: theme + " " + surface, theme: theme, surface: surface })
            return rows
        }

        function test_everyTextReads(row) {
            ThemeManager.currentThemeName = row.theme
            this["surface_" + row.surface](row.tag)
        }
    }
}
