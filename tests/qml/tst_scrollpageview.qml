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
