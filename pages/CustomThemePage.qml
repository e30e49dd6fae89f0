import QtQuick
import Vellora

// Editor of the custom theme's colours.
Rectangle {
    id: root

    gradient: Gradient {
        GradientStop { position: 0.0; color: ThemeManager.currentTheme.gradientTop }
        GradientStop { position: 1.0; color: ThemeManager.currentTheme.gradientBottom }
    }
}
