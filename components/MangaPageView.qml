import QtQuick
import QtQuick.Controls.Basic
import Vellora

// A comic one pair of pages at a time. Which pages form a pair is the model's decision; the view
// tells the model its orientation, shows the pair it is told, turns swipes, taps and key calls into
// next or previous pair, and reports the shown pair as the reading position. GUI thread only.
Rectangle {
    id: root

    readonly property bool landscape: width > height
    property bool contentReady: false
    property int currentPair: 0

    focus: true
    gradient: Gradient {
        GradientStop { position: 0.0; color: ThemeManager.currentTheme.gradientTop }
        GradientStop { position: 1.0; color: ThemeManager.currentTheme.gradientBottom }
    }

    function handlePageDown() { nextPair() }
    function handleScrollDown() { nextPair() }
    function handlePageUp() { previousPair() }
    function handleScrollUp() { previousPair() }

    function nextPair() {
        if (currentPair < ReadingModel.totalPagePairs - 1)
            showPair(currentPair + 1)
    }

    function previousPair() {
        if (currentPair > 0)
            showPair(currentPair - 1)
    }

    // The single entry point for what is shown; it also reports the position.
    function showPair(pairIndex) {
        currentPair = pairIndex
        const pair = contentReady ? ReadingModel.pagePair(pairIndex) : []
        pageArea.pair = pair
        if (pair.length === 0)
            return
        ReadingModel.setScrollInfo(pair[0], pairIndex / Math.max(1, ReadingModel.totalPagePairs - 1))
    }

    function resetViewState() {
        clickDebounce.stop()
        contentReady = false
        pageArea.pair = []
        currentPair = 0
    }

    onLandscapeChanged: landscapeDebounce.restart()
    Component.onCompleted: ReadingModel.setMangaLandscape(root.landscape)

    Timer {
        id: landscapeDebounce
        interval: 150
        repeat: false
        onTriggered: ReadingModel.setMangaLandscape(root.landscape)
    }

    Item {
        id: pageArea

        // Chunk indices of the shown pair in book order; right to left puts the later page on the left.
        property var pair: []
        readonly property int leftChunk: pair.length === 0 ? -1
                                       : pair.length === 1 ? pair[0]
                                       : ReadingModel.mangaRTL ? pair[1] : pair[0]
        readonly property int rightChunk: pair.length < 2 ? -1 : ReadingModel.mangaRTL ? pair[0] : pair[1]
        readonly property bool hasTwoPages: pair.length === 2

        anchors.fill: parent
        anchors.margins: ReadingPreferences.verticalMargin

        Behavior on opacity {
            NumberAnimation { duration: 120 }
        }

        // The two pages of a pair meet at the spine; a single page stands centred.
        Image {
            id: leftImg
            x: 0
            y: 0
            width: pageArea.hasTwoPages ? pageArea.width / 2 : pageArea.width
            height: pageArea.height
            visible: pageArea.leftChunk >= 0
            fillMode: Image.PreserveAspectFit
            horizontalAlignment: pageArea.hasTwoPages ? Image.AlignRight : Image.AlignHCenter
            asynchronous: true
            cache: true
            sourceSize: Qt.size(width, height)
            source: pageArea.leftChunk >= 0 ? ReadingModel.imageUrlForChunk(pageArea.leftChunk) : ""
        }

        Image {
            id: rightImg
            x: pageArea.width / 2
            y: 0
            width: pageArea.width / 2
            height: pageArea.height
            visible: pageArea.rightChunk >= 0
            fillMode: Image.PreserveAspectFit
            horizontalAlignment: Image.AlignLeft
            asynchronous: true
            cache: true
            sourceSize: Qt.size(width, height)
            source: pageArea.rightChunk >= 0 ? ReadingModel.imageUrlForChunk(pageArea.rightChunk) : ""
        }

        BusyIndicator {
            anchors.centerIn: parent
            z: 5
            running: leftImg.status === Image.Loading || (rightImg.visible && rightImg.status === Image.Loading)
            visible: running
        }
    }

    MouseArea {
        id: inputArea

        property real pressX: 0
        property real startPressX: 0
        property bool dragging: false
        // The release that ends a double click is no tap of its own.
        property bool endingDoubleClick: false

        anchors.fill: parent
        z: 10

        onPressed: mouse => {
            pressX = mouse.x
            startPressX = mouse.x
            dragging = false
        }
        onPositionChanged: mouse => {
            if (Math.abs(mouse.x - startPressX) > 8)
                dragging = true
        }
        onReleased: mouse => {
            const dx = mouse.x - startPressX
            if (endingDoubleClick) {
                endingDoubleClick = false
                return
            }
            if (Math.abs(dx) > 0.12 * root.width) {
                if ((dx > 0) !== ReadingModel.mangaRTL)
                    root.nextPair()
                else
                    root.previousPair()
                return
            }
            if (dragging)
                return
            clickDebounce.clickX = mouse.x
            clickDebounce.restart()
        }
        onDoubleClicked: {
            clickDebounce.stop()
            endingDoubleClick = true
            const window = root.Window.window
            if (window)
                window.visibility = window.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
        }
    }

    Timer {
        id: clickDebounce

        property real clickX: 0

        interval: 150
        repeat: false
        onTriggered: {
            const third = root.width / 3
            if (clickX < third) {
                if (ReadingModel.mangaRTL)
                    root.nextPair()
                else
                    root.previousPair()
            } else if (clickX > root.width - third) {
                if (ReadingModel.mangaRTL)
                    root.previousPair()
                else
                    root.nextPair()
            } else {
                UiState.barsVisible = !UiState.barsVisible
            }
        }
    }

    Connections {
        target: ReadingModel
        function onRestoreReady(chunkIndex) {
            root.contentReady = true
            root.showPair(ReadingModel.pairIndexForChunk(chunkIndex))
        }
        // The pairs were regrouped (orientation): stay on the page that was shown, not on the old
        // pair number, which names other pages now.
        function onTotalPagePairsChanged() {
            if (pageArea.pair.length > 0)
                root.showPair(ReadingModel.pairIndexForChunk(pageArea.pair[0]))
            else
                root.showPair(Math.min(root.currentPair, Math.max(0, ReadingModel.totalPagePairs - 1)))
        }
        function onPagePairsRebuilt(newPairIndex) {
            root.showPair(newPairIndex)
        }
    }

    Connections {
        target: Book
        function onLoadingChanged() {
            if (Book.loading)
                root.resetViewState()
        }
        function onBookChanged() {
            if (!Book.hasBook)
                root.resetViewState()
        }
    }
}
