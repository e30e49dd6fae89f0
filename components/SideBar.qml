import QtQuick
import Vellora

// The navigation drawer at the window's left edge. It only reports what the user chose; the window
// answers (pages, popups, the file dialog, closing the bar). The theme rows are the exception and
// switch the theme themselves.
Rectangle {
    id: sideBar

    property bool sidebarOpen: false

    signal closeDrawer()
    signal navigateTo(string page)
    signal openFile()

    width: sidebarOpen ? ThemeManager.sidebarWidth : 0
    clip: true
    color: ThemeManager.currentTheme.surface

    // The duration follows the direction the bar is heading when the change starts: the Behavior's
    // target is set before it builds the animation, a second binding on sidebarOpen might not be yet.
    // A Behavior is not applied while the component is being built, so the first width is at once.
    Behavior on width {
        id: widthBehavior
        NumberAnimation {
            duration: widthBehavior.targetValue > 0 ? ThemeManager.animDurationOpen : ThemeManager.animDurationClose
            easing.type: Easing.OutQuad
        }
    }

    Text {
        x: 16
        y: ThemeManager.headerHeight / 2 - height / 2
        text: "Vellora"
        font.pixelSize: 18
        font.bold: true
        color: ThemeManager.currentTheme.uiText
    }

    FlatIconButton {
        id: closeButton
        anchors.right: parent.right
        anchors.rightMargin: 12
        y: ThemeManager.headerHeight / 2 - height / 2
        z: 1
        iconText: "\ue5cb"
        iconSize: 24
        iconColor: ThemeManager.currentTheme.sidebarButtonText
        onClicked: sideBar.closeDrawer()
    }

    // Always full width, so the clipping bar uncovers the rows instead of squeezing them.
    Column {
        id: navColumn
        x: 0
        y: ThemeManager.headerHeight
        width: ThemeManager.sidebarWidth

        SideBarButton {
            iconText: "\ue02f"
            title: "History"
            onClicked: sideBar.navigateTo("history")
        }
        SideBarButton {
            iconText: "\ue30a"
            title: "Files"
            onClicked: sideBar.openFile()
        }
        Rectangle {
            width: navColumn.width
            height: 1
            color: ThemeManager.currentTheme.divider
        }
        SideBarButton {
            iconText: "\ue3a9"
            title: "Dark Theme"
            onClicked: ThemeManager.setDarkTheme()
        }
        SideBarButton {
            iconText: "\ue3a6"
            title: "Light Theme"
            onClicked: ThemeManager.setLightTheme()
        }
        SideBarButton {
            iconText: "\ue40a"
            title: "Custom Theme"
            rightIconText: "\ue3c9"
            onClicked: ThemeManager.setCustomTheme()
            // The editor must open with the custom theme already current.
            onRightIconClicked: {
                ThemeManager.setCustomTheme()
                sideBar.navigateTo("customTheme")
            }
        }
        Rectangle {
            width: navColumn.width
            height: 1
            color: ThemeManager.currentTheme.divider
        }
        SideBarButton {
            iconText: "\ue8b8"
            title: "Settings"
            onClicked: sideBar.navigateTo("settings")
        }
        SideBarButton {
            iconText: "\ue923"
            title: "Update"
            onClicked: sideBar.navigateTo("update")
        }
    }
}
