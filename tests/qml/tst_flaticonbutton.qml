import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Vellora

Item {
    id: scene
    width: 300
    height: 200

    Component {
        id: buttonComponent
        FlatIconButton {
            x: 100
            y: 80
            iconText: "\ue865"
            // The offscreen platform turns hover effects off by default.
            hoverEnabled: true
        }
    }

    TestCase {
        name: "FlatIconButton"
        when: windowShown

        function init() {
            ThemeManager.currentThemeName = "dark"
            mouseMove(scene, 1, 1)
        }

        function toolTipOf(button) {
            for (let i = 0; i < button.data.length; ++i) {
                if (button.data[i] instanceof ToolTip)
                    return button.data[i]
            }
            return null
        }

        function test_glyphLooks() {
            const button = createTemporaryObject(buttonComponent, scene)
            compare(button.flat, true)
            compare(button.contentItem.text, "\ue865")
            compare(button.contentItem.font.family, "Material Icons Outlined")
            compare(button.contentItem.font.pixelSize, 16)
            button.iconSize = 24
            compare(button.contentItem.font.pixelSize, 24)
            compare(button.background.children.length, 0)
        }

        function test_defaultColourFollowsTheTheme() {
            const button = createTemporaryObject(buttonComponent, scene)
            compare(button.contentItem.color, DarkTheme.dimText)
            ThemeManager.currentThemeName = "custom"
            ThemeManager.customTheme.dimText = "#123456"
            compare(button.contentItem.color.toString(), "#123456")
            ThemeManager.customTheme.dimText = DarkTheme.dimText
        }

        function test_setColourReplacesTheBinding() {
            const button = createTemporaryObject(buttonComponent, scene, { iconColor: "#ff0000" })
            ThemeManager.currentThemeName = "light"
            compare(button.contentItem.color.toString(), "#ff0000")
        }

        function test_noToolTipWithoutText() {
            const button = createTemporaryObject(buttonComponent, scene)
            mouseMove(button, button.width / 2, button.height / 2)
            verify(button.hovered)
            wait(700)
            compare(toolTipOf(button).visible, false)
        }

        function test_toolTipAfterDelayWhileHovered() {
            const button = createTemporaryObject(buttonComponent, scene, { tooltip: "Page shift (S)" })
            const tip = toolTipOf(button)
            compare(tip.delay, 500)
            compare(tip.text, "Page shift (S)")
            mouseMove(button, button.width / 2, button.height / 2)
            verify(button.hovered)
            compare(tip.visible, false, "not at once")
            tryCompare(tip, "visible", true)
            mouseMove(scene, 1, 1)
            tryCompare(tip, "visible", false)
        }

        function test_clicked() {
            const button = createTemporaryObject(buttonComponent, scene)
            const spy = createTemporaryObject(spyComponent, scene, { target: button })
            mouseClick(button)
            compare(spy.count, 1)
        }
    }

    Component {
        id: spyComponent
        SignalSpy { signalName: "clicked" }
    }
}
