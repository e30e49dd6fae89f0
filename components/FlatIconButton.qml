import QtQuick
import QtQuick.Controls.Basic
import Vellora

// A chrome-less button whose whole look is one glyph of the icon font. It keeps no state colour of
// its own: users that want one bind iconColor to their state.
Button {
    id: control

    property alias iconText: label.text
    property int iconSize: 16
    property color iconColor: ThemeManager.currentTheme.dimText
    property string tooltip: ""

    flat: true
    background: Item {}
    contentItem: Text {
        id: label
        font.family: "Material Icons Outlined"
        font.pixelSize: control.iconSize
        color: control.iconColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    ToolTip {
        id: toolTip
        visible: control.tooltip !== "" && control.hovered
        delay: 500
        text: control.tooltip
    }
}
