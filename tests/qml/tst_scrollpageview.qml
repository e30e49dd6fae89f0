import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 600
    height: 800

    Component {
        id: viewComponent
        ScrollPageView {
            anchors.fill: parent
        }
    }

    SignalSpy { id: savedSpy; target: ReadingModel; signalName: "positionSaved" }

    TestCase {
        id: testCase
        name: "ScrollPageView"
        when: windowShown

        property var view: null
        property var list: null
        property var animation: null

        function init() {
            UiState.barsVisible = true
            ReadingPreferences.fontSize = 16
            ReadingPreferences.lineSpacing = 1.0
            ReadingPreferences.verticalMargin = 8
            view = createTemporaryObject(viewComponent, scene)
            list = Helpers.findChild(view, c => c.indexAt !== undefined && c.contentY !== undefined)
            animation = Helpers.findChild(view, c => c.easing !== undefined && c.duration === 180)
        }

        function cleanup() {
            Book.close()
            ReadingPreferences.fontSize = 16
            ReadingPreferences.lineSpacing = 1.0
        }

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
            tryCompare(view, "restoreReady", true)
        }

        function topIndex() {
            return list.indexAt(list.width / 2, list.contentY + 10)
        }

        function offsetInTop() {
            return list.contentY - list.itemAtIndex(topIndex()).y
        }

        function settle() {
            tryVerify(() => !animation.running)
        }

        function maxContentY() {
            return list.originY + Math.max(0, list.contentHeight - list.height)
        }

        function test_restoresTheSavedPosition() {
            const path = fixtures.textBook("Scroll restore", 60)
            openBook(path)
            ReadingModel.setScrollPosition(7, 40, 0.2)
            Book.close()
            compare(view.contentReady, false)

            savedSpy.clear()
            Book.openFromPath(path)
            tryCompare(view, "contentReady", true)
            tryCompare(view, "restoreReady", true)
            compare(savedSpy.count, 0, "restoring reports nothing")
            compare(topIndex(), 7)
            fuzzyCompare(offsetInTop(), 40, 1)
        }

        function test_reportsWhereTheReaderStopped() {
            const path = fixtures.textBook("Scroll report", 60)
            openBook(path)
            const start = list.contentY
            view.handlePageDown()
            settle()
            fuzzyCompare(list.contentY, start + list.height * 0.9, 1)
            compare(ReadingModel.currentChunk, topIndex())
            const chunk = topIndex()
            const offset = offsetInTop()
            verify(ReadingModel.progress > 0)

            Book.close()
            openBook(path)
            compare(topIndex(), chunk)
            fuzzyCompare(offsetInTop(), offset, 1)
        }

        // A drag of the scroll bar is reported where it ends, not where the throttled report of
        // the drag's first moves left it, so the page counter shows the page the drag ended on.
        function test_aScrollBarDragIsReportedWhereItEnds() {
            openBook(fixtures.textBook("Scroll bar drag", 60))
            const bar = Helpers.findChild(view, c => c.policy !== undefined && c.position !== undefined)
            verify(bar)
            tryVerify(() => bar.size > 0 && bar.size < 1)
            view.lastScrollSyncTime = 0 // the drag's first move reports at once
            savedSpy.clear()
            const x = bar.width / 2
            const y0 = (bar.position + bar.size / 2) * bar.height
            mousePress(bar, x, y0)
            mouseMove(bar, x, y0 + bar.height * 0.2, -1, Qt.LeftButton)
            const halfway = ReadingModel.currentPage
            mouseMove(bar, x, y0 + bar.height * 0.4, -1, Qt.LeftButton)
            mouseMove(bar, x, y0 + bar.height * 0.5, -1, Qt.LeftButton)
            mouseRelease(bar, x, y0 + bar.height * 0.5)
            verify(savedSpy.count >= 2, "reported during the drag and where it ended")
            const chunk = topIndex()
            verify(chunk > 0)
            compare(ReadingModel.currentChunk, chunk)
            fuzzyCompare(ReadingModel.progress, view._proportion(), 1e-6)
            // A fresh report of the place shown changes nothing: the counter already shows it.
            const page = ReadingModel.currentPage
            verify(page > halfway, page + " after the drag, " + halfway + " on its way")
            view.syncScrollPosition()
            compare(ReadingModel.currentPage, page)
        }

        // Before the restored place shows, the place being restored is reported, never the top.
        function test_aPendingRestoreReportsThePlaceBeingRestored() {
            const path = fixtures.textBook("Scroll asked early", 60)
            openBook(path)
            ReadingModel.setScrollPosition(9, 25, 0.3)
            Book.close()
            // Asked right after the view has taken the announcement, before its restore has run
            // (leaving the reader or closing the window then).
            let reported = null
            const ask = () => {
                view.syncScrollPosition()
                reported = { pending: !view.restoreReady, chunk: ReadingModel.currentChunk,
                             progress: ReadingModel.progress }
            }
            ReadingModel.restoreReady.connect(ask)
            Book.openFromPath(path)
            tryVerify(() => reported !== null)
            ReadingModel.restoreReady.disconnect(ask)
            verify(reported.pending)
            compare(reported.chunk, 9)
            fuzzyCompare(reported.progress, 0.3, 1e-9)
            tryCompare(view, "restoreReady", true)
            compare(topIndex(), 9)
        }

        // The reports write offsets from -10 (a chunk starting just below the top edge) to the
        // chunk's height: each comes back as written, at every reopening.
        function test_aReportedOffsetRestoresAsWritten_data() {
            return [ { tag: "-8", offset: -8 }, { tag: "-10", offset: -10 }, { tag: "12", offset: 12 } ]
        }
        function test_aReportedOffsetRestoresAsWritten(row) {
            const path = fixtures.textBook("Scroll negative offset", 60)
            openBook(path)
            ReadingModel.setScrollPosition(9, row.offset, 0.3)
            for (let reopening = 0; reopening < 2; ++reopening) {
                Book.close()
                openBook(path)
                compare(topIndex(), 9)
                fuzzyCompare(offsetInTop(), row.offset, 0.5)
                view.syncScrollPosition()
            }
        }

        // An offset no chunk has (a damaged store) restores within the chunk, never past the book.
        function test_anOffsetPastItsChunkRestoresWithinIt_data() {
            return [ { tag: "huge", offset: 1e300 }, { tag: "negative", offset: -5000 } ]
        }
        function test_anOffsetPastItsChunkRestoresWithinIt(row) {
            const path = fixtures.textBook("Scroll offset", 60)
            openBook(path)
            ReadingModel.setScrollPosition(9, row.offset, 0.3)
            Book.close()
            openBook(path)
            const item = list.itemAtIndex(9)
            verify(item)
            verify(list.contentY >= item.y - 10 - 1 && list.contentY <= item.y + item.height + 1,
                   "contentY " + list.contentY + " within chunk 9 at " + item.y)
        }

        // A chunk's item stands on whole pixels and holds all of its layout: a height rounded
        // down cuts the descenders of the chunk's last line.
        function test_chunkItemsHoldTheirLayouts() {
            openBook(fixtures.textBook("Scroll heights", 10))
            let fractional = 0
            for (let i = 0; i < 10; ++i) {
                const item = list.itemAtIndex(i)
                if (!item)
                    continue
                compare(item.height, Math.ceil(item.implicitHeight))
                if (item.implicitHeight !== Math.ceil(item.implicitHeight))
                    ++fractional
            }
            verify(fractional > 0, "the fixture's chunks have fractional heights")
        }

        function test_pageKeysStopAtTheEnds() {
            openBook(fixtures.textBook("Scroll ends", 25))
            view.handlePageUp()
            settle()
            compare(list.contentY, list.originY)
            compare(ReadingModel.progress, 0)
            for (let i = 0; i < 100 && list.contentY < maxContentY() - 0.5; ++i) {
                view.handlePageDown()
                settle()
            }
            fuzzyCompare(list.contentY, maxContentY(), 0.5)
            view.handlePageDown()
            settle()
            fuzzyCompare(list.contentY, maxContentY(), 0.5)
            compare(ReadingModel.progress, 1)
        }

        function test_contentShorterThanTheView() {
            openBook(fixtures.textBook("Scroll short", 1, 200))
            view.handlePageDown()
            settle()
            compare(list.contentY, list.originY)
            view.handleScrollDown()
            settle()
            compare(list.contentY, list.originY)
        }

        function test_lineSteps() {
            openBook(fixtures.textBook("Scroll lines", 40))
            ReadingPreferences.lineSpacing = 1.5
            const start = list.contentY
            view.handleScrollDown()
            settle()
            fuzzyCompare(list.contentY, start + 16 * 1.5 * 3, 1)
            view.handleScrollUp()
            settle()
            fuzzyCompare(list.contentY, start, 1)
        }

        function test_aSecondPageDownStartsFromWhereTheFirstHasGot() {
            openBook(fixtures.textBook("Scroll restart", 60))
            const start = list.contentY
            view.handlePageDown()
            tryVerify(() => list.contentY > start + 1)
            verify(animation.running)
            const middle = list.contentY
            view.handlePageDown()
            settle()
            fuzzyCompare(list.contentY, middle + list.height * 0.9, 1)
        }

        function test_fontChangeKeepsThePlaceInTheText() {
            openBook(fixtures.textBook("Scroll font", 60))
            // Half-way into a chunk a few rows down.
            list.contentY = list.itemAtIndex(3).y + list.itemAtIndex(3).height / 2
            view.syncScrollPosition()
            const chunk = topIndex()
            const fraction = offsetInTop() / list.itemAtIndex(chunk).height
            const heightBefore = list.itemAtIndex(chunk).height

            ReadingPreferences.fontSize = 24
            verify(list.itemAtIndex(chunk).height > heightBefore, "laid out anew")
            compare(topIndex(), chunk)
            fuzzyCompare(offsetInTop() / list.itemAtIndex(chunk).height, fraction, 0.02)
            // The model re-announces the position after the font change; it must not move the view.
            wait(100)
            compare(topIndex(), chunk)
            fuzzyCompare(offsetInTop() / list.itemAtIndex(chunk).height, fraction, 0.02)
        }

        function test_spacingChangeKeepsThePlaceInTheText() {
            openBook(fixtures.textBook("Scroll spacing", 60))
            list.contentY = list.itemAtIndex(2).y + list.itemAtIndex(2).height / 3
            const chunk = topIndex()
            const fraction = offsetInTop() / list.itemAtIndex(chunk).height
            ReadingPreferences.lineSpacing = 1.6
            compare(topIndex(), chunk)
            fuzzyCompare(offsetInTop() / list.itemAtIndex(chunk).height, fraction, 0.02)
        }

        function test_verticalMarginInsetsTheList() {
            ReadingPreferences.verticalMargin = 30
            compare(list.y, 30)
            compare(list.height, view.height - 60)
        }

        function test_clickTogglesTheBars() {
            openBook(fixtures.textBook("Scroll click", 20))
            mouseClick(view, view.width / 2, view.height / 2)
            compare(UiState.barsVisible, true, "not before the debounce")
            tryCompare(UiState, "barsVisible", false)
            mouseClick(view, view.width / 2, view.height / 2)
            tryCompare(UiState, "barsVisible", true)
        }

        function test_doubleClickTogglesFullScreenOnly() {
            openBook(fixtures.textBook("Scroll double", 20))
            const window = view.Window.window
            verify(window)
            const before = window.visibility
            mouseDoubleClickSequence(view, view.width / 2, view.height / 2)
            compare(window.visibility, Window.FullScreen)
            wait(300)
            compare(UiState.barsVisible, true)
            mouseDoubleClickSequence(view, view.width / 2, view.height / 2)
            compare(window.visibility, Window.Windowed)
            window.visibility = before
        }

        function test_theScrollBarStripTakesNoClicks() {
            openBook(fixtures.textBook("Scroll strip", 20))
            mouseClick(view, view.width - 8, view.height / 2)
            wait(300)
            compare(UiState.barsVisible, true)
        }

        function test_openingAnotherBookDetachesAtOnce() {
            openBook(fixtures.textBook("Scroll first", 40))
            view.handlePageDown()
            Book.openFromPath(fixtures.textBook("Scroll second", 40))
            compare(view.contentReady, false)
            compare(view.restoreReady, false)
            compare(list.count, 0)
            verify(!animation.running)
            tryCompare(view, "restoreReady", true)
            compare(list.contentY, list.originY)
        }
    }
}
