import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 600
    height: 100

    Component {
        id: footerComponent
        Footer { width: scene.width }
    }

    TestCase {
        name: "Footer"
        when: windowShown

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
        }

        function cleanup() {
            layoutGate.release()
            Book.close()
            ReadingModel.setMangaLandscape(false)
        }

        function toggle(footer, tooltip) {
            return Helpers.findChild(footer, c => c.tooltip === tooltip)
        }

        function counterOf(footer) {
            return Helpers.findChild(footer, c => c.font !== undefined && c.font.pixelSize === 11)
        }

        function spinnerOf(footer) {
            return Helpers.findChild(footer, c => c.text === "\ue863")
        }

        function test_noBook() {
            const footer = createTemporaryObject(footerComponent, scene)
            compare(footer.height, 28)
            verify(!counterOf(footer).visible)
            compare(counterOf(footer).text, "")
        }

        function test_textBook() {
            openBook(fixtures.textBook("Footer text", 40))
            const footer = createTemporaryObject(footerComponent, scene)
            verify(!toggle(footer, "Right-to-left reading (M)").visible)
            verify(!toggle(footer, "Page shift (S)").visible)
            verify(counterOf(footer).visible)
            compare(counterOf(footer).text, ReadingModel.currentPage + "/" + ReadingModel.totalPages)
            verify(ReadingModel.totalPages > 1)
            compare(spinnerOf(footer).visible, ReadingModel.measuring)
            tryCompare(ReadingModel, "measuring", false)
            verify(!spinnerOf(footer).visible)
        }

        function test_spinnerWhileMeasuring() {
            const footer = createTemporaryObject(footerComponent, scene)
            // Far more chunks than the window lays out at once, each with a picture: the held gate
            // keeps the background run waiting on its first image size until it is released.
            layoutGate.hold()
            openBook(fixtures.illustratedBook("Footer long", 120))
            verify(ReadingModel.measuring)
            verify(spinnerOf(footer).visible)
            layoutGate.release()
            tryCompare(ReadingModel, "measuring", false)
            verify(!spinnerOf(footer).visible)
        }

        function test_comicToggles() {
            openBook(fixtures.comicFolder("footer-comic", 6))
            const footer = createTemporaryObject(footerComponent, scene)
            const direction = toggle(footer, "Right-to-left reading (M)")
            const shift = toggle(footer, "Page shift (S)")
            verify(direction.visible)
            verify(shift.visible)
            tryVerify(() => counterOf(footer).text === "1/" + ReadingModel.totalPages)

            compare(ReadingModel.mangaRTL, true)
            compare(direction.iconColor, ThemeManager.currentTheme.buttonAccent)
            mouseClick(direction)
            compare(ReadingModel.mangaRTL, false)
            compare(direction.iconColor, ThemeManager.currentTheme.dimText)
            mouseClick(direction)
            compare(ReadingModel.mangaRTL, true)

            const shiftBefore = ReadingModel.pageShift
            compare(shift.iconColor, shiftBefore ? ThemeManager.currentTheme.buttonAccent : ThemeManager.currentTheme.dimText)
            mouseClick(shift)
            compare(ReadingModel.pageShift, !shiftBefore)
            compare(shift.iconColor, !shiftBefore ? ThemeManager.currentTheme.buttonAccent : ThemeManager.currentTheme.dimText)
            mouseClick(shift)
            compare(ReadingModel.pageShift, shiftBefore)
        }

        function test_shiftPassesTheShownPair() {
            openBook(fixtures.comicFolder("footer-shift", 8))
            ReadingModel.setMangaLandscape(true)
            const footer = createTemporaryObject(footerComponent, scene)
            const spy = createTemporaryObject(rebuiltSpy, scene)
            // Shift on: (0) (1) (2,3) (4,5) (6,7); show the pair (4,5), the fourth.
            tryCompare(ReadingModel, "pageShift", true)
            ReadingModel.setScrollInfo(4, 0.5)
            compare(ReadingModel.currentPage, 4)
            mouseClick(toggle(footer, "Page shift (S)"))
            // Shift off: (0) (1,2) (3,4) (5,6) (7); the left page 4 of the old pair stays in view.
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], 2)
            compare(ReadingModel.currentPage, 3)
        }

        function test_counterCountsPairsInComics() {
            openBook(fixtures.comicFolder("footer-count", 5))
            ReadingModel.setMangaLandscape(false)
            const footer = createTemporaryObject(footerComponent, scene)
            ReadingModel.setScrollInfo(3, 0.75)
            compare(counterOf(footer).text, "4/5")
        }
    }

    Component {
        id: rebuiltSpy
        SignalSpy { target: ReadingModel; signalName: "pagePairsRebuilt" }
    }
}
