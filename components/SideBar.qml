import QtQuick
import Vellora

// Navigation drawer at the window's left edge; the window answers its signals.
Rectangle {
    id: root

    property bool sidebarOpen: false

    signal closeDrawer()
    signal navigateTo(string page)
    signal openFile()

    width: sidebarOpen ? ThemeManager.sidebarWidth : 0
    clip: true
    color: ThemeManager.currentTheme.surface
}
