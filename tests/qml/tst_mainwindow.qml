import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 200
    height: 200

    Component {
        id: mainComponent
        Main {}
    }

    SignalSpy { id: savedSpy; target: ReadingModel; signalName: "positionSaved" }
    SignalSpy { id: widthSpy; target: UiState; signalName: "windowWidthChanged" }
    SignalSpy { id: xSpy; target: UiState; signalName: "windowXChanged" }

    TestCase {
        id: testCase
        name: "MainWindow"
        when: windowShown

        property var win: null
        property var pageWrites: []

        Connections {
            target: UiState
            function onLastPageChanged() { testCase.pageWrites.push(UiState.lastPage) }
        }

        function init() {
            Book.close()
            Book.clearError()
            UiState.lastFilePath = ""
            UiState.lastPage = "starter"
            UiState.sidebarOpen = false
            UiState.barsVisible = true
            UiState.windowWidth = 1024
            UiState.windowHeight = 768
            UiState.windowX = -1
            UiState.windowY = -1
            UiState.themeName = "dark"
            pageWrites = []
        }

        function cleanup() {
            Book.close()
            Book.clearError()
            win = null
        }

        function start() {
            win = createTemporaryObject(mainComponent, scene)
            tryCompare(win, "opacity", 1)
            return win
        }

        function child(predicate) {
            return Helpers.findChild(win.contentItem, predicate)
        }
        function sidebar() { return child(c => c.openFile !== undefined && c.navigateTo !== undefined) }
        function header() { return child(c => c.menuClicked !== undefined) }
        function readerPage() { return child(c => c.pageView !== undefined && c.scrollView !== undefined) }
        function busy() { return child(c => c.running !== undefined && c.z === 10) }
        function errorPopup() { return child(c => c.z === 3000) }
        function footerLoader() { return child(c => c.sourceComponent !== undefined && c.parent === header().parent) }
        function updateLoader() { return child(c => c.sourceComponent !== undefined && c.z === 2000) }
        function textList() {
            return Helpers.findChild(readerPage().scrollView, c => c.indexAt !== undefined && c.contentY !== undefined)
        }

        function openAndRead(path) {
            Book.openFromPath(path)
            tryCompare(win, "currentPage", "reader")
            verify(Book.hasBook, Book.errorMessage)
            const view = readerPage().pageView
            if (ReadingModel.isTextMode)
                tryCompare(view, "restoreReady", true)
            else
                tryCompare(view, "contentReady", true)
            return view
        }

        // ---- navigation ----

        function test_navigation_data() {
            return [
                { tag: "settings without a book shows the starter page", from: "history", to: "settings",
                  page: "starter", settings: true, update: false, writes: ["starter"] },
                { tag: "update keeps the page", from: "history", to: "update",
                  page: "history", settings: false, update: true, writes: [] },
                { tag: "the current page again only closes the popups", from: "history", to: "history",
                  page: "history", settings: false, update: false, writes: [] },
                { tag: "another page", from: "starter", to: "customTheme",
                  page: "customTheme", settings: false, update: false, writes: ["customTheme"] }
            ]
        }

        function test_navigation(row) {
            UiState.lastPage = row.from
            start()
            compare(win.currentPage, row.from)
            win.settingsOpen = true
            win.updateOpen = true
            pageWrites = []
            sidebar().navigateTo(row.to)
            compare(win.currentPage, row.page)
            compare(win.settingsOpen, row.settings)
            compare(win.updateOpen, row.update)
            compare(pageWrites, row.writes)
            compare(UiState.lastPage, row.page)
            compare(footerLoader().active, false, "no footer outside the reader")
        }

        // Opening from the history page keeps it, busy, until the position is back; leaving the
        // reader saves the place the view shows, closes the book and lands on the requested page.
        function test_openingAndLeavingTheReader() {
            UiState.lastPage = "history"
            start()
            const path = fixtures.textBook("Window leave", 80)
            Book.openFromPath(path)
            verify(win._bookInitializing)
            verify(busy().running)
            compare(win.currentPage, "history")
            const view = openAndRead(path)
            verify(!busy().running)
            verify(footerLoader().item, "the footer is built")

            // Moves the view twice within the view's report interval: only the leaving reports the last.
            const list = textList()
            list.contentY += 300
            list.contentY += 300
            const place = view._proportion()
            verify(place > 0)
            pageWrites = []
            let saved = null
            const record = () => saved = { chunk: ReadingModel.currentChunk, progress: ReadingModel.progress }
            ReadingModel.positionSaved.connect(record)
            sidebar().navigateTo("customTheme")
            ReadingModel.positionSaved.disconnect(record)
            verify(!Book.hasBook)
            compare(win.currentPage, "customTheme")
            compare(pageWrites, ["history", "customTheme"])
            verify(saved, "leaving the reader stores the place")
            fuzzyCompare(saved.progress, place, 1e-6)

            // The proportion after reopening rests on content heights that are still being
            // measured, so the place itself is compared by its chunk.
            openAndRead(path)
            compare(ReadingModel.currentChunk, saved.chunk)
            fuzzyCompare(ReadingModel.progress, place, 0.02)
        }

        function test_navigatingWhileLoadingCancelsTheOpening() {
            UiState.lastPage = "history"
            start()
            Book.openFromPath(fixtures.textBook("Window cancel", 200))
            verify(busy().running)
            sidebar().navigateTo("starter")
            verify(!Book.loading)
            verify(!busy().running)
            compare(win.currentPage, "starter")
            wait(300)
            compare(win.currentPage, "starter", "no restore follows")
            verify(!Book.hasBook)
        }

        // ---- failed openings ----

        function test_failedOpening_data() {
            return [
                { tag: "unknown format on the history page", fromReader: false, file: "notes.unknown",
                  page: "history", message: "No format reader available for this file type" },
                { tag: "junk book from the reader with hidden chrome", fromReader: true, file: "junk.epub",
                  page: "history", message: "" }
            ]
        }

        function test_failedOpening(row) {
            UiState.lastPage = "history"
            start()
            if (row.fromReader) {
                openAndRead(fixtures.textBook("Window before junk", 10))
                UiState.barsVisible = false
                tryCompare(header(), "height", 0)
                compare(sidebar().width, 0)
            }
            Book.openFromPath(fixtures.file(row.file, "not a book at all"))
            tryCompare(errorPopup(), "visible", true)
            if (row.message !== "")
                compare(Book.errorMessage, row.message)
            compare(win.currentPage, row.page)
            verify(!busy().running)
            verify(UiState.barsVisible)
            tryCompare(header(), "height", ThemeManager.headerHeight)
            tryCompare(sidebar(), "width", ThemeManager.sidebarWidth)

            Book.close()
            verify(errorPopup().visible, "closing leaves the message")
            mouseClick(Helpers.findChild(errorPopup(), c => c.text === "Ok" && c.clicked !== undefined))
            compare(Book.errorMessage, "")
            verify(!errorPopup().visible)
        }

        // ---- start-up ----

        function test_startUp_data() {
            return [
                { tag: "last book into hidden chrome", book: "text", lastPage: "reader", bars: false, sidebar: true,
                  page: "reader", barsAfter: false, sidebarAfter: true, lastPageAfter: "reader" },
                { tag: "last book cannot be opened", book: "junk", lastPage: "reader", bars: false, sidebar: true,
                  page: "starter", barsAfter: true, sidebarAfter: true, lastPageAfter: "reader" },
                { tag: "no last book, history", book: "", lastPage: "history", bars: false, sidebar: false,
                  page: "history", barsAfter: true, sidebarAfter: true, lastPageAfter: "history" },
                { tag: "no last book, theme editor", book: "", lastPage: "customTheme", bars: true, sidebar: false,
                  page: "starter", barsAfter: true, sidebarAfter: true, lastPageAfter: "customTheme" }
            ]
        }

        function test_startUp(row) {
            if (row.book === "text")
                UiState.lastFilePath = fixtures.textBook("Window restore", 30)
            else if (row.book === "junk")
                UiState.lastFilePath = fixtures.file("restore-junk.epub", "PK no zip")
            UiState.lastPage = row.lastPage
            UiState.barsVisible = row.bars
            UiState.sidebarOpen = row.sidebar
            win = createTemporaryObject(mainComponent, scene)
            if (row.book !== "")
                compare(header().barsVisible, row.bars, "the chrome of the last page while the book loads")
            tryCompare(win, "opacity", 1)
            if (row.book !== "") {
                if (row.page === "reader")
                    tryCompare(win, "currentPage", "reader")
                else
                    tryCompare(errorPopup(), "visible", true)
            }
            compare(win.currentPage, row.page)
            verify(!win._bookInitializing)
            verify(!win._startupRestore)
            compare(UiState.barsVisible, row.barsAfter)
            compare(UiState.sidebarOpen, row.sidebarAfter)
            compare(UiState.lastPage, row.lastPageAfter)
            tryCompare(header(), "height", row.barsAfter ? ThemeManager.headerHeight : 0)
            tryCompare(sidebar(), "width", row.barsAfter && row.sidebarAfter ? ThemeManager.sidebarWidth : 0)
        }

        // ---- geometry ----

        function test_storedGeometry_data() {
            return [
                { tag: "size and place", w: 700, h: 500, x: 40, y: 30, expW: 700, expH: 500, placed: true },
                { tag: "no width", w: 0, h: 500, x: -1, y: -1, expW: 1024, expH: 768, placed: false },
                { tag: "negative size", w: -20, h: -10, x: -1, y: -1, expW: 1024, expH: 768, placed: false },
                { tag: "negative x", w: 700, h: 500, x: -1, y: 300, expW: 700, expH: 500, placed: false },
                { tag: "negative y", w: 700, h: 500, x: 200, y: -5, expW: 700, expH: 500, placed: false },
                { tag: "off every screen", w: 700, h: 500, x: 90000, y: 90000, expW: 700, expH: 500, placed: false }
            ]
        }

        function test_storedGeometry(row) {
            UiState.windowWidth = row.w
            UiState.windowHeight = row.h
            UiState.windowX = row.x
            UiState.windowY = row.y
            start()
            compare(win.width, row.expW)
            compare(win.height, row.expH)
            if (row.placed) {
                compare(win.x, row.x)
                compare(win.y, row.y)
            } else {
                verify(win.x !== row.x || win.y !== row.y)
            }
        }

        function test_geometryIsWrittenOnceAfterABurst() {
            start()
            wait(400) // whatever the window system did at start has been written
            widthSpy.clear()
            xSpy.clear()
            win.width = 900
            win.width = 910
            win.x = 12
            win.width = 920
            tryCompare(UiState, "windowWidth", 920)
            compare(widthSpy.count, 1)
            compare(xSpy.count, 1)
            compare(UiState.windowX, 12)
            compare(UiState.windowHeight, win.height)
            compare(UiState.windowY, win.y)
        }

        // ---- shortcuts ----

        function test_movingKeys_data() {
            return [
                { tag: "comic, right to left, Left goes on", comic: true, rtl: true, key: Qt.Key_Left, forward: true },
                { tag: "comic, right to left, Right goes back", comic: true, rtl: true, key: Qt.Key_Right, forward: false },
                { tag: "comic, left to right, Left goes back", comic: true, rtl: false, key: Qt.Key_Left, forward: false },
                { tag: "comic, left to right, Right goes on", comic: true, rtl: false, key: Qt.Key_Right, forward: true },
                { tag: "comic, right to left, Page Down goes on", comic: true, rtl: true, key: Qt.Key_PageDown, forward: true },
                { tag: "comic, right to left, Page Up goes back", comic: true, rtl: true, key: Qt.Key_PageUp, forward: false },
                { tag: "text, stored right to left, Left goes back", comic: false, rtl: true, key: Qt.Key_Left, forward: false },
                { tag: "text, Right goes on", comic: false, rtl: true, key: Qt.Key_Right, forward: true },
                { tag: "text, Page Down goes on", comic: false, rtl: false, key: Qt.Key_PageDown, forward: true },
                { tag: "text, Page Up goes back", comic: false, rtl: false, key: Qt.Key_PageUp, forward: false }
            ]
        }

        function test_movingKeys(row) {
            start()
            const view = openAndRead(row.comic ? fixtures.comicFolder("keys-comic-" + row.rtl + "-" + row.key, 6)
                                               : fixtures.textBook("Window keys", 80))
            if (row.comic) {
                ReadingModel.setMangaRTL(row.rtl)
                view.handlePageDown()
                compare(view.currentPair, 1)
                keyClick(row.key)
                compare(view.currentPair, row.forward ? 2 : 0)
            } else {
                view.handlePageDown()
                tryVerify(() => ReadingModel.progress > 0)
                tryVerify(() => !Helpers.findChild(view, c => c.easing !== undefined && c.duration === 180).running)
                const before = ReadingModel.progress
                keyClick(row.key)
                if (row.forward)
                    tryVerify(() => ReadingModel.progress > before, 2000)
                else
                    tryVerify(() => ReadingModel.progress < before, 2000)
            }
        }

        function test_keysOffTheReaderDoNothing() {
            UiState.lastPage = "history"
            start()
            keyClick(Qt.Key_Space)
            verify(UiState.barsVisible)
            keyClick(Qt.Key_Left)
            keyClick(Qt.Key_PageDown)
            compare(win.currentPage, "history")

            keyClick(Qt.Key_F)
            tryCompare(win, "visibility", Window.FullScreen)
            keyClick(Qt.Key_F11)
            tryCompare(win, "visibility", Window.Windowed)
        }

        function test_chromeAndComicKeys_data() {
            return [
                { tag: "text", comic: false },
                { tag: "comic", comic: true }
            ]
        }

        function test_chromeAndComicKeys(row) {
            start()
            openAndRead(row.comic ? fixtures.comicFolder("keys-chrome", 4) : fixtures.textBook("Window chrome", 20))
            keyClick(Qt.Key_Space)
            verify(!UiState.barsVisible)
            tryCompare(header(), "height", 0)
            verify(!footerLoader().active)
            keyClick(Qt.Key_Space)
            verify(UiState.barsVisible)
            // The chrome's return resizes the text view, which may report its place; let that
            // settle so that only what M and S do is counted.
            tryCompare(header(), "height", ThemeManager.headerHeight)
            tryVerify(() => footerLoader().active)
            wait(400)

            const rtl = ReadingModel.mangaRTL
            const shift = ReadingModel.pageShift
            savedSpy.clear()
            keyClick(Qt.Key_M)
            keyClick(Qt.Key_S)
            compare(ReadingModel.mangaRTL, row.comic ? !rtl : rtl)
            compare(ReadingModel.pageShift, row.comic ? !shift : shift)
            if (!row.comic)
                compare(savedSpy.count, 0, "a text book's place is left alone")
        }

        // "S" regroups the pairs around the page shown, as the footer's toggle does.
        function test_pageShiftKeyKeepsTheShownPage() {
            start()
            const view = openAndRead(fixtures.comicFolder("keys-shift", 8))
            tryVerify(() => ReadingModel.totalPagePairs > 0 && ReadingModel.totalPagePairs < 8)
            view.showPair(3)
            const shown = ReadingModel.pagePair(3)
            const shift = ReadingModel.pageShift
            keyClick(Qt.Key_S)
            compare(ReadingModel.pageShift, !shift)
            const kept = ReadingModel.pagePair(view.currentPair)
            verify(shown.some(page => kept.indexOf(page) >= 0), JSON.stringify(shown) + " -> " + JSON.stringify(kept))
        }

        function test_updatePopupTakesTheKeys() {
            start()
            win.requestActivate()
            sidebar().navigateTo("update")
            const popup = updateLoader().item
            verify(popup)
            tryVerify(() => popup.activeFocus)
            popup.closeRequested()
            verify(!win.updateOpen)
            verify(!updateLoader().item)
        }

        function test_escapeClosesTheUpdatePopupAfterAnErrorOverIt() {
            start()
            win.requestActivate()
            sidebar().navigateTo("update")
            const popup = updateLoader().item
            tryVerify(() => popup.activeFocus)
            Book.openFromPath(fixtures.file("over-update.unknown", "not a book"))
            tryCompare(errorPopup(), "visible", true)
            const ok = Helpers.findChild(errorPopup(), c => c.text === "Ok" && c.clicked !== undefined)
            mouseClick(ok)
            verify(!errorPopup().visible)
            verify(win.updateOpen, "the update popup is still shown")
            keyClick(Qt.Key_Escape)
            verify(!win.updateOpen, "Escape reaches the update popup again")
        }


        // Escape closes the settings panel wherever the focus is, the text view's included, and
        // does nothing while the panel is hidden.
        function test_escapeClosesTheSettings() {
            start()
            win.requestActivate()
            openAndRead(fixtures.textBook("Window escape", 20))
            sidebar().navigateTo("settings")
            verify(win.settingsOpen)
            compare(win.currentPage, "reader")
            readerPage().scrollView.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            verify(!win.settingsOpen, "Escape closes the panel")
            compare(win.currentPage, "reader", "and leaves the book open")
            verify(Book.hasBook)
            keyClick(Qt.Key_Escape)
            verify(!win.settingsOpen)
        }

        // Closing the window (also how quitting on a signal ends) reports a move the text view had
        // not reported yet, before the history is written.
        function test_closingReportsTheTextViewsPlace() {
            start()
            const view = openAndRead(fixtures.textBook("Window close", 80))
            view.lastScrollSyncTime = Date.now() + 60000 // the move itself reports nothing
            const list = textList()
            savedSpy.clear()
            list.contentY += 900
            compare(savedSpy.count, 0)
            const place = view._proportion()
            verify(place > 0)
            win.close()
            verify(savedSpy.count > 0, "closing reported the place")
            fuzzyCompare(ReadingModel.progress, place, 1e-6)
            compare(ReadingModel.currentChunk, list.indexAt(list.width / 2, list.contentY + 10))
        }
    }
}
