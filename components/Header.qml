import QtQuick
import QtQuick.Controls.Basic
import Vellora

// The bar across the top of the content column: the menu button, the open book's title on the
// reader page, and a clock. The window shell drives the three properties.
Rectangle {
    id: header

    property bool sidebarOpen: false
    property string currentPage: "starter"
    property bool barsVisible: true

    signal menuClicked()

    // Two-digit hours, minutes and seconds of the local time, 24-hour form.
    function clockTextFor(date) {
        const two = value => (value < 10 ? "0" : "") + value
        return two(date.getHours()) + ":" + two(date.getMinutes()) + ":" + two(date.getSeconds())
    }

    height: barsVisible ? ThemeManager.headerHeight : 0
    clip: true
    color: ThemeManager.currentTheme.surface

    Behavior on height {
        NumberAnimation { duration: 200; easing.type: Easing.InOutQuad }
    }

    Button {
        id: menuButton
        flat: true
        visible: !header.sidebarOpen
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        background: Item {}
        contentItem: Text {
            text: "\u2630"
            font.pixelSize: 24
            color: ThemeManager.currentTheme.buttonAccent
        }
        onClicked: header.menuClicked()
    }

    Text {
        id: titleText
        anchors.centerIn: parent
        font.pixelSize: 16
        color: ThemeManager.currentTheme.headerText
        // A title comes from the book file: never interpret it as markup.
        textFormat: Text.PlainText
        text: header.currentPage === "reader" && Book.title ? Book.title : ""
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: header.width * 0.02
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        Text {
            id: clockText
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: 16
            font.bold: true
            color: ThemeManager.currentTheme.dimText

            Timer {
                running: true
                repeat: true
                interval: 1000
                triggeredOnStart: true
                onTriggered: clockText.text = header.clockTextFor(new Date())
            }
        }
    }
}
