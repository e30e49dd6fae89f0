import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 800
    height: 800

    Component {
        id: viewComponent
        MangaPageView {
            width: 400
            height: 600
        }
    }

    SignalSpy { id: savedSpy; target: ReadingModel; signalName: "positionSaved" }

    TestCase {
        name: "MangaPageView"
        when: windowShown

        property var view: null
        property var pageArea: null

        function init() {
            UiState.barsVisible = true
            view = createTemporaryObject(viewComponent, scene)
            pageArea = Helpers.findChild(view, c => c.pair !== undefined && c.hasTwoPages !== undefined)
        }

        function cleanup() {
            Book.close()
            ReadingModel.setMangaLandscape(false)
        }

        function openComic(name, pages, wide) {
            Book.openFromPath(fixtures.comicFolder(name, pages, wide || []))
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
            tryCompare(view, "contentReady", true)
        }

        // Landscape makes the model regroup after the view's 150 ms debounce.
        function turn(toLandscape) {
            const pairs = ReadingModel.totalPagePairs
            view.width = toLandscape ? 800 : 400
            view.height = toLandscape ? 400 : 600
            compare(view.landscape, toLandscape)
            tryVerify(() => ReadingModel.totalPagePairs !== pairs)
        }

        function images() {
            const all = Array.from(pageArea.children).filter(c => c.sourceSize !== undefined && c.fillMode !== undefined)
            return { left: all[0], right: all[1] }
        }

        function test_opensAtTheFirstPairAndReportsIt() {
            openComic("manga-open", 5)
            compare(view.currentPair, 0)
            compare(pageArea.pair, [0])
            compare(ReadingModel.totalPagePairs, 5)
            compare(ReadingModel.currentPage, 1)
            const img = images()
            verify(img.left.visible)
            verify(!img.right.visible)
            compare(img.left.width, pageArea.width)
            compare(img.left.horizontalAlignment, Image.AlignHCenter)
            tryCompare(img.left, "status", Image.Ready)
        }

        function test_navigationStopsAtBothEnds() {
            openComic("manga-ends", 3)
            view.previousPair()
            compare(view.currentPair, 0)
            view.handlePageDown()
            view.handleScrollDown()
            compare(view.currentPair, 2)
            compare(ReadingModel.progress, 1)
            savedSpy.clear()
            view.nextPair()
            compare(view.currentPair, 2)
            compare(savedSpy.count, 0)
            view.handlePageUp()
            view.handleScrollUp()
            compare(view.currentPair, 0)
            compare(ReadingModel.progress, 0)
        }

        function test_restoresTheSavedPage() {
            const path = fixtures.comicFolder("manga-restore", 6)
            Book.openFromPath(path)
            tryCompare(view, "contentReady", true)
            view.showPair(4)
            Book.close()
            compare(view.contentReady, false)
            compare(pageArea.pair, [])
            Book.openFromPath(path)
            tryCompare(view, "contentReady", true)
            compare(view.currentPair, 4)
            compare(pageArea.pair, [4])
        }

        function test_rightToLeftPairPutsTheLaterPageLeft() {
            openComic("manga-rtl", 6)
            turn(true)
            // Shift on: (0) (1) (2,3) (4,5).
            view.showPair(2)
            compare(pageArea.pair, [2, 3])
            compare(ReadingModel.mangaRTL, true)
            compare(pageArea.leftChunk, 3)
            compare(pageArea.rightChunk, 2)
            const img = images()
            compare(img.left.horizontalAlignment, Image.AlignRight)
            compare(img.right.horizontalAlignment, Image.AlignLeft)
            compare(img.left.width, pageArea.width / 2)
            compare(img.right.x, pageArea.width / 2)
            tryCompare(img.right, "status", Image.Ready)
            ReadingModel.setMangaRTL(false)
            compare(pageArea.leftChunk, 2)
            compare(pageArea.rightChunk, 3)
        }

        function test_taps_data() {
            return [
                { tag: "left third, right to left", rtl: true, x: 50, pair: 2, bars: true },
                { tag: "right third, right to left", rtl: true, x: 350, pair: 0, bars: true },
                { tag: "left third, left to right", rtl: false, x: 50, pair: 0, bars: true },
                { tag: "right third, left to right", rtl: false, x: 350, pair: 2, bars: true },
                { tag: "middle", rtl: true, x: 200, pair: 1, bars: false }
            ]
        }

        function test_taps(row) {
            openComic("manga-tap-" + row.rtl, 4)
            ReadingModel.setMangaRTL(row.rtl)
            view.showPair(1)
            mouseClick(view, row.x, 300)
            compare(view.currentPair, 1, "not before the debounce")
            tryVerify(() => view.currentPair !== 1 || UiState.barsVisible !== true)
            compare(view.currentPair, row.pair)
            compare(UiState.barsVisible, row.bars)
        }

        function test_swipes_data() {
            return [
                { tag: "rightwards, left to right", rtl: false, dx: 120, pair: 2 },
                { tag: "leftwards, left to right", rtl: false, dx: -120, pair: 0 },
                { tag: "rightwards, right to left", rtl: true, dx: 120, pair: 0 },
                { tag: "leftwards, right to left", rtl: true, dx: -120, pair: 2 }
            ]
        }

        function test_swipes(row) {
            openComic("manga-swipe-" + row.rtl, 4)
            ReadingModel.setMangaRTL(row.rtl)
            view.showPair(1)
            const from = row.dx > 0 ? 100 : 300
            mouseDrag(view, from, 300, row.dx, 0)
            compare(view.currentPair, row.pair)
            wait(250)
            compare(view.currentPair, row.pair, "no tap follows a swipe")
        }

        function test_shortDragIsNeitherSwipeNorTap() {
            openComic("manga-drag", 4)
            view.showPair(1)
            // 12 % of 400 is 48 pixels.
            mousePress(view, 200, 300)
            mouseMove(view, 209, 300)
            mouseMove(view, 247, 300)
            mouseRelease(view, 247, 300)
            wait(250)
            compare(view.currentPair, 1)
            compare(UiState.barsVisible, true)
        }

        function test_doubleClickTogglesFullScreenWithoutATap() {
            openComic("manga-double", 4)
            view.showPair(1)
            const window = view.Window.window
            const before = window.visibility
            mouseDoubleClickSequence(view, 50, 300)
            compare(window.visibility, Window.FullScreen)
            wait(250)
            compare(view.currentPair, 1)
            compare(UiState.barsVisible, true)
            mouseDoubleClickSequence(view, 200, 300)
            compare(window.visibility, Window.Windowed)
            wait(250)
            compare(UiState.barsVisible, true)
            window.visibility = before
        }

        function test_turningKeepsThePage() {
            openComic("manga-turn", 8)
            // Portrait: one page a pair; page 5 is pair 5.
            view.showPair(5)
            turn(true)
            // Landscape with shift: (0) (1) (2,3) (4,5) (6,7).
            compare(ReadingModel.totalPagePairs, 5)
            compare(pageArea.pair, [4, 5])
            compare(view.currentPair, 3)
            compare(ReadingModel.currentChunk, 4)

            view.showPair(4)
            compare(pageArea.pair, [6, 7])
            turn(false)
            compare(pageArea.pair, [6])
            compare(view.currentPair, 6)
            compare(ReadingModel.currentPage, 7)
        }

        function test_singlePairReportsProportionZero() {
            openComic("manga-single", 1)
            compare(ReadingModel.totalPagePairs, 1)
            compare(ReadingModel.progress, 0)
            view.nextPair()
            compare(view.currentPair, 0)
        }

        function test_pageShiftReshowsThePair() {
            openComic("manga-shift", 6)
            turn(true)
            // Shift on: (0) (1) (2,3) (4,5); off: (0) (1,2) (3,4) (5).
            view.showPair(2)
            ReadingModel.setPageShift(false, view.currentPair)
            compare(pageArea.pair, [1, 2])
            compare(view.currentPair, 1)
        }
    }
}
