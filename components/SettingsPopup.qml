import QtQuick
import QtQuick.Controls.Basic
import Vellora

// The floating reading-settings panel over the page area. Its controls write the back end
// themselves; the owner only shows and hides it (on `closeRequested`). Dragged by its title bar,
// always kept inside its parent while dragged, and once dragged also when the parent shrinks, so
// that the title bar and the close button stay within reach.
Item {
    id: popup

    // Set by the first drag move; until then the popup follows the parent's right edge.
    property bool _dragged: false

    signal closeRequested()

    // The lower bound is applied last: a parent smaller than the popup holds it at 0.
    function _placeInside(newX, newY) {
        const area = parent
        if (area) {
            x = Math.max(0, Math.min(area.width - width, newX))
            y = Math.max(0, Math.min(area.height - height, newY))
        } else {
            x = newX
            y = newY
        }
    }

    width: 300
    height: shadow.height
    // Only until the first drag move, which assigns x and so drops this binding for good.
    x: parent ? parent.width - width - 24 : 0
    y: 24
    z: 100

    // Escape closes the panel wherever the keyboard focus is (the panel itself never takes it),
    // and only while it is shown; as the close button, it asks the owner.
    Shortcut {
        sequence: "Escape"
        enabled: popup.visible
        onActivated: popup.closeRequested()
    }

    Connections {
        target: popup.parent
        function onWidthChanged() { if (popup._dragged) popup._placeInside(popup.x, popup.y) }
        function onHeightChanged() { if (popup._dragged) popup._placeInside(popup.x, popup.y) }
    }

    Rectangle {
        id: shadow
        x: 3
        y: 3
        width: panel.width
        height: panel.height
        radius: 8
        color: "#000000"
        opacity: 0.25
    }

    Rectangle {
        id: panel
        width: 300
        height: headerBar.height + contentScroll.height
        radius: 8
        color: ThemeManager.currentTheme.surface
        clip: true

        Item {
            id: headerBar
            width: parent.width
            height: 44

            Text {
                anchors.left: parent.left
                anchors.leftMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "Settings"
                font.pixelSize: 13
                font.weight: Font.Medium
                color: ThemeManager.currentTheme.dimText
            }

            FlatIconButton {
                id: closeButton
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                iconText: "\ue5cd"
                iconSize: 18
                onClicked: popup.closeRequested()
            }

            // Leaves the rightmost 40 pixels to the close button.
            MouseArea {
                id: dragArea

                property real pressX: 0
                property real pressY: 0

                anchors.fill: parent
                anchors.rightMargin: 40
                cursorShape: Qt.SizeAllCursor

                onPressed: mouse => {
                    pressX = mouse.x
                    pressY = mouse.y
                }
                onPositionChanged: mouse => {
                    if (!pressed)
                        return
                    popup._dragged = true
                    popup._placeInside(popup.x + mouse.x - pressX, popup.y + mouse.y - pressY)
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: ThemeManager.currentTheme.scrollbarThumb
            }
        }

        ScrollView {
            id: contentScroll
            anchors.top: headerBar.bottom
            width: parent.width
            height: settingsCol.implicitHeight
            contentWidth: availableWidth

            Column {
                id: settingsCol
                x: 16
                width: parent.width - 32
                topPadding: 16
                bottomPadding: 16
                spacing: 16

                // The values are bindings that nothing assigns: a stored value changed by anyone
                // shows at once, and the user's moves reach the back end only through commits.
                // "| 0" is ECMAScript's ToInt32: a real reaches an int setting truncated toward
                // zero, NaN and the infinities as 0, wrapped beyond 32 bits.
                LabeledSlider {
                    width: settingsCol.width
                    label: "Horizontal margin"
                    from: 0
                    to: 64
                    stepSize: 1
                    value: ReadingPreferences.horizontalMargin
                    valueText: value + " px"
                    onCommitted: value => ReadingPreferences.horizontalMargin = value | 0
                }

                LabeledSlider {
                    width: settingsCol.width
                    label: "Vertical margin"
                    from: 0
                    to: 64
                    stepSize: 1
                    value: ReadingPreferences.verticalMargin
                    valueText: value + " px"
                    onCommitted: value => ReadingPreferences.verticalMargin = value | 0
                }

                LabeledSlider {
                    width: settingsCol.width
                    label: "Font size"
                    from: 10
                    to: 32
                    stepSize: 1
                    value: ReadingPreferences.fontSize
                    valueText: value + " px"
                    onCommitted: value => ReadingPreferences.fontSize = value | 0
                }

                LabeledSlider {
                    width: settingsCol.width
                    label: "Line spacing"
                    from: 0.5
                    to: 2.0
                    stepSize: 0.1
                    value: ReadingPreferences.lineSpacing
                    valueText: value.toFixed(1) + "\u00d7"
                    onCommitted: value => ReadingPreferences.lineSpacing = value
                }

                LabeledSwitch {
                    width: settingsCol.width
                    visible: ReadingModel.isTextMode
                    label: "Use book colours"
                    description: "Apply publisher text and background colours for this book"
                    checked: ReadingModel.useBookColours
                    onToggled: checked => ReadingModel.setUseBookColours(checked)
                }
            }
        }
    }
}
