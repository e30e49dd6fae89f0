import QtQuick
import QtQuick.Controls.Basic
import Vellora

// The message of the last failed opening, over a backdrop that takes every click, until "Ok"
// clears it. A message too tall for the window scrolls inside the card, so "Ok" stays reachable.
Rectangle {
    id: root

    color: ThemeManager.currentTheme.overlayBg
    visible: Book.errorMessage !== ""

    MouseArea {
        anchors.fill: parent
        onClicked: {}
    }

    Rectangle {
        id: card
        anchors.centerIn: parent
        width: Math.min(root.width * 0.7, 440)
        height: dialogColumn.implicitHeight + 48
        radius: 8
        color: ThemeManager.currentTheme.surface

        Column {
            id: dialogColumn
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 24
            spacing: 20

            Flickable {
                id: messageView
                width: parent.width
                // What the card can give the message once the window's margins, the button and
                // the card's own padding are taken.
                height: Math.min(message.implicitHeight,
                                 Math.max(0, root.height - 48 - 48 - dialogColumn.spacing - okButton.height))
                contentWidth: width
                contentHeight: message.implicitHeight
                interactive: contentHeight > height
                clip: true
                boundsBehavior: Flickable.StopAtBounds

                Text {
                    id: message
                    width: messageView.width
                    text: Book.errorMessage
                    // The text names files and quotes readers: never interpret it as markup.
                    textFormat: Text.PlainText
                    font.pixelSize: 15
                    color: ThemeManager.currentTheme.readingText
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }

                ScrollBar.vertical: ScrollBar {
                    policy: messageView.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                }
            }

            Button {
                id: okButton
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Ok"
                contentItem: Text {
                    text: okButton.text
                    font.pixelSize: 14
                    color: "#ffffff"
                    horizontalAlignment: Text.AlignHCenter
                }
                background: Rectangle {
                    implicitWidth: 80
                    implicitHeight: 36
                    radius: 4
                    color: okButton.hovered ? Qt.lighter(ThemeManager.currentTheme.primaryAccent, 1.15)
                                            : ThemeManager.currentTheme.primaryAccent
                }
                onClicked: Book.clearError()
            }
        }
    }
}
