import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 600
    height: 600

    Component {
        id: barComponent
        SideBar { height: scene.height }
    }

    Component {
        id: buttonComponent
        SideBarButton {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "SideBar"
        when: windowShown

        function cleanup() {
            ThemeManager.setDarkTheme()
        }

        function spyOn(target, signalName) {
            return createTemporaryObject(spyComponent, scene, { target: target, signalName: signalName })
        }

        function buttonTitled(bar, title) {
            return Helpers.findChild(bar, c => c.rightIconText !== undefined && c.title === title)
        }

        function openBar() {
            const bar = createTemporaryObject(barComponent, scene, { sidebarOpen: true })
            compare(bar.width, 240, "the first width is taken at once")
            return bar
        }

        // What each row does: a signal with its argument, or a theme it switches to.
        function test_rows_data() {
            return [
                { tag: "History", title: "History", right: false, page: "history", file: 0, theme: "light" },
                { tag: "Files", title: "Files", right: false, page: "", file: 1, theme: "light" },
                { tag: "Dark Theme", title: "Dark Theme", right: false, page: "", file: 0, theme: "dark" },
                { tag: "Light Theme", title: "Light Theme", right: false, page: "", file: 0, theme: "light" },
                { tag: "Custom Theme", title: "Custom Theme", right: false, page: "", file: 0, theme: "custom" },
                { tag: "Custom Theme's edit glyph", title: "Custom Theme", right: true, page: "customTheme", file: 0,
                  theme: "custom" },
                { tag: "Settings", title: "Settings", right: false, page: "settings", file: 0, theme: "light" },
                { tag: "Update", title: "Update", right: false, page: "update", file: 0, theme: "light" }
            ]
        }

        function test_rows(row) {
            const bar = openBar()
            ThemeManager.setLightTheme()
            const navigate = spyOn(bar, "navigateTo")
            const file = spyOn(bar, "openFile")
            const close = spyOn(bar, "closeDrawer")
            let themeWhenNavigating = ""
            bar.navigateTo.connect(() => themeWhenNavigating = ThemeManager.currentThemeName)

            const button = buttonTitled(bar, row.title)
            verify(button, row.title)
            mouseClick(button, row.right ? button.width - 10 : 60, button.height / 2)

            compare(navigate.count, row.page === "" ? 0 : 1)
            if (row.page !== "") {
                compare(navigate.signalArguments[0][0], row.page)
                compare(themeWhenNavigating, row.theme, "the theme is switched before the page is asked for")
            }
            compare(file.count, row.file)
            compare(close.count, 0)
            compare(ThemeManager.currentThemeName, row.theme)
            compare(UiState.themeName, row.theme)
            verify(bar.sidebarOpen, "no row closes the bar")
        }

        function test_rowsStandInTheirPlaces() {
            const bar = openBar()
            const titles = ["History", "Files", "Dark Theme", "Light Theme", "Custom Theme", "Settings", "Update"]
            const tops = [64, 112, 161, 209, 257, 306, 354]
            for (let i = 0; i < titles.length; ++i) {
                const button = buttonTitled(bar, titles[i])
                compare(button.mapToItem(bar, 0, 0).y, tops[i], titles[i])
                compare(button.width, 240, titles[i])
                compare(button.rightIconText !== "", titles[i] === "Custom Theme", titles[i])
            }
        }

        function test_closeButtonOnlyAsks() {
            const bar = openBar()
            const close = spyOn(bar, "closeDrawer")
            const navigate = spyOn(bar, "navigateTo")
            const button = Helpers.findChild(bar, c => c.iconText === "\ue5cb")
            mouseClick(button)
            compare(close.count, 1)
            compare(navigate.count, 0)
            verify(bar.sidebarOpen)
            compare(bar.width, 240)
        }

        function test_opensAndClosesAnimated() {
            const bar = createTemporaryObject(barComponent, scene)
            compare(bar.width, 0)
            bar.sidebarOpen = true
            verify(bar.width < 240, "animated, not at once")
            tryCompare(bar, "width", 240)
            bar.sidebarOpen = false
            verify(bar.width > 0, "animated, not at once")
            tryVerify(() => bar.width < 200 && bar.width > 0)
            const reached = bar.width
            const history = buttonTitled(bar, "History")
            compare(history.width, 240, "rows are clipped, never squeezed")
            bar.sidebarOpen = true
            verify(Math.abs(bar.width - reached) < 40, "turning back starts from the width reached")
            tryCompare(bar, "width", 240)
            verify(bar.clip)
        }
    }

    TestCase {
        name: "SideBarButton"
        when: windowShown

        function test_widthAndZones_data() {
            return [
                { tag: "no right glyph", right: "", mainWidth: 240 },
                { tag: "with a right glyph", right: "\ue3c9", mainWidth: 196 }
            ]
        }

        function test_widthAndZones(row) {
            const parentless = createTemporaryObject(buttonComponent, null)
            compare(parentless.width, 240)
            const button = createTemporaryObject(buttonComponent, scene, { rightIconText: row.right })
            compare(button.width, scene.width, "as wide as its container")
            button.width = 240
            compare(button.height, 48)
            const clicked = createTemporaryObject(spyComponent, scene, { target: button, signalName: "clicked" })
            const right = createTemporaryObject(spyComponent, scene, { target: button, signalName: "rightIconClicked" })

            mouseClick(button, row.mainWidth - 1, 24)
            compare(clicked.count, 1, "the last pixel of the main area")
            compare(right.count, 0)
            mouseClick(button, 239, 24)
            compare(clicked.count, row.right === "" ? 2 : 1)
            compare(right.count, row.right === "" ? 0 : 1)
        }

        function test_hover() {
            const button = createTemporaryObject(buttonComponent, scene, { rightIconText: "\ue3c9" })
            button.width = 240
            const glyph = Helpers.findChild(button, c => c.text === "\ue3c9")
            const plain = ThemeManager.currentTheme.sidebarButtonText
            mouseMove(scene, 500, 500)
            tryCompare(button, "color", Qt.rgba(0, 0, 0, 0))
            mouseMove(button, 100, 24)
            tryCompare(button, "color", Qt.lighter(ThemeManager.currentTheme.headerBg, 1.3))
            compare(glyph.color.toString(), plain.toString())
            mouseMove(button, 220, 24)
            tryCompare(button, "color", Qt.rgba(0, 0, 0, 0))
            compare(glyph.color.toString(), Qt.lighter(plain, 1.3).toString(), "the right glyph lights up")
            mouseMove(button, 100, 24)
            tryCompare(glyph, "color", plain)
        }
    }
}
