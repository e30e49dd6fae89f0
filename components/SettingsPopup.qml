import QtQuick
import Vellora

// Floating panel of the reading preferences, top right of its parent; the window hides it.
Item {
    id: root

    signal closeRequested()

    width: 300
    height: 200
    x: parent ? parent.width - width - 24 : 0
    y: 24
    z: 100

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: ThemeManager.currentTheme.surface
    }
}
