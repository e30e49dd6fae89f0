import QtQuick
import Vellora

// The status bar under the reading views. It keeps no state: every new instance reads all it shows
// from the back end, so the shell may destroy and re-create it freely.
Rectangle {
    id: footer

    height: ThemeManager.footerHeight
    color: ThemeManager.currentTheme.footerBg

    Rectangle {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: 1
        color: ThemeManager.currentTheme.divider
    }

    Text {
        id: spinnerText
        anchors.left: parent.left
        anchors.leftMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        text: "\ue863"
        font.family: "Material Icons Outlined"
        font.pixelSize: 16
        color: ThemeManager.currentTheme.dimText
        visible: ReadingModel.measuring

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: spinnerText.visible
        }
    }

    FlatIconButton {
        id: directionToggle
        anchors.left: parent.left
        anchors.leftMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        padding: 0
        implicitWidth: 24
        implicitHeight: 24
        iconText: "\ue865"
        tooltip: "Right-to-left reading (M)"
        visible: !ReadingModel.isTextMode
        iconColor: ReadingModel.mangaRTL ? ThemeManager.currentTheme.buttonAccent
                                         : ThemeManager.currentTheme.dimText
        onClicked: ReadingModel.setMangaRTL(!ReadingModel.mangaRTL)
    }

    FlatIconButton {
        id: shiftToggle
        anchors.left: parent.left
        anchors.leftMargin: 44
        anchors.verticalCenter: parent.verticalCenter
        padding: 0
        implicitWidth: 24
        implicitHeight: 24
        iconText: "\ue5dc"
        tooltip: "Page shift (S)"
        visible: !ReadingModel.isTextMode
        iconColor: ReadingModel.pageShift ? ThemeManager.currentTheme.buttonAccent
                                          : ThemeManager.currentTheme.dimText
        // The counter counts pairs from 1, the model's pair index from 0; the model keeps the
        // reader on the same page across the regrouping.
        onClicked: ReadingModel.setPageShift(!ReadingModel.pageShift, Math.max(0, ReadingModel.currentPage - 1))
    }

    Text {
        id: pageCounter
        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        font.pixelSize: 11
        font.bold: true
        color: ThemeManager.currentTheme.counterText
        visible: Book.hasBook
        text: Book.hasBook ? ReadingModel.currentPage + "/" + ReadingModel.totalPages : ""
    }
}
