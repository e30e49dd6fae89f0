import QtQuick
import Vellora

// Holds both reading views for the page's whole life and shows the one that suits the open book;
// callers forward keys through pageView without knowing the mode.
Item {
    id: page

    property alias mangaView: internalPageView
    property alias scrollView: scrollPageView
    readonly property var pageView: ReadingModel.isTextMode ? scrollPageView : internalPageView

    // Left and right trade places only for pages read right to left; a text book always goes back
    // on Left and forward on Right, whatever direction flag the book has stored.
    readonly property bool arrowsSwapped: !ReadingModel.isTextMode && ReadingModel.mangaRTL

    function handleLeft() {
        if (arrowsSwapped)
            pageView.handleScrollDown()
        else
            pageView.handleScrollUp()
    }

    function handleRight() {
        if (arrowsSwapped)
            pageView.handleScrollUp()
        else
            pageView.handleScrollDown()
    }

    MangaPageView {
        id: internalPageView
        anchors.fill: parent
        visible: !ReadingModel.isTextMode
        focus: visible
    }

    ScrollPageView {
        id: scrollPageView
        anchors.fill: parent
        visible: ReadingModel.isTextMode
        focus: visible
    }
}
