import QtQuick
import QtQuick.Controls.Basic
import Vellora

// A named slider for one numeric setting. The look follows every move at once; `committed` comes
// only after the user has paused for 250 ms, so a drag writes the setting once, not per step.
Column {
    id: control

    property string label: ""
    property string valueText: slider.value.toString()
    property alias from: slider.from
    property alias to: slider.to
    property alias stepSize: slider.stepSize
    property alias value: slider.value

    signal committed(real value)

    spacing: 4

    Item {
        width: control.width
        height: Math.max(labelItem.implicitHeight, valueItem.implicitHeight)

        Text {
            id: labelItem
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: control.label
            font.pixelSize: 13
            color: ThemeManager.currentTheme.uiText
        }

        Text {
            id: valueItem
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: control.valueText
            font.pixelSize: 12
            color: ThemeManager.currentTheme.dimText
        }
    }

    // Reads the value when it fires, so a change from outside while a commit is pending is what
    // gets committed.
    Timer {
        id: debounce
        interval: 250
        onTriggered: control.committed(slider.value)
    }

    Slider {
        id: slider
        width: control.width

        // Only the user's moves start the commit; bound updates of `value` never do.
        onMoved: debounce.restart()

        background: Rectangle {
            x: slider.leftPadding
            y: slider.topPadding + slider.availableHeight / 2 - height / 2
            width: slider.availableWidth
            height: 3
            radius: 2
            color: ThemeManager.currentTheme.scrollbarThumb

            Rectangle {
                width: slider.visualPosition * parent.width
                height: parent.height
                radius: 2
                color: ThemeManager.currentTheme.buttonAccent
            }
        }

        handle: Rectangle {
            x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
            y: slider.topPadding + slider.availableHeight / 2 - height / 2
            width: 14
            height: 14
            radius: 7
            color: slider.pressed ? Qt.lighter(ThemeManager.currentTheme.buttonAccent, 1.15)
                                  : ThemeManager.currentTheme.buttonAccent
        }
    }
}
