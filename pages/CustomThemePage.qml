pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import Vellora

// The editor of the custom theme: one row per colour role of ThemeManager.customTheme, grouped by
// section, a preview in the current theme, and Revert and Apply. Picked colours go into the custom
// palette at once; leaving the page while the custom theme is current applies them.
Rectangle {
    id: root

    // One colour of the list. It knows nothing of themes: every colour it wants shown goes to
    // `apply`, and its user decides where it lands (and so what `value` shows next).
    component ColorRow: Item {
        id: colorRowRoot

        property string label: ""
        property color value: "#000000"
        property var apply: null
        // The colour to go back to when the dialog is cancelled.
        property color _savedValue: "#000000"

        function openPicker() {
            _savedValue = value
            dlg.selectedColor = value
            dlg.open()
        }

        height: 40

        // Applies every colour picked while it is open, so the palette follows live; accepting
        // then has nothing left to do.
        ColorDialog {
            id: dlg
            onSelectedColorChanged: {
                if (colorRowRoot.apply)
                    colorRowRoot.apply(selectedColor)
            }
            onRejected: {
                if (colorRowRoot.apply)
                    colorRowRoot.apply(colorRowRoot._savedValue)
            }
        }

        Text {
            anchors.left: parent.left
            anchors.leftMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            text: colorRowRoot.label
            font.pixelSize: 14
            color: ThemeManager.currentTheme.uiText
        }

        Row {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            Rectangle {
                width: 32
                height: 22
                radius: 3
                color: colorRowRoot.value
                border.width: 1
                border.color: ThemeManager.currentTheme.divider

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: colorRowRoot.openPicker()
                }
            }

            // "#rrggbb", or "#aarrggbb" for a translucent colour, upper-cased.
            Text {
                width: 90
                anchors.verticalCenter: parent.verticalCenter
                text: colorRowRoot.value.toString().toUpperCase()
                font.pixelSize: 11
                font.family: "Courier New"
                color: ThemeManager.currentTheme.dimText
            }
        }
    }

    component SectionLabel: Text {
        topPadding: 16
        bottomPadding: 4
        leftPadding: 4
        font.pixelSize: 13
        font.weight: Font.Medium
        color: ThemeManager.currentTheme.dimText
    }

    gradient: Gradient {
        GradientStop { position: 0.0; color: ThemeManager.currentTheme.gradientTop }
        GradientStop { position: 1.0; color: ThemeManager.currentTheme.gradientBottom }
    }

    // Leaving the page is an apply, but only while the edits are what the user sees.
    onVisibleChanged: {
        if (visible)
            return
        if (ThemeManager.currentThemeName !== "custom")
            return
        ThemeManager.applyCustomColors()
    }

    Column {
        id: topPanel
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 8
        spacing: 12

        Text {
            text: "Custom Theme"
            leftPadding: 4
            font.pixelSize: 13
            font.weight: Font.Medium
            color: ThemeManager.currentTheme.dimText
        }

        Rectangle {
            width: topPanel.width
            height: previewColumn.implicitHeight + 24
            color: ThemeManager.currentTheme.surface
            radius: 6
            border.width: 1
            border.color: ThemeManager.currentTheme.divider

            Column {
                id: previewColumn
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: 16
                spacing: 8

                Text {
                    width: previewColumn.width
                    text: "Lorem ipsum dolor sit amet, consectetur adipiscing elit. Sed do eiusmod tempor incididunt ut labore et dolore magna aliqua."
                    wrapMode: Text.WordWrap
                    font.pixelSize: 15
                    color: ThemeManager.currentTheme.readingText
                }
                Text {
                    text: "UI element text \u2022 Header text"
                    font.pixelSize: 13
                    color: ThemeManager.currentTheme.uiText
                }
                Text {
                    text: "Dim / secondary text \u2022 Counter text"
                    font.pixelSize: 12
                    color: ThemeManager.currentTheme.dimText
                }
                Row {
                    spacing: 8

                    Rectangle {
                        width: primaryChip.implicitWidth + 16
                        height: primaryChip.implicitHeight + 8
                        radius: 3
                        color: ThemeManager.currentTheme.primaryAccent

                        Text {
                            id: primaryChip
                            anchors.centerIn: parent
                            text: "Primary accent"
                            font.pixelSize: 12
                            color: ThemeManager.currentTheme.readingText
                        }
                    }
                    Rectangle {
                        width: buttonChip.implicitWidth + 16
                        height: buttonChip.implicitHeight + 8
                        radius: 3
                        color: ThemeManager.currentTheme.buttonAccent

                        Text {
                            id: buttonChip
                            anchors.centerIn: parent
                            text: "Button accent"
                            font.pixelSize: 12
                            // The accent is light enough for links on the page, so its label
                            // takes the dark of the surface.
                            color: ThemeManager.currentTheme.surface
                        }
                    }
                }
            }
        }

        Rectangle {
            width: topPanel.width
            height: 1
            color: ThemeManager.currentTheme.divider
        }
    }

    ScrollView {
        id: colorList
        anchors.top: topPanel.bottom
        anchors.topMargin: 4
        anchors.bottom: bottomBar.top
        anchors.left: parent.left
        anchors.right: parent.right
        contentWidth: availableWidth
        clip: true

        Column {
            id: listColumn
            width: colorList.availableWidth
            leftPadding: 8
            rightPadding: 8
            bottomPadding: 16
            spacing: 0

            Repeater {
                model: ThemeManager.colorSections

                Column {
                    id: sectionCol

                    required property var modelData

                    width: listColumn.width
                    spacing: 0

                    SectionLabel {
                        text: sectionCol.modelData.title
                    }

                    Repeater {
                        model: sectionCol.modelData.keys

                        ColorRow {
                            required property string modelData

                            width: sectionCol.width - 16
                            label: ThemeManager.colorLabels[modelData]
                            value: ThemeManager.customTheme[modelData]
                            apply: colour => ThemeManager.customTheme[modelData] = colour
                        }
                    }
                }
            }
        }
    }

    Rectangle {
        id: bottomBar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 56
        color: ThemeManager.currentTheme.surface

        Rectangle {
            anchors.top: parent.top
            width: parent.width
            height: 1
            color: ThemeManager.currentTheme.divider
        }

        Row {
            anchors.centerIn: parent
            spacing: 12

            Rectangle {
                width: revertLabel.implicitWidth + 32
                height: 36
                radius: 4
                color: revertArea.containsMouse ? Qt.lighter(ThemeManager.currentTheme.surface, 1.2)
                                                : ThemeManager.currentTheme.surface
                border.width: 1
                border.color: ThemeManager.currentTheme.divider

                Text {
                    id: revertLabel
                    anchors.centerIn: parent
                    text: "Revert"
                    font.pixelSize: 14
                    color: ThemeManager.currentTheme.uiText
                }
                MouseArea {
                    id: revertArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: ThemeManager.revertCustomColors()
                }
            }

            Rectangle {
                width: applyLabel.implicitWidth + 32
                height: 36
                radius: 4
                color: applyArea.containsMouse ? Qt.lighter(ThemeManager.currentTheme.primaryAccent, 1.2)
                                               : ThemeManager.currentTheme.primaryAccent

                Text {
                    id: applyLabel
                    anchors.centerIn: parent
                    text: "Apply"
                    font.pixelSize: 14
                    color: ThemeManager.currentTheme.readingText
                }
                MouseArea {
                    id: applyArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: ThemeManager.applyCustomColors()
                }
            }
        }
    }
}
