import QtQuick
import QtTest
import Vellora

Item {
    id: scene
    width: 600
    height: 800

    Component {
        id: pageComponent
        ReaderPage {
            anchors.fill: parent
            focus: true
        }
    }

    TestCase {
        name: "ReaderPage"
        when: windowShown

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
        }

        function cleanup() {
            Book.close()
        }

        function test_theShownViewTakesTheFocus() {
            const page = createTemporaryObject(pageComponent, scene)
            openBook(fixtures.comicFolder("reader-comic", 4))
            verify(page.pageView === page.mangaView)
            verify(page.mangaView.visible && !page.scrollView.visible)
            tryVerify(() => page.mangaView.activeFocus)

            openBook(fixtures.textBook("Reader text", 20))
            verify(page.pageView === page.scrollView)
            verify(page.scrollView.visible && !page.mangaView.visible)
            verify(page.scrollView.activeFocus, "in the same step as the mode")
            verify(!page.mangaView.focus)

            openBook(fixtures.comicFolder("reader-comic-2", 4))
            verify(page.pageView === page.mangaView)
            verify(page.mangaView.activeFocus)
        }

        function test_arrows_data() {
            return [
                { tag: "text, stored right to left", comic: false, rtl: true, swapped: false },
                { tag: "comic, right to left", comic: true, rtl: true, swapped: true },
                { tag: "comic, left to right", comic: true, rtl: false, swapped: false }
            ]
        }

        function test_arrows(row) {
            const page = createTemporaryObject(pageComponent, scene)
            openBook(row.comic ? fixtures.comicFolder("reader-arrows-" + row.rtl, 4)
                               : fixtures.textBook("Reader arrows", 60))
            ReadingModel.setMangaRTL(row.rtl)
            compare(page.arrowsSwapped, row.swapped)
            if (row.comic) {
                tryCompare(page.mangaView, "contentReady", true)
                page.handleRight()
                compare(page.mangaView.currentPair, row.swapped ? 0 : 1, "Right")
                page.handleLeft()
                page.handleLeft()
                compare(page.mangaView.currentPair, row.swapped ? 2 : 0, "Left")
            } else {
                tryCompare(page.scrollView, "restoreReady", true)
                page.handleRight()
                tryVerify(() => ReadingModel.progress > 0, 2000, "Right goes forward")
                const forward = ReadingModel.progress
                page.handleLeft()
                tryVerify(() => ReadingModel.progress < forward, 2000, "Left goes back")
            }
        }
    }
}
