import QtQuick
import QtTest
import Vellora
import "Helpers.js" as Helpers

Item {
    id: scene
    width: 1000
    height: 700

    Component {
        id: sliderComponent
        LabeledSlider {
            width: 300
            label: "Size"
            from: 0
            to: 40
            stepSize: 1
            value: 10
        }
    }

    Component {
        id: switchComponent
        LabeledSwitch { width: 300; label: "Option" }
    }

    // The page area the popup lives in, as the window gives it.
    Component {
        id: areaComponent
        Item {
            property alias popup: popup
            width: 1000
            height: 700
            SettingsPopup { id: popup }
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function spyOn(target, signalName) {
        return spyComponent.createObject(scene, { target: target, signalName: signalName })
    }

    function sliderOf(control) {
        return Helpers.findChild(control, c => c.visualPosition !== undefined)
    }

    TestCase {
        name: "LabeledSlider"
        when: windowShown

        function test_aBurstOfMovesCommitsOnceWithTheLastValue() {
            const control = createTemporaryObject(sliderComponent, scene)
            const committed = spyOn(control, "committed")
            const slider = sliderOf(control)
            slider.forceActiveFocus()
            keyClick(Qt.Key_Right)
            keyClick(Qt.Key_Right)
            keyClick(Qt.Key_Right)
            compare(control.value, 13, "the look follows every move at once")
            compare(control.valueText, "13")
            compare(committed.count, 0, "nothing before the pause")
            tryCompare(committed, "count", 1)
            compare(committed.signalArguments[0][0], 13)
            wait(350)
            compare(committed.count, 1)

            keyClick(Qt.Key_Left)
            tryCompare(committed, "count", 2, 5000, "a move after the pause commits again")
            compare(committed.signalArguments[1][0], 12)
        }

        function test_valuesFromOutsideNeverCommit() {
            const control = createTemporaryObject(sliderComponent, scene)
            const committed = spyOn(control, "committed")
            control.value = 30
            compare(control.valueText, "30")
            wait(350)
            compare(committed.count, 0)

            sliderOf(control).forceActiveFocus()
            keyClick(Qt.Key_Right)
            control.value = 5
            tryCompare(committed, "count", 1)
            compare(committed.signalArguments[0][0], 5, "the pending commit carries the value at its time")
        }

        function test_pressWithoutMoveCommitsNothing() {
            // At the middle the handle's centre lies on a whole pixel, where the press is delivered.
            const control = createTemporaryObject(sliderComponent, scene, { value: 20 })
            const committed = spyOn(control, "committed")
            const slider = sliderOf(control)
            const handle = slider.handle
            mousePress(handle, handle.width / 2, handle.height / 2)
            verify(slider.pressed)
            mouseRelease(handle, handle.width / 2, handle.height / 2)
            wait(350)
            compare(committed.count, 0)
        }

        function test_fillEndsUnderTheHandle_data() {
            return [
                { tag: "start", value: 0, position: 0 },
                { tag: "middle", value: 20, position: 0.5 },
                { tag: "end", value: 40, position: 1 }
            ]
        }

        function test_fillEndsUnderTheHandle(row) {
            const control = createTemporaryObject(sliderComponent, scene, { value: row.value })
            const slider = sliderOf(control)
            const track = slider.background
            const fill = track.children[0]
            compare(slider.visualPosition, row.position)
            compare(track.width, slider.availableWidth)
            compare(fill.width, row.position * track.width)
            compare(slider.handle.x, slider.leftPadding + row.position * (slider.availableWidth - 14))
            compare(track.x + fill.width, slider.handle.x + 14 * row.position)
        }

        function test_defaultValueText_data() {
            return [
                { tag: "whole", from: 0, to: 40, step: 1, value: 12, text: "12" },
                { tag: "inexact", from: 0, to: 1, step: 0, value: 0.1 + 0.2, text: "0.30000000000000004" }
            ]
        }

        function test_defaultValueText(row) {
            const control = createTemporaryObject(sliderComponent, scene,
                                                  { from: row.from, to: row.to, stepSize: row.step, value: row.value })
            compare(control.valueText, row.text)
        }
    }

    TestCase {
        name: "LabeledSwitch"
        when: windowShown

        function switchOf(control) {
            return Helpers.findChild(control, c => c.checked !== undefined && c.indicator !== undefined)
        }

        function test_onlyTheUsersTogglesAreReported() {
            const control = createTemporaryObject(switchComponent, scene)
            const toggled = spyOn(control, "toggled")
            const knob = switchOf(control).indicator.children[0]
            compare(knob.x, 2)
            mouseClick(switchOf(control))
            verify(control.checked)
            compare(toggled.count, 1)
            compare(toggled.signalArguments[0][0], true)
            tryCompare(knob, "x", 18)

            control.checked = false
            compare(toggled.count, 0 + 1, "an assigned state is not reported")
            verify(knob.x > 2, "the knob slides")
            tryCompare(knob, "x", 2)

            mouseClick(control, 10, control.height / 2)
            compare(toggled.count, 1, "the label takes no clicks")
        }

        function test_heightFollowsTheDescription() {
            const control = createTemporaryObject(switchComponent, scene)
            const indicatorHeight = switchOf(control).implicitHeight
            const label = Helpers.findChild(control, c => c.text === "Option")
            compare(control.height, Math.max(label.height, indicatorHeight), "no gap for an empty description")

            control.description = "Short"
            const oneLine = control.height
            control.description = "A much longer description that has to wrap onto several lines in a control this narrow"
            tryVerify(() => control.height > oneLine, 1000, "a long description wraps and the control grows")

            control.label = "A label so long that it cannot fit on one line of the text column beside the switch"
            verify(label.truncated)
            compare(label.lineCount, 1)
        }
    }

    TestCase {
        name: "SettingsPopup"
        when: windowShown

        property var saved: ({})

        function init() {
            saved = { fontSize: ReadingPreferences.fontSize, lineSpacing: ReadingPreferences.lineSpacing,
                      horizontalMargin: ReadingPreferences.horizontalMargin,
                      verticalMargin: ReadingPreferences.verticalMargin }
        }

        function cleanup() {
            Book.close()
            for (const key in saved)
                ReadingPreferences[key] = saved[key]
        }

        function openBook(path) {
            Book.openFromPath(path)
            tryCompare(Book, "loading", false)
            verify(Book.hasBook, Book.errorMessage)
        }

        function slidersOf(popup) {
            const column = Helpers.findChild(popup, c => c.spacing === 16 && c.topPadding === 16)
            return column.children
        }

        function dragAreaOf(popup) {
            return Helpers.findChild(popup, c => c.cursorShape === Qt.SizeAllCursor)
        }

        function test_placedFromTheRightUntilDragged() {
            const area = createTemporaryObject(areaComponent, scene)
            const popup = area.popup
            compare(popup.x, 676)
            compare(popup.y, 24)
            compare(popup.width, 300)
            area.width = 800
            compare(popup.x, 476, "keeps 24 from the right edge")
            mouseDrag(area, 500, 40, -30, 20)
            compare(popup.x, 446)
            compare(popup.y, 44)
            area.width = 760
            compare(popup.x, 446, "a dragged popup keeps its place while it fits")
        }

        // Heights are given above the popup's own, which follows its controls.
        function test_draggedPopupStaysInsideAShrinkingArea_data() {
            return [
                { tag: "narrower", w: 500, hAbove: 400, x: 200, y: 100 },
                { tag: "lower", w: 1000, hAbove: 50, x: 600, y: 50 },
                { tag: "smaller than the popup", w: 120, hAbove: -200, x: 0, y: 0 }
            ]
        }

        function test_draggedPopupStaysInsideAShrinkingArea(row) {
            const area = createTemporaryObject(areaComponent, scene)
            const popup = area.popup
            const drag = dragAreaOf(popup)
            const start = drag.mapToItem(area, 20, 20)
            mouseDrag(area, start.x, start.y, -76, 76)
            compare(popup.x, 600)
            compare(popup.y, 100)
            area.width = row.w
            area.height = popup.height + row.hAbove
            compare(popup.x, row.x)
            compare(popup.y, row.y)
        }

        function test_dragStaysInside_data() {
            return [
                { tag: "left edge", w: 1000, h: 700, dx: -900, dy: 0, x: 0, y: 24 },
                { tag: "top edge", w: 1000, h: 700, dx: 0, dy: -100, x: 676, y: 0 },
                { tag: "right and bottom edges", w: 1000, h: 700, dx: 900, dy: 900, x: 700, y: "bottom" },
                { tag: "an area narrower and lower than the popup", w: 200, h: 100, dx: 40, dy: 40, x: 0, y: 0 }
            ]
        }

        function test_dragStaysInside(row) {
            const area = createTemporaryObject(areaComponent, scene, { width: row.w, height: row.h })
            const popup = area.popup
            const drag = dragAreaOf(popup)
            const start = drag.mapToItem(area, 20, 20)
            mouseDrag(area, start.x, start.y, row.dx, row.dy)
            compare(popup.x, row.x)
            compare(popup.y, row.y === "bottom" ? row.h - popup.height : row.y)
        }

        function test_pressBesideTheCloseButtonStartsNoDrag() {
            const area = createTemporaryObject(areaComponent, scene)
            const popup = area.popup
            mouseDrag(area, popup.x + 300 - 30, popup.y + 22, -200, 100)
            compare(popup.x, 676)
            compare(popup.y, 24)
        }

        function test_closeOnlyAsks() {
            const area = createTemporaryObject(areaComponent, scene)
            const close = spyOn(area.popup, "closeRequested")
            mouseClick(Helpers.findChild(area.popup, c => c.iconText === "\ue5cd"))
            compare(close.count, 1)
            verify(area.popup.visible)
        }

        function test_valueTexts_data() {
            return [
                { tag: "margin 0", key: "horizontalMargin", stored: 0, slider: 0, text: "0 px" },
                { tag: "vertical margin 32", key: "verticalMargin", stored: 32, slider: 1, text: "32 px" },
                { tag: "font size below the range", key: "fontSize", stored: 8, slider: 2, text: "10 px" },
                { tag: "line spacing 1", key: "lineSpacing", stored: 1, slider: 3, text: "1.0×" },
                { tag: "line spacing 0.5", key: "lineSpacing", stored: 0.5, slider: 3, text: "0.5×" },
                { tag: "line spacing above the range", key: "lineSpacing", stored: 3, slider: 3, text: "2.0×" }
            ]
        }

        function test_valueTexts(row) {
            const area = createTemporaryObject(areaComponent, scene)
            ReadingPreferences[row.key] = row.stored
            compare(slidersOf(area.popup)[row.slider].valueText, row.text)
            compare(ReadingPreferences[row.key], row.stored, "showing clamps nothing")
        }

        // Whatever real a slider hands on, an int setting gets it as ECMAScript's ToInt32 makes it.
        function test_commitsConvertToInt32_data() {
            return [
                { tag: "truncated", value: 12.9, stored: 12 },
                { tag: "negative, toward zero", value: -12.9, stored: -12 },
                { tag: "NaN", value: NaN, stored: 0 },
                { tag: "infinity", value: Infinity, stored: 0 },
                { tag: "beyond 32 bits wraps", value: 4294967296 + 20, stored: 20 }
            ]
        }

        function test_commitsConvertToInt32(row) {
            const area = createTemporaryObject(areaComponent, scene)
            const sliders = slidersOf(area.popup)
            ReadingPreferences.fontSize = 17
            sliders[2].committed(row.value)
            compare(ReadingPreferences.fontSize, row.stored)
            sliders[0].committed(row.value)
            compare(ReadingPreferences.horizontalMargin, row.stored)
            sliders[3].committed(1.25)
            compare(ReadingPreferences.lineSpacing, 1.25, "line spacing is written unchanged")
        }

        function test_aMoveIsWrittenAfterThePauseEvenWhenHidden() {
            const area = createTemporaryObject(areaComponent, scene)
            ReadingPreferences.fontSize = 16
            const fontSlider = sliderOf(slidersOf(area.popup)[2])
            fontSlider.forceActiveFocus()
            keyClick(Qt.Key_Right)
            keyClick(Qt.Key_Right)
            area.popup.visible = false
            compare(ReadingPreferences.fontSize, 16, "not before the pause")
            tryCompare(ReadingPreferences, "fontSize", 18)
        }

        function test_bookColoursSwitch() {
            const area = createTemporaryObject(areaComponent, scene)
            const popup = area.popup
            const colours = slidersOf(popup)[4]
            verify(!colours.visible, "no book")
            const sliders = slidersOf(popup)
            let height = 44 + 32 + 3 * 16
            for (let i = 0; i < 4; ++i)
                height += sliders[i].height
            tryCompare(popup, "height", height)

            const first = fixtures.textBook("Colours first", 3)
            openBook(first)
            verify(colours.visible)
            tryCompare(popup, "height", height + 16 + colours.height)
            verify(!colours.checked)
            mouseClick(colours, colours.width - 10, colours.height / 2)
            verify(ReadingModel.useBookColours)
            verify(colours.checked)

            openBook(fixtures.textBook("Colours second", 3))
            verify(!colours.checked, "each book has its own flag")
            openBook(first)
            verify(colours.checked)

            openBook(fixtures.comicFolder("Colours comic", 2))
            verify(!colours.visible)
            tryCompare(popup, "height", height, 5000, "the column lays out only what is shown")
        }
    }
}
