import QtQuick
import Vellora

// One navigation row of the side bar: glyph and caption on the left, and optionally a second glyph
// at the right edge with a click of its own, so one row can offer a main and a side action.
Rectangle {
    id: button

    property string iconText: ""
    property string title: ""
    property string rightIconText: ""

    signal clicked()
    signal rightIconClicked()

    height: 48
    width: parent ? parent.width : 240
    color: mouseArea.containsMouse ? Qt.lighter(ThemeManager.currentTheme.headerBg, 1.3) : Qt.rgba(0, 0, 0, 0)

    Row {
        anchors.left: parent.left
        anchors.leftMargin: 16
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        spacing: 16

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: button.iconText
            font.family: "Material Icons Outlined"
            font.pixelSize: 24
            color: ThemeManager.currentTheme.sidebarButtonText
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: button.title
            font.pixelSize: 14
            color: ThemeManager.currentTheme.sidebarButtonText
        }
    }

    Item {
        id: rightIconZone
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        visible: button.rightIconText !== ""
        width: visible ? 44 : 0

        Text {
            anchors.centerIn: parent
            text: button.rightIconText
            font.family: "Material Icons Outlined"
            font.pixelSize: 18
            color: rightIconArea.containsMouse ? Qt.lighter(ThemeManager.currentTheme.sidebarButtonText, 1.3)
                                               : ThemeManager.currentTheme.sidebarButtonText
        }

        MouseArea {
            id: rightIconArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: button.rightIconClicked()
        }
    }

    // Declared last so that it lies over the glyph and caption: a click on them is a click of the row.
    MouseArea {
        id: mouseArea
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: button.width - rightIconZone.width
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.clicked()
    }
}
