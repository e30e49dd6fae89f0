import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 600
    height: 800

    Component {
        id: pageComponent
        CustomThemePage { anchors.fill: parent }
    }

    TestCase {
        name: "CustomThemePage"
        when: windowShown

        property var savedPalette: ({})
        property var savedStored: ({})

        function init() {
            savedPalette = ThemeManager._captureColors()
            savedStored = UiState.customThemeColors
            ThemeManager.loadCustomColors(savedPalette)
        }

        // The dark theme first, so that destroying the page applies nothing.
        function cleanup() {
            ThemeManager.setDarkTheme()
            ThemeManager.loadCustomColors(savedPalette)
            UiState.customThemeColors = savedStored
        }

        function collect(object, predicate, found) {
            const list = object.data !== undefined ? object.data : []
            for (let i = 0; i < list.length; ++i) {
                if (!list[i])
                    continue
                if (predicate(list[i]))
                    found.push(list[i])
                collect(list[i], predicate, found)
            }
            return found
        }

        function rowsOf(page) {
            return collect(page, c => c.openPicker !== undefined, [])
        }

        function rowLabelled(page, label) {
            return rowsOf(page).find(r => r.label === label)
        }

        function dialogOf(row) {
            return Helpers.findChild(row, c => c.selectedColor !== undefined)
        }

        function hexOf(row) {
            return Helpers.findChild(row, c => c.font !== undefined && c.font.family === "Courier New")
        }

        function buttonLabelled(page, text) {
            return Helpers.findChild(page, c => c.text === text && c.parent.radius === 4).parent
        }

        // What the swatch's click does before the dialog shows; the dialog itself is never opened.
        function presetAsOpening(row) {
            row._savedValue = row.value
            dialogOf(row).selectedColor = row.value
        }

        function test_sectionsAndRowsInOrder() {
            const page = createTemporaryObject(pageComponent, scene)
            const titles = collect(page, c => c.topPadding === 16 && c.bottomPadding === 4 && c.text !== undefined, [])
            compare(titles.map(t => t.text), ["Background", "Surfaces", "Text", "Accents"])
            compare(rowsOf(page).map(r => r.label), [
                "Deepest background", "Default background", "Gradient top", "Gradient bottom",
                "Surface", "Header background", "Footer background", "Overlay background", "Scrollbar track",
                "Scrollbar thumb", "Divider",
                "Reading text", "UI text", "Header text", "Dim text", "Counter text", "Sidebar button text",
                "Primary accent", "Button accent", "Action disabled"])
        }

        function test_hexText_data() {
            return [
                { tag: "opaque", label: "Surface", hex: "#191D35" },
                { tag: "translucent divider", label: "Divider", hex: "#1FFFFFFF" },
                { tag: "translucent overlay", label: "Overlay background", hex: "#660E0E11" }
            ]
        }

        function test_hexText(row) {
            const page = createTemporaryObject(pageComponent, scene)
            compare(hexOf(rowLabelled(page, row.label)).text, row.hex)
        }

        function test_pickedColoursGoLiveAndCancelRestores() {
            ThemeManager.setCustomTheme()
            const page = createTemporaryObject(pageComponent, scene)
            const row = rowLabelled(page, "Surface")
            const dialog = dialogOf(row)
            const before = ThemeManager.customTheme.surface.toString()
            const stored = UiState.customThemeColors
            presetAsOpening(row)
            compare(ThemeManager.customTheme.surface.toString(), before, "the preset changes nothing")

            dialog.selectedColor = "#ff0000"
            compare(ThemeManager.customTheme.surface.toString(), "#ff0000")
            compare(ThemeManager.currentTheme.surface.toString(), "#ff0000", "live while the custom theme is current")
            compare(hexOf(row).text, "#FF0000")
            dialog.selectedColor = "#00ff00"
            compare(ThemeManager.customTheme.surface.toString(), "#00ff00")
            compare(UiState.customThemeColors, stored, "picking applies nothing")

            dialog.rejected()
            compare(ThemeManager.customTheme.surface.toString(), before, "the colour at opening, not the last pick")

            presetAsOpening(row)
            dialog.selectedColor = "#0000ff"
            dialog.accepted()
            compare(ThemeManager.customTheme.surface.toString(), "#0000ff", "accepting keeps the last pick")
        }

        function test_aRowWithoutApplyChangesNothing() {
            const page = createTemporaryObject(pageComponent, scene)
            const row = rowLabelled(page, "Divider")
            const before = row.value.toString()
            row.apply = null
            presetAsOpening(row)
            dialogOf(row).selectedColor = "#123456"
            dialogOf(row).rejected()
            compare(row.value.toString(), before)
            compare(ThemeManager.customTheme.divider.toString(), before)
        }

        function test_applyAndRevert() {
            ThemeManager.setLightTheme()
            const page = createTemporaryObject(pageComponent, scene)
            const loaded = ThemeManager.customTheme.uiText.toString()
            ThemeManager.customTheme.uiText = "#abcdef"
            mouseClick(buttonLabelled(page, "Revert"))
            compare(ThemeManager.customTheme.uiText.toString(), loaded, "back to the colours loaded at start")

            ThemeManager.customTheme.uiText = "#abcdef"
            mouseClick(buttonLabelled(page, "Apply"))
            const stored = UiState.customThemeColors
            compare(Object.keys(stored).length, 20)
            compare(stored.uiText, "#abcdef")
            compare(stored.divider, "#1fffffff")
            compare(ThemeManager.currentThemeName, "light", "applying keeps the current theme")

            ThemeManager.customTheme.uiText = "#fedcba"
            mouseClick(buttonLabelled(page, "Revert"))
            compare(ThemeManager.customTheme.uiText.toString(), "#abcdef", "back to the last applied set")
        }

        function test_leavingApplies_data() {
            return [
                { tag: "custom theme current", theme: "custom", applied: true },
                { tag: "dark theme current", theme: "dark", applied: false },
                { tag: "light theme current", theme: "light", applied: false }
            ]
        }

        function test_leavingApplies(row) {
            ThemeManager.currentThemeName = row.theme
            const page = createTemporaryObject(pageComponent, scene)
            const before = UiState.customThemeColors.headerText
            ThemeManager.customTheme.headerText = "#445566"
            page.visible = true
            compare(UiState.customThemeColors.headerText, before, "showing applies nothing")
            page.visible = false
            compare(UiState.customThemeColors.headerText, row.applied ? "#445566" : before)
            compare(ThemeManager.customTheme.headerText.toString(), "#445566", "unapplied edits stay in the palette")
        }
    }
}
