import QtQuick
import QtQuick.Controls.Basic
import Vellora

// The application's one window. It owns the navigation state (the current page, the two popups,
// the reading chrome and the busy state of an opening book) and answers the side bar, the header
// and the back end; the pages and popups only draw and report. GUI thread only.
//
// The file's components are not bound to it (no ComponentBehavior: Bound): Qt 6.4's Loader builds
// its item in a context of its own, and refuses a bound component there, leaving the footer and
// the update popup uncreated.
ApplicationWindow {
    id: root

    readonly property bool barsVisible: UiState.barsVisible
    // Also while the last book is being reopened at start, when the last run ended in the reader,
    // so that chrome hidden there stays hidden until the book is back.
    readonly property bool inReader: currentPage === "reader" || (_startupRestore && UiState.lastPage === "reader")
    readonly property bool sidebarOpen: UiState.sidebarOpen && (!inReader || barsVisible)
    property string currentPage: "starter"
    property bool settingsOpen: false
    property bool updateOpen: false
    property bool _startupRestore: UiState.lastFilePath !== ""
    property bool _bookInitializing: false

    width: 1024
    height: 768
    opacity: 0
    visible: true
    title: "Vellora"
    color: ThemeManager.currentTheme.backgroundDeepest

    function toggleChrome() {
        if (currentPage === "reader")
            UiState.barsVisible = !UiState.barsVisible
    }

    function _syncTextPosition() {
        if (currentPage === "reader" && ReadingModel.isTextMode && readerPage.scrollView)
            readerPage.scrollView.syncScrollPosition()
    }

    // Quitting records the history next: the text view's last move may not have been reported yet
    // (the scroll bar still held, a scroll animation under way). Quitting on a signal closes the
    // window first as well.
    onClosing: _syncTextPosition()

    function _navigate(page) {
        if (page === "settings") {
            currentPage = Book.hasBook ? "reader" : "starter"
            updateOpen = false
            settingsOpen = true
            return
        }
        if (page === "update") {
            settingsOpen = false
            updateOpen = true
            return
        }
        settingsOpen = false
        updateOpen = false
        // The place is saved before the book closes, so that the history records where the reader
        // left it; closing re-enters the Book handlers below, and the requested page is set last.
        _syncTextPosition()
        if (Book.hasBook || Book.loading)
            Book.close()
        currentPage = page
    }

    // Ends the busy state of an opening that will not restore a position, with the chrome back:
    // a window left without a book never keeps its header and side bar hidden.
    function _endOpeningWithoutBook() {
        _bookInitializing = false
        _startupRestore = false
        UiState.barsVisible = true
    }

    onCurrentPageChanged: UiState.lastPage = currentPage
    onWidthChanged: geometrySaveTimer.restart()
    onHeightChanged: geometrySaveTimer.restart()
    onXChanged: geometrySaveTimer.restart()
    onYChanged: geometrySaveTimer.restart()

    Component.onCompleted: {
        // Stored geometry that cannot be shown (no area, or a place on no screen) is not applied.
        if (UiState.windowWidth > 0 && UiState.windowHeight > 0) {
            width = UiState.windowWidth
            height = UiState.windowHeight
        }
        if (UiState.isWindowPlaceOnScreen()) {
            x = UiState.windowX
            y = UiState.windowY
        }
        // Colours first, so that the custom theme shows the stored colours once it is named.
        ThemeManager.loadCustomColors(UiState.customThemeColors)
        if (UiState.themeName !== "")
            ThemeManager.currentThemeName = UiState.themeName
    }

    Timer {
        running: true
        repeat: false
        interval: 1
        triggeredOnStart: false
        onTriggered: {
            root.opacity = 1
            if (UiState.lastFilePath !== "") {
                root._startupRestore = true
                Book.openFromPath(UiState.lastFilePath)
                return
            }
            if (UiState.lastPage === "history")
                root.currentPage = "history"
            UiState.sidebarOpen = true
            UiState.barsVisible = true
        }
    }

    Timer {
        id: geometrySaveTimer
        interval: 250
        repeat: false
        onTriggered: {
            UiState.windowWidth = root.width
            UiState.windowHeight = root.height
            UiState.windowX = root.x
            UiState.windowY = root.y
        }
    }

    FontLoader {
        id: materialIcons
        source: "qrc:/Vellora/src/assets/MaterialIconsOutlined-Regular.otf"
    }

    Row {
        anchors.fill: parent

        SideBar {
            id: sidebar
            height: parent.height
            sidebarOpen: root.sidebarOpen
            onCloseDrawer: UiState.sidebarOpen = false
            onNavigateTo: page => root._navigate(page)
            onOpenFile: Book.browseAndOpen()
        }

        Column {
            width: parent.width - sidebar.width
            height: parent.height

            Header {
                id: header
                width: parent.width
                sidebarOpen: root.sidebarOpen
                currentPage: root.currentPage
                barsVisible: !(root.inReader && !root.barsVisible)
                onMenuClicked: UiState.sidebarOpen = true
            }

            Item {
                id: contentArea
                width: parent.width
                height: parent.height - header.height - (footerLoader.active ? ThemeManager.footerHeight : 0)

                StarterPage {
                    anchors.fill: parent
                    visible: root.currentPage === "starter"
                }

                ReaderPage {
                    id: readerPage
                    anchors.fill: parent
                    visible: root.currentPage === "reader"
                    focus: true
                }

                HistoryPage {
                    anchors.fill: parent
                    visible: root.currentPage === "history"
                }

                CustomThemePage {
                    anchors.fill: parent
                    visible: root.currentPage === "customTheme"
                }

                BusyIndicator {
                    anchors.centerIn: parent
                    z: 10
                    running: root._bookInitializing
                    visible: running
                }

                SettingsPopup {
                    id: settingsPopup
                    visible: root.settingsOpen
                    onCloseRequested: root.settingsOpen = false
                }
            }

            Loader {
                id: footerLoader
                width: parent.width
                height: active ? ThemeManager.footerHeight : 0
                active: root.currentPage === "reader" && root.barsVisible
                sourceComponent: footerComponent
            }
        }
    }

    Loader {
        id: updatePopupLoader
        anchors.fill: parent
        z: 2000
        active: root.updateOpen
        sourceComponent: updatePopupComponent
        // Escape must reach the popup whatever held the focus before.
        onLoaded: item.forceActiveFocus()
        onActiveChanged: if (!active) readerPage.forceActiveFocus()
    }

    Component {
        id: footerComponent
        Footer {}
    }

    Component {
        id: updatePopupComponent
        UpdatePopup {
            onCloseRequested: root.updateOpen = false
        }
    }

    ErrorPopup {
        anchors.fill: parent
        z: 3000
        // Its "Ok" takes the focus when clicked; the update popup below gets it back for Escape.
        onVisibleChanged: if (!visible && updatePopupLoader.item) updatePopupLoader.item.forceActiveFocus()
    }

    // Creates the image loader on the GUI thread before any other image is requested.
    Image {
        width: 0
        height: 0
        visible: false
        source: "image://web/__warmup__"
        sourceSize: Qt.size(1, 1)
    }

    Connections {
        target: UiState
        function onThemeNameChanged() { ThemeManager.currentThemeName = UiState.themeName }
    }

    Connections {
        target: Book
        function onLoadingChanged() {
            if (Book.loading)
                root._bookInitializing = true
            else if (!Book.hasBook)
                root._endOpeningWithoutBook()
        }
        function onErrorMessageChanged() {
            if (Book.errorMessage === "")
                return
            root._endOpeningWithoutBook()
            if (!Book.hasBook && root.currentPage === "reader")
                root.currentPage = "history"
        }
        function onBookChanged() {
            if (Book.hasBook || Book.loading)
                return
            root._endOpeningWithoutBook()
            if (root.currentPage === "reader")
                root.currentPage = "history"
        }
    }

    Connections {
        target: ReadingModel
        function onRestoreReady(chunkIndex) {
            if (!Book.hasBook)
                return
            // Start-up checks watch for this line: the opened book is shown.
            if (root._bookInitializing)
                console.info("Opened", Book.filePath)
            root._bookInitializing = false
            root._startupRestore = false
            root.currentPage = "reader"
        }
    }

    Shortcut {
        sequences: ["F", "F11"]
        context: Qt.ApplicationShortcut
        onActivated: root.visibility = root.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
    }
    // The reader page knows which way the arrows go for the book shown.
    Shortcut {
        sequence: "Left"
        context: Qt.ApplicationShortcut
        onActivated: if (root.currentPage === "reader" && readerPage.pageView) readerPage.handleLeft()
    }
    Shortcut {
        sequence: "Right"
        context: Qt.ApplicationShortcut
        onActivated: if (root.currentPage === "reader" && readerPage.pageView) readerPage.handleRight()
    }
    // "PgUp" and "PgDown" are Qt's names of the Page Up and Page Down keys; their other names
    // (Prior, Next) are the same keys, and listing a key twice would make the shortcut ambiguous.
    Shortcut {
        sequence: "PgUp"
        context: Qt.ApplicationShortcut
        onActivated: if (root.currentPage === "reader" && readerPage.pageView) readerPage.pageView.handlePageUp()
    }
    Shortcut {
        sequence: "PgDown"
        context: Qt.ApplicationShortcut
        onActivated: if (root.currentPage === "reader" && readerPage.pageView) readerPage.pageView.handlePageDown()
    }
    Shortcut {
        sequence: "Space"
        context: Qt.ApplicationShortcut
        onActivated: if (root.currentPage === "reader") root.toggleChrome()
    }
    Shortcut {
        sequence: "M"
        context: Qt.ApplicationShortcut
        onActivated: {
            if (root.currentPage === "reader" && !ReadingModel.isTextMode)
                ReadingModel.setMangaRTL(!ReadingModel.mangaRTL)
        }
    }
    Shortcut {
        sequence: "S"
        context: Qt.ApplicationShortcut
        onActivated: {
            if (root.currentPage === "reader" && !ReadingModel.isTextMode)
                ReadingModel.setPageShift(!ReadingModel.pageShift, readerPage.pageView.currentPair)
        }
    }
}
