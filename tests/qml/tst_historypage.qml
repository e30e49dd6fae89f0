import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 500
    height: 600

    Component {
        id: pageComponent
        HistoryPage { anchors.fill: parent }
    }

    SignalSpy { id: loadingSpy; target: Book; signalName: "loadingChanged" }

    TestCase {
        name: "HistoryPage"
        when: windowShown

        function init() {
            Book.close()
            HistoryModel.clear()
            loadingSpy.clear()
        }

        function cleanup() {
            Book.close()
            HistoryModel.clear()
        }

        function emptyTextOf(page) {
            return Helpers.findChild(page, c => c.text !== undefined && String(c.text).startsWith("No books read yet."))
        }

        function listOf(page) {
            return Helpers.findChild(page, c => c.contentY !== undefined && c.model === HistoryModel)
        }

        function cardAt(page, row) {
            const list = listOf(page)
            list.forceLayout()
            return list.itemAtIndex(row)
        }

        // The info column's lines, top to bottom: title, format, author, percentage.
        function linesOf(card) {
            const column = Helpers.findChild(card, c => c.spacing === 3)
            return column.children
        }

        function test_emptyTextAndListSwap() {
            const page = createTemporaryObject(pageComponent, scene)
            const empty = emptyTextOf(page)
            compare(empty.text, "No books read yet.\nOpen a book to start your history.")
            verify(empty.visible)
            verify(!listOf(page).visible)

            HistoryModel.addOrUpdateBook("/nowhere/only.txt", 0.5)
            verify(!empty.visible)
            verify(listOf(page).visible)

            const card = cardAt(page, 0)
            const remove = Helpers.findChild(card, c => c.iconText === "\ue872")
            mouseClick(remove)
            compare(HistoryModel.count, 0)
            verify(empty.visible, "removing the last card shows the text at once")
            verify(!listOf(page).visible)
            compare(loadingSpy.count, 0, "removing opens nothing")
        }

        function test_percentage_data() {
            return [
                { tag: "0", progress: 0, text: "0%" },
                { tag: "0.125 rounds half up", progress: 0.125, text: "13%" },
                { tag: "0.375", progress: 0.375, text: "38%" },
                { tag: "0.285 is 28.499… in doubles", progress: 0.285, text: "28%" },
                { tag: "1", progress: 1, text: "100%" }
            ]
        }

        function test_percentage(row) {
            const page = createTemporaryObject(pageComponent, scene)
            HistoryModel.addOrUpdateBook("/nowhere/percent.txt", row.progress)
            const lines = linesOf(cardAt(page, 0))
            compare(lines[3].text, row.text)
        }

        function test_cardFollowsItsRow() {
            const page = createTemporaryObject(pageComponent, scene)
            const folder = fixtures.comicFolder("History Comic", 3)
            HistoryModel.addOrUpdateBook(folder, 0.25)
            const card = cardAt(page, 0)
            const lines = linesOf(card)
            compare(lines[0].text, "Unknown Title", "before the metadata has been read")
            compare(lines[1].text, "Folder")
            verify(!lines[2].visible, "no author line")
            compare(lines[3].text, "25%")

            const images = card.children[0].children[0].children
            const icon = images[0]
            const cover = images[1]
            compare(icon.source.toString(), "image://fileicon/" + folder)
            compare(icon.sourceSize, Qt.size(60, 80))

            tryCompare(lines[0], "text", "History Comic")
            tryCompare(cover, "status", Image.Ready)
            verify(cover.visible)
            verify(!icon.visible, "the cover replaces the file icon")
            compare(cover.sourceSize, Qt.size(60, 80))
            compare(card.height, Helpers.findChild(card, c => c.spacing === 3).implicitHeight + 24)

            // A newer row comes first; the card of the first row follows the model's order.
            HistoryModel.addOrUpdateBook("/nowhere/newer.txt", 0)
            compare(linesOf(cardAt(page, 0))[1].text, "TXT")
            compare(linesOf(cardAt(page, 1))[0].text, "History Comic")
            HistoryModel.removeBook("/nowhere/newer.txt")
            compare(linesOf(cardAt(page, 0))[0].text, "History Comic")
        }

        function test_textsFromTheBookAreNotMarkup() {
            const page = createTemporaryObject(pageComponent, scene)
            const name = "<b>Bold &amp; <img src=\"cover.png\"> and a title far too long to fit on a card"
            HistoryModel.addOrUpdateBook(fixtures.textBook(name, 2), 0)
            const title = linesOf(cardAt(page, 0))[0]
            tryCompare(title, "text", name)
            compare(title.textFormat, Text.PlainText)
            verify(title.truncated, "elided at the right")
        }

        function test_clicks_data() {
            return [
                { tag: "the card's margin", x: 4, y: 4, opens: true },
                { tag: "the cover slot", x: 44, y: -1, opens: true },
                { tag: "the title", x: 150, y: -1, opens: true },
                { tag: "the gap below the card", x: 150, y: "gap", opens: false }
            ]
        }

        function test_clicks(row) {
            const page = createTemporaryObject(pageComponent, scene)
            const book = fixtures.textBook("History click", 3)
            HistoryModel.addOrUpdateBook("/nowhere/second.txt", 0, "2000-01-01T00:00:00Z")
            HistoryModel.addOrUpdateBook(book, 0)
            const card = cardAt(page, 0)
            const y = row.y === "gap" ? card.height + 4 : (row.y < 0 ? card.height / 2 : row.y)
            mouseClick(card, row.x, y)
            if (row.opens) {
                verify(Book.loading || Book.hasBook, "the click opens the card's book")
                tryCompare(Book, "loading", false)
                compare(Book.filePath, book)
            } else {
                compare(loadingSpy.count, 0)
            }
            compare(HistoryModel.count, 2)
        }
    }
}
