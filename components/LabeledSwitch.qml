import QtQuick
import QtQuick.Controls.Basic
import Vellora

// A named on/off setting with an optional description. Reports only the user's toggles; a state
// that arrives through `checked` is shown, not echoed.
Row {
    id: control

    property string label: ""
    property string description: ""
    property alias checked: switchControl.checked

    signal toggled(bool checked)

    width: parent ? parent.width : implicitWidth
    height: Math.max(textCol.implicitHeight, switchControl.implicitHeight)
    spacing: 12

    Column {
        id: textCol
        width: control.width - switchControl.width - control.spacing
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2

        Text {
            width: parent.width
            text: control.label
            elide: Text.ElideRight
            font.pixelSize: 13
            color: ThemeManager.currentTheme.uiText
        }

        Text {
            width: parent.width
            visible: text.length > 0
            text: control.description
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: ThemeManager.currentTheme.dimText
        }
    }

    Switch {
        id: switchControl
        anchors.verticalCenter: parent.verticalCenter

        onToggled: control.toggled(checked)

        indicator: Rectangle {
            implicitWidth: 36
            implicitHeight: 20
            radius: 10
            color: switchControl.checked ? ThemeManager.currentTheme.buttonAccent
                                         : ThemeManager.currentTheme.scrollbarThumb

            Rectangle {
                width: 16
                height: 16
                radius: 8
                color: "#ffffff"
                anchors.verticalCenter: parent.verticalCenter
                x: switchControl.checked ? parent.width - width - 2 : 2

                Behavior on x {
                    NumberAnimation { duration: 150 }
                }
            }
        }
    }
}
