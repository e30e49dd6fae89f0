pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Vellora

// A reflowable book as one scrolled column of laid-out chunks. The view does no layout itself: it
// tells the model its width and metrics, restores the position the model announces, and reports
// the position back while the user reads. GUI thread only.
Rectangle {
    id: root

    readonly property int scrollbarWidth: 16
    property bool contentReady: false
    property bool restoreReady: false
    property int initialIndex: 0
    property real initialOffset: 0
    property real lastScrollSyncTime: 0

    // While the view itself re-anchors after a metric change, the model re-announces the position
    // with the offset in the old font's pixels; that announcement is held here instead of being
    // replayed over the fraction the view has just kept.
    property bool _anchoring: false
    property var _heldRestore: null

    focus: true
    gradient: Gradient {
        GradientStop { position: 0.0; color: ThemeManager.currentTheme.gradientTop }
        GradientStop { position: 1.0; color: ThemeManager.currentTheme.gradientBottom }
    }

    // While a restore is still pending the list does not show the place yet: the place being
    // restored is the one to report (NaN keeps the progress), not the top of the list.
    function syncScrollPosition() {
        if (contentReady && !restoreReady) {
            ReadingModel.setScrollPosition(initialIndex, initialOffset, NaN)
            return
        }
        const topIdx = chunkListView.indexAt(chunkListView.width / 2, chunkListView.contentY + 10)
        if (topIdx < 0)
            return
        const item = chunkListView.itemAtIndex(topIdx)
        const intraOffset = item ? chunkListView.contentY - item.y : 0
        ReadingModel.setScrollPosition(topIdx, intraOffset, _proportion())
    }

    // Measured from the list's origin, which moves away from 0 when chunks above the view change
    // height, so that the top still reads 0 and the end 1.
    function _proportion() {
        const maxScroll = Math.max(1, chunkListView.contentHeight - chunkListView.height)
        const scrolled = chunkListView.contentY - chunkListView.originY
        return Math.min(1, Math.max(0, scrolled / maxScroll))
    }

    function handlePageUp() { _scrollBy(-chunkListView.height * 0.9) }
    function handlePageDown() { _scrollBy(chunkListView.height * 0.9) }
    function handleScrollUp() { _scrollBy(-_lineStep()) }
    function handleScrollDown() { _scrollBy(_lineStep()) }

    function _lineStep() {
        return ReadingPreferences.fontSize * ReadingPreferences.lineSpacing * 3
    }

    function _scrollBy(amount) {
        const top = chunkListView.originY
        const bottom = top + Math.max(0, chunkListView.contentHeight - chunkListView.height)
        animateScrollTo(Math.max(top, Math.min(bottom, chunkListView.contentY + amount)))
    }

    function animateScrollTo(targetY) {
        scrollAnimation.stop()
        scrollAnimation.to = targetY
        scrollAnimation.start()
    }

    function updateContentMetrics() {
        if (!(chunkListView.width > 0))
            return
        const availW = chunkListView.width - scrollbarWidth - 2 * ReadingPreferences.horizontalMargin
        const reading = contentReady && restoreReady
        let topIdx = -1
        let intraRatio = 0.0
        if (reading) {
            topIdx = chunkListView.indexAt(chunkListView.width / 2, chunkListView.contentY + 10)
            const item = topIdx >= 0 ? chunkListView.itemAtIndex(topIdx) : null
            if (item && item.height > 0)
                intraRatio = Math.min(1, Math.max(0, (chunkListView.contentY - item.y) / item.height))
        }

        _anchoring = reading && topIdx >= 0
        _heldRestore = null
        ReadingModel.updateLayoutMetrics(Math.max(100, Math.floor(availW)), ReadingPreferences.fontSize,
                                         ReadingPreferences.lineSpacing, topIdx)
        _anchoring = false

        let anchored = false
        if (reading && topIdx >= 0) {
            // Item positions follow new heights only at the next layout pass; take them now.
            chunkListView.forceLayout()
            const item = chunkListView.itemAtIndex(topIdx)
            if (item && item.height > 0) {
                chunkListView.contentY = item.y + intraRatio * item.height
                anchored = true
            }
        }
        // The model still holds the offset in the old metrics' pixels; store the kept place now.
        if (anchored) {
            lastScrollSyncTime = Date.now()
            syncScrollPosition()
        }
        const held = _heldRestore
        _heldRestore = null
        if (held && !anchored)
            _beginRestore(held.chunkIndex, held.intraOffset)
    }

    function resetViewState() {
        restoreTimer.stop()
        scrollAnimation.stop()
        _heldRestore = null
        contentReady = false
        restoreReady = false
    }

    function _beginRestore(chunkIndex, intraOffset) {
        contentReady = true
        initialIndex = chunkIndex
        initialOffset = intraOffset === undefined ? 0 : intraOffset
        restoreTimer.start()
    }

    PropertyAnimation {
        id: scrollAnimation
        target: chunkListView
        property: "contentY"
        duration: 180
        easing.type: Easing.OutQuad
        onFinished: {
            root.lastScrollSyncTime = Date.now()
            root.syncScrollPosition()
        }
    }

    Component.onCompleted: updateContentMetrics()
    onWidthChanged: updateContentMetrics()

    Connections {
        target: ReadingPreferences
        function onFontSizeChanged() { root.updateContentMetrics() }
        function onLineSpacingChanged() { root.updateContentMetrics() }
        function onHorizontalMarginChanged() { root.updateContentMetrics() }
    }

    ListView {
        id: chunkListView

        anchors.fill: parent
        anchors.topMargin: ReadingPreferences.verticalMargin
        anchors.bottomMargin: ReadingPreferences.verticalMargin
        model: root.contentReady ? ReadingModel : null
        cacheBuffer: 0
        reuseItems: true
        clip: true
        maximumFlickVelocity: 99999

        delegate: KnuthPlassItem {
            id: chunkDelegate

            required property int index
            required property real pixelHeight
            required layout

            width: chunkListView.width
            // Whole pixels, rounded up: a chunk at a fractional position would be drawn blurred,
            // and one rounded down would cut its last line's descenders.
            height: pixelHeight > 0 ? Math.ceil(pixelHeight) : 30
            textColor: ThemeManager.currentTheme.readingText
            linkColor: ThemeManager.currentTheme.buttonAccent
            dimColor: ThemeManager.currentTheme.dimText
            surfaceColor: ThemeManager.currentTheme.surface
            useBookColours: ReadingModel.useBookColours
            horizontalMargin: ReadingPreferences.horizontalMargin
            viewportTop: chunkListView.contentY - y
            viewportHeight: chunkListView.height

            Loader {
                active: AppInfo.isDebugBuild
                visible: AppInfo.isDebugBuild
                sourceComponent: Text {
                    x: 4
                    y: 2
                    z: 10
                    text: chunkDelegate.index === undefined ? "" : String(chunkDelegate.index)
                    font.bold: true
                    font.family: "monospace"
                    font.pixelSize: 10
                    color: ThemeManager.currentTheme.buttonAccent
                    opacity: 0.85
                }
            }
        }

        onContentYChanged: {
            if (!root.contentReady || !root.restoreReady)
                return
            const now = Date.now()
            if (now - root.lastScrollSyncTime >= 250) {
                root.lastScrollSyncTime = now
                root.syncScrollPosition()
            }
        }
        onMovementEnded: {
            root.lastScrollSyncTime = Date.now()
            root.syncScrollPosition()
        }
        onFlickEnded: {
            root.lastScrollSyncTime = Date.now()
            root.syncScrollPosition()
        }

        ScrollBar.vertical: ScrollBar {
            id: vScrollBar
            policy: ScrollBar.AsNeeded
            padding: 0
            // A drag of the bar moves the list without a gesture of its own, so nothing else
            // reports where it ended.
            onPressedChanged: {
                if (!pressed) {
                    root.lastScrollSyncTime = Date.now()
                    root.syncScrollPosition()
                }
            }
            contentItem: Rectangle {
                implicitWidth: root.scrollbarWidth
                radius: 3
                color: ThemeManager.currentTheme.scrollbarThumb
            }
            background: Rectangle {
                implicitWidth: root.scrollbarWidth
                color: ThemeManager.currentTheme.scrollbarTrack
            }
        }

        // Lives in the list's content so the list still takes drags over it; it follows the
        // viewport and leaves the scroll bar's strip free.
        MouseArea {
            x: 0
            y: chunkListView.contentY
            width: Math.max(0, chunkListView.width - root.scrollbarWidth)
            height: chunkListView.height
            z: 1
            onClicked: clickDebounce.restart()
            onDoubleClicked: {
                clickDebounce.stop()
                const window = root.Window.window
                if (window)
                    window.visibility = window.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
            }
        }

        Timer {
            id: clickDebounce
            interval: 150
            repeat: false
            onTriggered: UiState.barsVisible = !UiState.barsVisible
        }
    }

    Timer {
        id: restoreTimer
        interval: 10
        repeat: false
        onTriggered: {
            chunkListView.positionViewAtIndex(root.initialIndex, ListView.Beginning)
            // A stored offset is only trusted within what the reports write: from 10 px above its
            // chunk (the report probes 10 px below the top) to the chunk's last pixel (its end is
            // already the next chunk's top). One from a damaged store (1e300) would scroll the list
            // past every chunk and leave it blank.
            const item = chunkListView.itemAtIndex(root.initialIndex)
            chunkListView.contentY += item ? Math.max(-10, Math.min(root.initialOffset, item.height - 1)) : 0
            root.restoreReady = true
        }
    }

    Connections {
        target: ReadingModel
        function onRestoreReady(chunkIndex, intraOffset) {
            if (root._anchoring) {
                root._heldRestore = { chunkIndex: chunkIndex, intraOffset: intraOffset }
                return
            }
            root._beginRestore(chunkIndex, intraOffset)
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
