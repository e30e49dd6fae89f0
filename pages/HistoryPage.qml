import QtQuick
import Vellora

// The books read, most recent first.
Rectangle {
    id: root

    color: ThemeManager.currentTheme.backgroundDefault
}
