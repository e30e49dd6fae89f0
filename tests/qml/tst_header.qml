import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 800
    height: 200

    Component {
        id: headerComponent
        Header { width: scene.width }
    }

    SignalSpy { id: loadingSpy; target: Book; signalName: "loadingChanged" }

    TestCase {
        name: "Header"
        when: windowShown

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
        }

        function cleanup() {
            Book.close()
        }

        function titleOf(header) {
            return Helpers.findChild(header, c => c.textFormat !== undefined && c.font && c.font.pixelSize === 16
                                     && !c.font.bold && c.text !== "\u2630")
        }

        function menuButtonOf(header) {
            return Helpers.findChild(header, c => c.flat !== undefined)
        }

        function clockOf(header) {
            return Helpers.findChild(header, c => c.font !== undefined && c.font.bold === true)
        }

        function test_title_data() {
            return [
                { tag: "reader without a book", page: "reader", book: "", title: "" },
                { tag: "reader with a book", page: "reader", book: "Northern Tales", title: "Northern Tales" },
                { tag: "history with a book", page: "history", book: "Northern Tales", title: "" },
                { tag: "starter with a book", page: "starter", book: "Northern Tales", title: "" }
            ]
        }

        function test_title(row) {
            if (row.book !== "")
                openBook(fixtures.textBook(row.book, 3))
            const header = createTemporaryObject(headerComponent, scene, { currentPage: row.page })
            compare(titleOf(header).text, row.title)
        }

        function test_titleFollowsTheBook() {
            const header = createTemporaryObject(headerComponent, scene, { currentPage: "reader" })
            openBook(fixtures.textBook("First Book", 3))
            compare(titleOf(header).text, "First Book")
            Book.close()
            compare(titleOf(header).text, "")
        }

        function test_markupInATitleIsShownAsIs() {
            openBook(fixtures.textBook("<b>Bold &amp; <i>more", 3))
            const header = createTemporaryObject(headerComponent, scene, { currentPage: "reader" })
            const title = titleOf(header)
            compare(title.text, "<b>Bold &amp; <i>more")
            compare(title.textFormat, Text.PlainText)
        }

        function test_menuButton() {
            const header = createTemporaryObject(headerComponent, scene)
            const spy = createTemporaryObject(spyComponent, scene, { target: header })
            const button = menuButtonOf(header)
            verify(button.visible)
            mouseClick(button)
            compare(spy.count, 1)
            header.sidebarOpen = true
            verify(!button.visible)
            mouseClick(header, button.x + button.width / 2, button.y + button.height / 2)
            compare(spy.count, 1, "a hidden button takes no clicks")
            verify(clockOf(header).visible)
        }

        function test_clock() {
            const header = createTemporaryObject(headerComponent, scene)
            tryVerify(() => /^\d\d:\d\d:\d\d$/.test(clockOf(header).text), 1000, clockOf(header).text)
            compare(header.clockTextFor(new Date(2024, 0, 1, 0, 0, 0)), "00:00:00")
            compare(header.clockTextFor(new Date(2024, 0, 1, 9, 5, 7)), "09:05:07")
            compare(header.clockTextFor(new Date(2024, 0, 1, 23, 59, 59)), "23:59:59")
        }

        function test_collapses() {
            const header = createTemporaryObject(headerComponent, scene)
            compare(header.height, 64)
            header.barsVisible = false
            verify(header.height > 0, "animated, not at once")
            tryCompare(header, "height", 0)
            header.barsVisible = true
            tryCompare(header, "height", 64)
            verify(header.clip)
        }
    }

    Component {
        id: spyComponent
        SignalSpy { signalName: "menuClicked" }
    }
}
