import QtQuick
import QtQuick.Controls.Basic
import Vellora

// Tells the running version. It never hides itself: Ok, a click on the backdrop and Escape ask the
// window to close it.
FocusScope {
    id: root

    signal closeRequested()

    focus: true
    Accessible.role: Accessible.Dialog
    Accessible.name: qsTr("Update")
    Keys.onEscapePressed: root.closeRequested()

    Rectangle {
        anchors.fill: parent
        color: ThemeManager.currentTheme.overlayBg

        MouseArea {
            anchors.fill: parent
            onClicked: root.closeRequested()
        }

        Rectangle {
            anchors.centerIn: parent
            width: Math.min(root.width * 0.7, 360)
            height: column.implicitHeight + 48
            radius: 8
            color: ThemeManager.currentTheme.surface

            // Keeps clicks inside the card from reaching the backdrop.
            MouseArea {
                anchors.fill: parent
            }

            Column {
                id: column
                anchors.top: parent.top
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 24
                spacing: 16

                Text {
                    width: parent.width
                    text: qsTr("Update")
                    font.pixelSize: 16
                    font.bold: true
                    color: ThemeManager.currentTheme.uiText
                    horizontalAlignment: Text.AlignHCenter
                }

                Text {
                    width: parent.width
                    text: qsTr("Current version: %1").arg(AppInfo.version)
                    font.pixelSize: 14
                    color: ThemeManager.currentTheme.readingText
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }

                Button {
                    id: closeButton
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: qsTr("Ok")
                    contentItem: Text {
                        text: closeButton.text
                        font.pixelSize: 14
                        color: ThemeManager.currentTheme.readingText
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        implicitWidth: 80
                        implicitHeight: 36
                        radius: 4
                        color: closeButton.hovered ? Qt.lighter(ThemeManager.currentTheme.primaryAccent, 1.15)
                                                   : ThemeManager.currentTheme.primaryAccent
                    }
                    onClicked: root.closeRequested()
                }
            }
        }
    }
}
