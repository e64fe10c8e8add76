import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import Color 1.0
import IconShortcuts 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"

// The wizard's stepper: geometry, selection, the step and bar colours and
// the check-result mark of a step.
Item {
    id: stage
    width: 600
    height: 400

    TestCase {
        id: testCase
        name: "Stepper"
        when: windowShown

        function colorIs(actual, expected, what) {
            verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
        }

        // Laid out as the wizard does it.
        Component {
            id: stepperComponent
            Stepper {
                width: 450
                height: 90
                indicatorTopPadding: 10
                indicatorWidth: 30
                indicatorHeight: 30
                separatorHeight: 3
                StepperElement { text: "Description"; done: true }
                StepperElement { text: "Fixture connection" }
                StepperElement { text: "VNA setup" }
            }
        }

        function step(stepper, i) { return findChild(stepper, "step" + i) }
        function separator(stepper, i) { return findChild(stepper, "separator" + i) }
        function indicator(stepper, i) {
            var s = step(stepper, i)
            tryVerify(function() { return s.indicatorItem !== null })
            return s.indicatorItem
        }
        function posIn(stepper, item) { return item.mapToItem(stepper, 0, 0) }

        function test_implicitSize() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            compare(stepper.count, 3)
            compare(stepper.implicitWidth, 3 * (100 + 2 * 8))
            compare(stepper.implicitHeight, 10 + 30 + 8 + 20 + 2 * 8)
            stepper.vertical = true
            compare(stepper.implicitWidth, 8 + 30 + 8 + 100 + 8)
            compare(stepper.implicitHeight, 3 * (10 + 30 + 8 + 3 / 2))
        }

        function test_horizontalLayout() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            var slice = 150
            for (var i = 0; i < 3; ++i) {
                var p = posIn(stepper, indicator(stepper, i).parent)  // the unscaled slot
                compare(p.x, i * slice + (slice - 30) / 2)
                compare(p.y, 10)
                var caption = step(stepper, i).contentItem
                var c = posIn(stepper, caption)
                compare(c.y, 10 + 30 + 8)
                fuzzyCompare(c.x + caption.width / 2, i * slice + slice / 2, 0.5)
            }
            for (var j = 0; j < 2; ++j) {
                var bar = separator(stepper, j)
                compare(bar.x, slice / 2 + 30 / 2 + 8 + j * slice)
                compare(bar.width, slice - 30 - 8 - 8)
                compare(bar.height, 3)
                compare(bar.y + bar.height / 2, 10 + 30 / 2)
            }
            verify(separator(stepper, 2) === null, "one bar fewer than steps")
        }

        function test_verticalLayout() {
            var stepper = createTemporaryObject(stepperComponent, stage, { vertical: true, width: 200, height: 300 })
            var slice = 100
            for (var i = 0; i < 3; ++i) {
                var p = posIn(stepper, indicator(stepper, i).parent)  // the unscaled slot
                compare(p.x, 8)
                compare(p.y, i * slice + (slice - 30) / 2)
                compare(step(stepper, i).contentItem.horizontalAlignment, Text.AlignLeft)
            }
            var bar = separator(stepper, 0)
            compare(bar.y, slice / 2 + 30 / 2 + 10)
            compare(bar.height, slice - 30 - 10 - 8)
            compare(bar.x + bar.width / 2, 8 + 30 / 2)
        }

        function test_clickSelectsAStep() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            compare(stepper.currentIndex, 0)
            compare(stepper.currentElement.text, "Description")
            mouseClick(step(stepper, 2))
            compare(stepper.currentIndex, 2)
            compare(stepper.currentElement.text, "VNA setup")

            stepper.clickable = false
            mouseClick(step(stepper, 1))
            compare(stepper.currentIndex, 2)
        }

        function test_indicatorColoursNumbersAndScale() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            var current = indicator(stepper, 0)
            var pending = indicator(stepper, 1)
            colorIs(current.color, current.Material.accentColor, "current step")
            compare(current.scale, 1.3)
            colorIs(pending.color, pending.Material.dividerColor, "pending step")
            compare(pending.scale, 1.0)
            stepper.currentIndex = 2
            // Step 1 is done but no longer current.
            colorIs(current.color, current.Material.primaryColor, "done step")
            compare(current.scale, 1.0)

            mouseMove(step(stepper, 1), 20, 20)
            tryCompare(pending, "scale", 1.1)
            colorIs(step(stepper, 1).contentItem.color, pending.Material.primaryTextColor, "hovered caption")
            colorIs(step(stepper, 0).contentItem.color, pending.Material.secondaryTextColor, "other caption")
            colorIs(step(stepper, 2).contentItem.color, pending.Material.primaryTextColor, "current caption")
            compare(step(stepper, 1).contentItem.text, "Fixture connection")
            compare(step(stepper, 1).contentItem.font.pixelSize, 16)
        }

        function test_stepNumbers() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            for (var i = 0; i < 3; ++i) {
                var texts = []
                var item = indicator(stepper, i)
                for (var k = 0; k < item.children.length; ++k)
                    if (item.children[k].text !== undefined)
                        texts.push(item.children[k].text)
                compare(texts, [String(i + 1)])
            }
        }

        function test_errorMarkOfAStep() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            var element = stepper.container.itemAt(2)
            var mark = findChild(indicator(stepper, 2), "stepWarning")
            verify(!mark.visible, "no mark while the page has no result")
            compare(mark.width, 15)
            compare(mark.x, 25)
            compare(mark.y, -6)
            verify(!mark.enableHover)

            element.done = true
            element.hasError = CoreMeasureEnums.RecommendedResult.Error
            verify(mark.visible)
            var picture = findChild(mark, "picture")
            compare(picture.source.toString(), Icons.error)
            colorIs(picture.color, Color.errorBackground, "error mark")

            element.hasError = CoreMeasureEnums.RecommendedResult.Correct
            compare(picture.source.toString(), Icons.checkMark)
            element.hasError = undefined
            verify(!mark.visible)
        }

        function test_barIsDoneWhenBothNeighboursAre() {
            var stepper = createTemporaryObject(stepperComponent, stage)
            var first = separator(stepper, 0)
            tryVerify(function() { return first.item !== null })
            var bar = first.item
            colorIs(bar.color, bar.Material.dividerColor, "one neighbour done")
            stepper.container.itemAt(1).done = true
            colorIs(bar.color, bar.Material.primaryColor, "both neighbours done")
            colorIs(separator(stepper, 1).item.color, bar.Material.dividerColor, "next bar")
            verify(bar.radius > 0, "rounded")
        }
    }
}
