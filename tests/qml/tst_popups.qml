import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 800
    height: 600

    // What lies under the popups: it must never see a click while one is shown.
    MouseArea {
        id: underneath
        anchors.fill: parent
        property int clicks: 0
        onClicked: ++clicks
    }

    Component {
        id: errorComponent
        ErrorPopup { anchors.fill: parent }
    }

    Component {
        id: updateComponent
        UpdatePopup { anchors.fill: parent }
    }

    SignalSpy { id: closeSpy; signalName: "closeRequested" }

    TestCase {
        name: "Popups"
        when: windowShown

        function init() {
            scene.width = 800
            scene.height = 600
            underneath.clicks = 0
        }

        function cleanup() {
            Book.close()
            Book.clearError()
        }

        // The column places the message and the button at its next polish.
        function failWith(popup, fileName) {
            Book.openFromPath(fixtures.file(fileName, "not a book"))
            tryVerify(() => Book.errorMessage !== "")
            waitForItemPolished(Helpers.findChild(popup, c => c.spacing === 20))
        }

        function cardOf(popup) {
            return Helpers.findChild(popup, c => c.radius === 8)
        }
        function okOf(popup) {
            return Helpers.findChild(popup, c => c.text === "Ok" && c.clicked !== undefined)
        }
        function messageOf(popup) {
            return Helpers.findChild(popup, c => c.text === Book.errorMessage && c.wrapMode !== undefined)
        }

        function test_errorCardWidth_data() {
            return [
                { tag: "narrow window", width: 500, card: 350 },
                { tag: "wide window", width: 800, card: 440 }
            ]
        }

        function test_errorCardWidth(row) {
            scene.width = row.width
            const popup = createTemporaryObject(errorComponent, scene)
            failWith(popup, "width.unknown")
            verify(popup.visible)
            compare(cardOf(popup).width, row.card)
        }

        function test_errorPopupTakesEveryClickUntilOk() {
            const popup = createTemporaryObject(errorComponent, scene)
            verify(!popup.visible)
            failWith(popup, "clicks.unknown")
            verify(popup.visible)
            mouseClick(popup, 10, 10)
            mouseClick(cardOf(popup), 30, 10)
            mouseClick(messageOf(popup))
            compare(underneath.clicks, 0)
            verify(popup.visible)
            keyClick(Qt.Key_Escape)
            verify(popup.visible, "no key closes it")
            mouseClick(okOf(popup))
            compare(Book.errorMessage, "")
            verify(!popup.visible)
            compare(underneath.clicks, 0)
        }

        // A file name is shown as written, never read as markup.
        function test_errorMessageIsPlainText() {
            const popup = createTemporaryObject(errorComponent, scene)
            failWith(popup, "<i>bold &amp; more.epub")
            const message = messageOf(popup)
            verify(message.text.indexOf("<i>bold &amp; more.epub") >= 0, message.text)
            const plain = createTemporaryQmlObject(
                "import QtQuick; Text { textFormat: Text.PlainText; wrapMode: Text.Wrap; font.pixelSize: 15 }", scene)
            plain.width = message.width
            plain.text = message.text
            compare(message.lineCount, plain.lineCount)
            compare(message.contentWidth, plain.contentWidth)
        }

        // A message taller than the window scrolls inside the card; "Ok" stays on screen.
        function test_tallMessageKeepsOkReachable() {
            scene.width = 300
            scene.height = 220
            const popup = createTemporaryObject(errorComponent, scene)
            failWith(popup, "a".repeat(120) + " " + "b".repeat(100) + ".epub")
            const card = cardOf(popup)
            const ok = okOf(popup)
            verify(messageOf(popup).implicitHeight > scene.height, "the message alone is taller than the window")
            verify(card.y >= 0 && card.y + card.height <= scene.height)
            const okPlace = ok.mapToItem(scene, 0, 0)
            verify(okPlace.y >= 0 && okPlace.y + ok.height <= scene.height)
            mouseClick(ok)
            verify(!popup.visible)
        }

        function test_updatePopupCloses_data() {
            return [
                { tag: "Ok", action: "ok", closes: 1 },
                { tag: "backdrop", action: "backdrop", closes: 1 },
                { tag: "Escape", action: "escape", closes: 1 },
                { tag: "inside the card", action: "card", closes: 0 }
            ]
        }

        function test_updatePopupCloses(row) {
            const popup = createTemporaryObject(updateComponent, scene)
            closeSpy.target = popup
            closeSpy.clear()
            const card = cardOf(popup)
            compare(card.width, 360)
            verify(Helpers.findChild(popup, c => c.text === "Current version: " + AppInfo.version))
            if (row.action === "ok")
                mouseClick(okOf(popup))
            else if (row.action === "backdrop")
                mouseClick(popup, 10, 10)
            else if (row.action === "escape")
                keyClick(Qt.Key_Escape)
            else
                mouseClick(card, 10, 10)
            compare(closeSpy.count, row.closes)
            compare(underneath.clicks, 0)
        }
    }
}
