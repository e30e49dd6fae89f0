import QtQuick
import Vellora

// Stands in for the main window until the window shell is built: opens the book that start-up
// named (the command line's, or the last one read) and shows it in the reader page between the
// header and the footer, with the reader's keys.
Window {
    id: window
    width: 1100
    height: 800
    visible: true
    title: Book.hasBook ? Book.title + " — Vellora" : "Vellora"
    color: ThemeManager.currentTheme.backgroundDeepest

    readonly property bool reading: Book.hasBook

    // Makes the family "Material Icons Outlined" of the icon buttons and glyphs available.
    FontLoader {
        id: materialIcons
        source: "qrc:/Vellora/src/assets/MaterialIconsOutlined-Regular.otf"
    }

    // Creates the image loader on the GUI thread before any other image is requested.
    Image {
        source: "image://web/__warmup__"
        visible: false
    }

    Header {
        id: header
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        currentPage: window.reading ? "reader" : "starter"
        barsVisible: !window.reading || UiState.barsVisible
    }

    ReaderPage {
        id: readerPage
        anchors.top: header.bottom
        anchors.bottom: footerLoader.top
        anchors.left: parent.left
        anchors.right: parent.right
        visible: window.reading
        focus: true
    }

    Loader {
        id: footerLoader
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        active: window.reading && UiState.barsVisible
        height: active ? ThemeManager.footerHeight : 0
        sourceComponent: Footer {}
    }

    Column {
        anchors.centerIn: parent
        width: parent.width * 0.8
        spacing: 12
        visible: !window.reading

        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: ThemeManager.currentTheme.readingText
            font.pixelSize: 32
            text: Book.loading ? "Opening…" : "No book open"
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: ThemeManager.currentTheme.uiText
            font.pixelSize: 14
            textFormat: Text.PlainText
            text: Book.errorMessage
            visible: text !== ""
        }
    }

    Shortcut {
        sequences: ["F", "F11"]
        context: Qt.ApplicationShortcut
        onActivated: window.visibility = window.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
    }
    Shortcut {
        sequence: "Left"
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading) readerPage.handleLeft()
    }
    Shortcut {
        sequence: "Right"
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading) readerPage.handleRight()
    }
    Shortcut {
        sequences: ["PgUp", "Prior"]
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading) readerPage.pageView.handlePageUp()
    }
    Shortcut {
        sequences: ["PgDown", "Next"]
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading) readerPage.pageView.handlePageDown()
    }
    Shortcut {
        sequence: "Space"
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading) UiState.barsVisible = !UiState.barsVisible
    }
    Shortcut {
        sequence: "M"
        context: Qt.ApplicationShortcut
        onActivated: if (window.reading && !ReadingModel.isTextMode) ReadingModel.setMangaRTL(!ReadingModel.mangaRTL)
    }
    Shortcut {
        sequence: "S"
        context: Qt.ApplicationShortcut
        onActivated: {
            if (window.reading && !ReadingModel.isTextMode)
                ReadingModel.setPageShift(!ReadingModel.pageShift, readerPage.pageView.currentPair)
        }
    }

    // Start-up checks watch for this line: the opened book is shown.
    property bool _openLogged: false
    Connections {
        target: Book
        function onBookChanged() { window._openLogged = false }
    }
    Connections {
        target: ReadingModel
        function onRestoreReady() {
            if (window._openLogged)
                return
            window._openLogged = true
            console.info("Opened", Book.filePath)
        }
    }

    Connections {
        target: UiState
        function onThemeNameChanged() { ThemeManager.currentThemeName = UiState.themeName }
    }

    Component.onCompleted: {
        // The window is the only writer of the theme at start: colours first, so that the revert
        // target is the loaded palette, then the name.
        ThemeManager.loadCustomColors(UiState.customThemeColors)
        if (UiState.themeName !== "")
            ThemeManager.currentThemeName = UiState.themeName
        if (UiState.lastFilePath !== "")
            Book.openFromPath(UiState.lastFilePath)
    }

    // The text view stores its position as the reader moves; quitting stores the last place too,
    // also for a book that was never scrolled.
    Connections {
        target: Qt.application
        function onAboutToQuit() {
            if (Book.hasBook && ReadingModel.isTextMode)
                readerPage.scrollView.syncScrollPosition()
        }
    }
}
