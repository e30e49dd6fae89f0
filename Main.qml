import QtQuick
import Vellora

// Stands in for the main window until the window shell is built: opens the book that start-up
// named (the command line's, or the last one read) and shows its title.
Window {
    id: window
    width: 1100
    height: 800
    visible: true
    title: Book.hasBook ? Book.title + " — Vellora" : "Vellora"
    color: ThemeManager.currentTheme.backgroundDeepest

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

    Column {
        anchors.centerIn: parent
        width: parent.width * 0.8
        spacing: 12

        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "#c4c8d8"
            font.pixelSize: 32
            text: Book.hasBook ? Book.title : (Book.loading ? "Opening…" : "No book open")
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            color: "#71738c"
            font.pixelSize: 18
            text: Book.author
            visible: text !== ""
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "#a2a5b4"
            font.pixelSize: 14
            text: Book.errorMessage
            visible: text !== ""
        }
    }

    Connections {
        target: ReadingModel
        // No reading view yet: the restored place is kept as the book's reading position.
        function onRestoreReady(chunkIndex, intraOffset) {
            ReadingModel.setScrollPosition(chunkIndex, intraOffset, ReadingModel.progress)
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
}
