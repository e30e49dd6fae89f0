import QtQuick
import Vellora

// The empty start screen: the theme's gradient under a faint illustration.
Rectangle {
    gradient: Gradient {
        GradientStop { position: 0.0; color: ThemeManager.currentTheme.gradientTop }
        GradientStop { position: 1.0; color: ThemeManager.currentTheme.gradientBottom }
    }

    Image {
        anchors.fill: parent
        source: "qrc:/Vellora/src/assets/moon1.svg"
        // Rendered at the size shown, so the vector picture stays sharp at any window size.
        sourceSize: Qt.size(width, height)
        fillMode: Image.PreserveAspectCrop
        opacity: 0.15
    }
}
