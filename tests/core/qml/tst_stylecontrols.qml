import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15

// The controls of the vukstyle style: sizes, colours, states.
Item {
    id: stage
    width: 500
    height: 400

    TestCase {
        id: testCase
        name: "StyleControls"
        when: windowShown

        function colorIs(actual, expected, what) {
            verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
        }

        Component { id: radioComponent; RadioButton { text: "System"; hoverEnabled: true } }
        Component { id: switchComponent; Switch { text: "Ignore low pass"; width: 220 } }
        Component { id: buttonComponent; Button { text: "Apply" } }
        Component { id: comboComponent; ComboBox { model: ["1", "2", "3"]; label: "VNA port" } }
        Component { id: textFieldComponent; TextField { text: "127.0.0.1" } }
        Component { id: radioDelegateComponent; RadioDelegate { text: "Fixture"; width: 62; height: 32 } }
        Component { id: labelComponent; Label { text: "Port" } }
        Component { id: groupBoxComponent; GroupBox { title: "General"; Label { text: "x" } } }
        Component { id: toolButtonComponent; ToolButton { text: "BACK" } }
        Component { id: tabButtonComponent; TabButton { text: "Display" } }
        Component { id: drawerComponent; Drawer { width: 100; height: 100 } }

        function test_radioButtonRingDotAndText() {
            var radio = createTemporaryObject(radioComponent, stage)
            compare(radio.font.pixelSize, 14)
            compare(radio.font.weight, Font.Medium)
            compare(radio.indicator.width, 19)
            compare(radio.indicator.height, 19)
            compare(radio.indicator.border.width, 2)
            colorIs(radio.indicator.color, "transparent", "ring inside")
            colorIs(radio.indicator.border.color, "#FF9B9699", "ring")
            colorIs(radio.contentItem.color, "#FF9B9699", "text")
            // The text starts after the ring, the spacing and 5 more pixels.
            compare(radio.contentItem.leftPadding, radio.indicator.width + radio.spacing + 5)

            var dot = findChild(radio, "dot")
            verify(!dot.visible)
            mouseClick(radio)
            verify(radio.checked)
            verify(dot.visible)
            compare(dot.width, 9)
            colorIs(dot.color, radio.indicator.border.color, "dot")

            mouseMove(radio, radio.width / 2, radio.height / 2)
            tryCompare(radio, "hovered", true)
            colorIs(radio.indicator.border.color, "#FFDED7DB", "hovered ring")
            colorIs(dot.color, "#FFDED7DB", "hovered dot")
        }

        function test_disabledRadioButtonIsDrawnAtThirtyPercent() {
            var radio = createTemporaryObject(radioComponent, stage, { enabled: false })
            compare(radio.indicator.opacity, 0.3)
            compare(radio.contentItem.opacity, 0.3)
            radio.enabled = true
            compare(radio.indicator.opacity, 1)
            compare(radio.contentItem.opacity, 1)
        }

        function test_switchShowsTheTextFirstAndMovesTheHandleRight() {
            var sw = createTemporaryObject(switchComponent, stage)
            verify(sw.indicator.x > sw.width / 2, "switch at the right")
            compare(sw.indicator.x + sw.indicator.width, sw.width - sw.rightPadding)
            compare(sw.contentItem.leftPadding, 0)
            compare(sw.contentItem.rightPadding, sw.indicator.width + sw.spacing)
            compare(sw.contentItem.horizontalAlignment, Text.AlignLeft)

            var handle = sw.indicator.handle
            compare(handle.x, 0)
            mouseClick(sw)
            verify(sw.checked)
            tryCompare(handle, "x", sw.indicator.width - handle.width)
            mouseClick(sw)
            verify(!sw.checked)
            tryCompare(handle, "x", 0)
        }

        function test_switchTextColours() {
            var sw = createTemporaryObject(switchComponent, stage)
            colorIs(sw.contentItem.color, sw.Material.foreground, "enabled text")
            compare(sw.contentItem.elide, Text.ElideRight)
            sw.enabled = false
            colorIs(sw.contentItem.color, sw.Material.hintTextColor, "disabled text")
        }

        function test_buttonLook() {
            var button = createTemporaryObject(buttonComponent, stage)
            compare(button.font.pixelSize, 14)
            compare(button.font.capitalization, Font.MixedCase)
            verify(!button.autoRepeat)
            compare(button.background.implicitWidth, 170)
            compare(button.background.implicitHeight, button.Material.buttonHeight)
            compare(button.background.radius, 3)
            colorIs(button.contentItem.color, button.Material.foreground, "text")
            colorIs(button.background.border.color, "transparent", "border without focus")

            button.forceActiveFocus()
            colorIs(button.background.border.color, button.Material.accentColor, "focused raised button")
            compare(button.background.border.width, 2)

            button.highlighted = true
            colorIs(button.contentItem.color, button.Material.backgroundColor, "highlighted text")
            colorIs(button.icon.color, button.Material.backgroundColor, "highlighted icon")
            colorIs(button.background.color, button.Material.highlightedButtonColor, "highlighted fill")

            button.enabled = false
            colorIs(button.contentItem.color, button.Material.hintTextColor, "disabled text")
            colorIs(button.background.color, button.Material.buttonDisabledColor, "disabled fill")
        }

        function test_flatHighlightedButtonKeepsVisibleText() {
            var button = createTemporaryObject(buttonComponent, stage, { flat: true, highlighted: true })
            colorIs(button.Material.background, "transparent", "flat fill")
            // Text in the (transparent) background colour would be invisible.
            verify(button.contentItem.color.a > 0)
            colorIs(button.contentItem.color, button.Material.accentColor, "flat highlighted text")
            button.forceActiveFocus()
            colorIs(button.background.border.color, "transparent", "focused flat button has no border")
        }

        function test_buttonElevation_data() {
            return [
                { tag: "raised", flat: false, rest: 2, pressed: 8 },
                { tag: "flat", flat: true, rest: 0, pressed: 2 }
            ]
        }

        function test_buttonElevation(data) {
            var button = createTemporaryObject(buttonComponent, stage, { flat: data.flat, hoverEnabled: false })
            compare(button.Material.elevation, data.rest)
            mousePress(button)
            compare(button.Material.elevation, data.pressed)
            mouseRelease(button)
            compare(button.Material.elevation, data.rest)
        }

        function test_comboBoxLabelAndBorder() {
            var combo = createTemporaryObject(comboComponent, stage, { x: 20, y: 40 })
            compare(combo.font.pixelSize, 14)
            compare(combo.background.implicitWidth, 192)
            compare(combo.background.radius, 4)
            colorIs(combo.background.color, "transparent", "frame")
            compare(combo.background.border.width, 1)
            colorIs(combo.background.border.color, combo.Material.secondaryTextColor, "border at rest")

            var caption = findChild(combo, "label")
            var patch = findChild(combo, "labelPatch")
            verify(caption.visible)
            compare(caption.text, "VNA port")
            compare(caption.x, 12)
            compare(caption.y, -10)
            colorIs(caption.color, combo.background.border.color, "caption")
            compare(patch.x, caption.x - 3)
            compare(patch.width, caption.width + 6)
            compare(patch.y, caption.y + 9)
            colorIs(patch.color, combo.Material.backgroundColor, "patch")

            combo.popup.open()
            tryCompare(combo.popup, "opened", true)
            verify(!caption.visible, "caption hidden while the list is open")
            compare(combo.popup.width, combo.width)
            compare(combo.popup.background.radius, 4)
            combo.popup.close()
            tryCompare(combo.popup, "visible", false)
            verify(caption.visible)

            combo.forceActiveFocus(Qt.TabFocusReason)
            compare(combo.background.border.width, 2)
            colorIs(combo.background.border.color, combo.Material.primaryTextColor, "focused border")

            combo.enabled = false
            colorIs(combo.background.border.color, combo.Material.hintTextColor, "disabled border")
        }

        function test_comboBoxWithoutLabelDrawsNone() {
            var combo = createTemporaryObject(comboComponent, stage, { label: "" })
            verify(!findChild(combo, "label").visible)
            verify(!findChild(combo, "labelPatch").visible)
        }

        function test_comboBoxTextPadding_data() {
            return [
                { tag: "read-only", editable: false, left: 12, right: 0 },
                { tag: "editable", editable: true, left: 2, right: 2 }
            ]
        }

        function test_comboBoxTextPadding(data) {
            var combo = createTemporaryObject(comboComponent, stage, { editable: data.editable })
            compare(combo.contentItem.padding, 6)
            compare(combo.contentItem.leftPadding, data.left)
            compare(combo.contentItem.rightPadding, data.right)
            compare(combo.contentItem.enabled, data.editable)
        }

        function test_textField() {
            var field = createTemporaryObject(textFieldComponent, stage)
            compare(field.font.pixelSize, 14)
            compare(field.horizontalAlignment, TextInput.AlignHCenter)
            compare(field.verticalAlignment, TextInput.AlignVCenter)
            verify(field.selectByMouse)
            verify(field.hoverEnabled)
            colorIs(field.Material.accent, field.Material.foreground, "accent follows the text colour")
            colorIs(field.color, field.Material.foreground, "text")
            compare(field.background.border.width, 1)
            colorIs(field.background.border.color, field.Material.highlightedRippleColor, "frame")
            field.readOnly = true
            compare(field.background.border.width, 0)
            field.enabled = false
            colorIs(field.color, field.Material.hintTextColor, "disabled text")
            colorIs(field.background.border.color, field.Material.rippleColor, "disabled frame")
        }

        function test_radioDelegateFillsTheChosenSegment() {
            var segment = createTemporaryObject(radioDelegateComponent, stage)
            compare(segment.font.pixelSize, 13)
            compare(segment.font.weight, Font.Medium)
            compare(segment.background.radius, 0)
            colorIs(segment.background.color, segment.Material.buttonColor, "unchosen")
            colorIs(segment.contentItem.color, segment.Material.foreground, "unchosen text")
            compare(segment.contentItem.horizontalAlignment, Text.AlignHCenter)
            compare(segment.Material.elevation, 2)

            mouseClick(segment)
            verify(segment.checked)
            colorIs(segment.background.color, segment.Material.accentColor, "chosen")
            colorIs(segment.contentItem.color, segment.Material.backgroundColor, "chosen text")

            segment.enabled = false
            colorIs(segment.background.color, segment.Material.buttonColor, "disabled chosen")
            colorIs(segment.contentItem.color, segment.Material.foreground, "disabled text")
            compare(segment.contentItem.opacity, 0.3)
        }

        function test_labelColours() {
            var label = createTemporaryObject(labelComponent, stage)
            colorIs(label.color, label.Material.secondaryTextColor, "enabled")
            colorIs(label.linkColor, label.Material.accentColor, "link")
            label.enabled = false
            colorIs(label.color, label.Material.hintTextColor, "disabled")
        }

        function test_groupBox() {
            var box = createTemporaryObject(groupBoxComponent, stage)
            compare(box.font.pixelSize, 14)
            verify(box.font.bold)
            compare(box.leftPadding, 5)
            compare(box.bottomPadding, 12)
            compare(box.spacing, 6)
            compare(box.label.x, box.leftPadding)
            compare(box.label.y, 5)
            verify(box.topPadding >= box.label.y + box.label.implicitHeight, "content below the title")
            compare(box.Material.elevation, 2)
            compare(box.background.radius, 3)
            compare(box.background.border.width, 0)
            colorIs(box.label.color, box.Material.foreground, "title")
        }

        function test_toolButtonColours() {
            var button = createTemporaryObject(toolButtonComponent, stage, { hoverEnabled: false })
            compare(button.padding, 6)
            compare(button.icon.width, 24)
            colorIs(button.contentItem.color, button.Material.secondaryTextColor, "at rest")
            button.checkable = true
            button.checked = true
            colorIs(button.contentItem.color, button.Material.accentColor, "checked")
            colorIs(button.icon.color, button.Material.accentColor, "checked icon")
            button.enabled = false
            colorIs(button.contentItem.color, button.Material.hintTextColor, "disabled")
        }

        function test_tabButtonColours() {
            var tab = createTemporaryObject(tabButtonComponent, stage, { hoverEnabled: false })
            compare(tab.font.capitalization, Font.MixedCase)
            compare(tab.contentItem.rightPadding, 30)
            compare(tab.background.implicitHeight, tab.Material.touchTarget)
            colorIs(tab.contentItem.color, tab.Material.secondaryTextColor, "at rest")
            tab.checked = true
            colorIs(tab.contentItem.color, tab.Material.accentColor, "checked")
            tab.enabled = false
            compare(tab.contentItem.opacity, 0.3)
            colorIs(tab.contentItem.color, tab.Material.secondaryTextColor, "disabled")
        }

        function test_drawerPaddingAndElevation() {
            var drawer = createTemporaryObject(drawerComponent, stage, { edge: Qt.LeftEdge })
            compare(drawer.Material.elevation, 16)
            compare(drawer.rightPadding, 0)
            drawer.interactive = false
            drawer.dim = false
            compare(drawer.Material.elevation, 0)
            // One pixel for the divider on the edge that faces the content.
            compare(drawer.rightPadding, 1)
            compare(drawer.leftPadding, 0)
            compare(drawer.topPadding, 0)
            drawer.edge = Qt.TopEdge
            compare(drawer.bottomPadding, 1)
            compare(drawer.rightPadding, 0)
        }
    }
}
