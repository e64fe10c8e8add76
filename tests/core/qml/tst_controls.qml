import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import QtTest 1.15
import Color 1.0
import IconShortcuts 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"

// The shared controls: check-result marks and labels, inputs, dialogs,
// notification entries and page helpers.
Item {
    id: stage
    width: 600
    height: 500

    TestCase {
        id: testCase
        name: "SharedControls"
        when: windowShown

        readonly property int correct: CoreMeasureEnums.RecommendedResult.Correct
        readonly property int warning: CoreMeasureEnums.RecommendedResult.Warning
        readonly property int error: CoreMeasureEnums.RecommendedResult.Error

        function colorIs(actual, expected, what) {
            verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
        }

        Component { id: warningComponent; VukWarning { } }
        Component { id: vukLabelComponent; VukLabel { text: "value" } }
        Component { id: errorLabelComponent; VukErrorLabel { text: "IP" } }
        Component {
            id: validatedComponent
            VukValidatedTextField { min: 0; max: 100; width: 120 }
        }
        Component { id: returnPageComponent; PageWithReturn { width: 300; height: 200 } }
        Component { id: namedTipComponent; VukNamedToolTip { title: "Warning"; description: "Too many points" } }
        Component { id: statusComponent; StatusButton { text: "Apply" } }
        Component { id: errorEntryComponent; ErrorSwipeDelegate { width: 260; text: "10:02: Error no file" } }
        Component { id: messageEntryComponent; MessageSwipeDelegate { width: 260; text: "10:02: Saved" } }
        Component {
            id: warningEntryComponent
            WarningSwipeDelegate {
                width: 260
                text: "10:02: The fixture model of the fixture at analyser port 1 is not passive from 17.4 to 20 GHz"
                detail: "Its largest singular value reaches 1.0312 (a gain of 0.27 dB) at 19.2 GHz."
            }
        }
        Component { id: dialogComponent; VukMessageDialog { informativeText: "Restart now?" } }
        Component { id: touchstoneComponent; TouchstoneDialog { } }
        Component { id: namedFieldComponent; VukNamedTextField { title: "Custom Zo" } }
        Component { id: errorFieldComponent; VukErrorTextField { text: "50" } }
        Component {
            id: scrollPaneComponent
            AlignedScrollPane {
                width: 200
                height: 150
                Rectangle { implicitWidth: 80; implicitHeight: 40 }
            }
        }
        Component {
            id: themedWindowComponent
            VukApplicationWindow {
                property alias pane: pane
                width: 300
                height: 200
                visible: true
                VukShadowPane { id: pane; width: 100; height: 50 }
            }
        }

        function test_warningMark_data() {
            return [
                { tag: "correct", type: correct, icon: Icons.checkMark, colour: "#32D74B", title: "Correct" },
                { tag: "warning", type: warning, icon: Icons.warning, colour: "#FFD60A", title: "Warning" },
                { tag: "error", type: error, icon: Icons.error, colour: "#FF453A", title: "Critical error" }
            ]
        }

        function test_warningMark(data) {
            var mark = createTemporaryObject(warningComponent, stage, { type: data.type })
            compare(mark.width, 20)
            compare(mark.height, 20)
            var picture = findChild(mark, "picture")
            verify(picture.visible)
            compare(picture.source.toString(), data.icon)
            colorIs(picture.color, data.colour, "mark colour")
            compare(mark.toolTip.title, data.title)
            compare(mark.toolTip.description, "Tooltip")
        }

        function test_warningMarkDefaultsAndUndefinedType() {
            var mark = createTemporaryObject(warningComponent, stage)
            compare(mark.type, warning)
            var picture = findChild(mark, "picture")
            compare(picture.source.toString(), Icons.warning)

            mark.type = undefined
            compare(picture.source.toString(), Icons.warning)
            colorIs(picture.color, mark.Material.backgroundColor, "no result")
            compare(mark.toolTip.title, "")
        }

        function test_disabledWarningMarkDrawsNothing() {
            var mark = createTemporaryObject(warningComponent, stage, { type: correct, enabled: false })
            var picture = findChild(mark, "picture")
            verify(!picture.visible)
            compare(picture.source.toString(), Icons.warning)
            mark.enabled = true
            verify(picture.visible)
        }

        function test_warningMarkShowsItsToolTipOnHover() {
            var mark = createTemporaryObject(warningComponent, stage, { x: 100, y: 100, type: error })
            mark.toolTip.description = "Fstart must equal Fstep"
            verify(!mark.toolTip.visible)
            mouseMove(mark, 10, 10)
            tryCompare(mark.toolTip, "visible", true)
            compare(mark.toolTip.text, "<h3>Critical error</h3><br>Fstart must equal Fstep")
            mouseMove(stage, 400, 400)
            tryCompare(mark.toolTip, "visible", false)

            mark.enableHover = false
            mouseMove(mark, 10, 10)
            wait(50)
            verify(!mark.toolTip.visible)
        }

        function test_namedToolTip() {
            var tip = createTemporaryObject(namedTipComponent, stage)
            compare(tip.text, "<h3>Warning</h3><br>Too many points")
            compare(tip.contentWidth, 250)
            compare(tip.font.pixelSize, 16)
            compare(tip.topPadding, 20)
        }

        function test_vukLabelColour_data() {
            return [
                { tag: "secondary", props: {}, colour: "secondary" },
                { tag: "primary", props: { primary: true }, colour: "primary" },
                { tag: "accented", props: { accented: true, type: error }, colour: "accent" },
                { tag: "correct", props: { type: correct, primary: true }, colour: "#32D74B" },
                { tag: "warning", props: { type: warning }, colour: "#FFD60A" },
                { tag: "error", props: { type: error }, colour: "#FF453A" }
            ]
        }

        function test_vukLabelColour(data) {
            var label = createTemporaryObject(vukLabelComponent, stage, data.props)
            var expected = data.colour === "secondary" ? label.Material.secondaryTextColor
                         : data.colour === "primary" ? label.Material.primaryTextColor
                         : data.colour === "accent" ? label.Material.accentColor
                         : data.colour
            colorIs(label.color, expected, data.tag)
        }

        function test_errorLabel() {
            var label = createTemporaryObject(errorLabelComponent, stage)
            colorIs(label.color, label.Material.secondaryTextColor, "no error")
            label.hasError = true
            colorIs(label.color, Color.errorBackground, "error")
            label.enabled = false
            colorIs(label.color, label.Material.hintTextColor, "disabled")
        }

        function test_validatedField_data() {
            return [
                { tag: "above max", text: "150", emitted: [100] },
                { tag: "in range", text: "42.5", emitted: [42.5] },
                { tag: "below min", text: "-3", emitted: [0] },
                { tag: "SI prefix", text: "50 m", emitted: [0.05] },
                { tag: "prefix above max", text: "1.5k", emitted: [100] },
                { tag: "zero", text: "0", emitted: [0] },
                { tag: "empty", text: "", emitted: [] },
                { tag: "not a number", text: "abc", emitted: [] },
                { tag: "exponent", text: "1e3", emitted: [] },
                { tag: "unknown prefix", text: "5 c", emitted: [] }
            ]
        }

        function test_validatedField(data) {
            var field = createTemporaryObject(validatedComponent, stage)
            var emitted = []
            field.validated.connect(function(value) { emitted.push(value) })
            field.text = data.text
            field.forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(emitted.length, data.emitted.length)
            for (var i = 0; i < emitted.length; ++i)
                fuzzyCompare(emitted[i], data.emitted[i], 1e-12)
        }

        function test_returnPageText() {
            var page = createTemporaryObject(returnPageComponent, stage)
            var button = findChild(page, "returnButton")
            compare(button.text, "Return")
            compare(button.icon.source.toString(), Icons.back)
            compare(button.font.capitalization, Font.MixedCase)
            page.returnAdditionalText = "main application"
            compare(button.text, "Return to main application")

            var returned = 0
            page.returnMe.connect(function() { ++returned })
            mouseClick(button)
            compare(returned, 1)
        }

        function test_statusButtonShowsBusyIndicatorWhileInProgress() {
            var button = createTemporaryObject(statusComponent, stage)
            var busy = findChild(button, "busyIndicator")
            verify(!busy.visible)
            button.inProgress = true
            verify(busy.visible)
            verify(busy.running)
            button.setError()
            verify(!button.inProgress)
            verify(!busy.visible)
            button.inProgress = true
            button.setCorrect()
            verify(!button.inProgress)
        }

        function test_notificationEntries_data() {
            return [
                { tag: "error", component: errorEntryComponent, background: "#FFD60A",
                  text: "#212121", cross: "#212121" },
                { tag: "message", component: messageEntryComponent, background: "primary",
                  text: "background", cross: "background" }
            ]
        }

        function test_notificationEntries(data) {
            var entry = createTemporaryObject(data.component, stage, { x: 10, y: 10 })
            var resolve = function(name) {
                return name === "primary" ? entry.Material.primaryColor
                     : name === "background" ? entry.Material.backgroundColor
                     : name
            }
            colorIs(entry.background.color, resolve(data.background), "entry background")
            var label = findChild(entry, "text")
            colorIs(label.color, resolve(data.text), "entry text")
            compare(label.wrapMode, Text.Wrap)
            verify(entry.implicitHeight >= entry.Material.delegateHeight)

            var cross = findChild(entry, "removeButton")
            colorIs(cross.icon.color, resolve(data.cross), "cross")
            compare(cross.icon.source.toString(), Icons.cross)
            verify(!cross.visible)
            mouseMove(entry, entry.width / 2, entry.height / 2)
            tryCompare(cross, "visible", true)

            var removed = 0
            entry.removeMe.connect(function() { ++removed })
            mouseClick(cross)
            compare(removed, 1)

            mouseMove(stage, 500, 450)
            tryCompare(cross, "visible", false)

            entry.enabled = false
            colorIs(label.color, entry.Material.hintTextColor, "disabled text")
        }

        // A doubtful model's entry: its first line, bold, above the detail;
        // marked as a warning, not filled like an error.
        function test_warningEntryShowsTheSummaryAboveItsDetail() {
            var entry = createTemporaryObject(warningEntryComponent, stage, { x: 10, y: 10 })
            var summary = findChild(entry, "summary")
            var detail = findChild(entry, "detail")
            verify(summary.font.bold)
            compare(summary.wrapMode, Text.Wrap)
            compare(detail.wrapMode, Text.Wrap)
            verify(detail.visible)
            var top = summary.mapToItem(entry, 0, 0).y
            verify(detail.mapToItem(entry, 0, 0).y >= top + summary.height, "the detail lies below the summary")
            verify(entry.implicitHeight >= summary.height + detail.height, "both fit")
            verify(!Qt.colorEqual(entry.background.color, Color.alertBackground), "not the error entry's fill")
            colorIs(findChild(entry, "warningIcon").color, Color.alertBackground, "warning icon")

            var cross = findChild(entry, "removeButton")
            compare(cross.icon.source.toString(), Icons.cross)
            var removed = 0
            entry.removeMe.connect(function() { ++removed })
            mouseMove(entry, entry.width / 2, entry.height / 2)
            tryCompare(cross, "opacity", 1)
            mouseClick(cross)
            compare(removed, 1)
            mouseMove(stage, 500, 450)
            tryCompare(cross, "opacity", 0)

            entry.detail = ""
            verify(!detail.visible, "no detail, no second line")
        }

        function test_longNotificationGrowsTheEntry() {
            var entry = createTemporaryObject(errorEntryComponent, stage)
            var shortHeight = entry.implicitHeight
            entry.text = "10:02: Error " + new Array(40).join("the analyser refused the file ")
            var label = findChild(entry, "text")
            tryVerify(function() { return entry.implicitHeight > shortHeight }, 1000, "the entry grows")
            verify(entry.implicitHeight >= label.implicitHeight + 30,
                   "the whole text fits: " + entry.implicitHeight + " < " + label.implicitHeight + " + 30")
        }

        function test_messageDialogButtons() {
            var dialog = createTemporaryObject(dialogComponent, stage)
            var accept = findChild(dialog.contentItem, "acceptButton")
            var discard = findChild(dialog.contentItem, "discardButton")
            compare(accept.text, "Accept")
            compare(discard.text, "Discard")
            verify(accept.highlighted)
            verify(discard.flat)
            dialog.acceptText = "Restart now"
            dialog.discardText = "Later"
            compare(accept.text, "Restart now")
            compare(discard.text, "Later")

            var accepted = 0, discarded = 0
            dialog.accepted.connect(function() { ++accepted })
            dialog.discarded.connect(function() { ++discarded })
            dialog.open()
            tryCompare(dialog, "opened", true)
            mouseClick(discard)
            compare(discarded, 1)
            compare(accepted, 0)
            mouseClick(accept)
            compare(accepted, 1)
            dialog.close()
        }

        function test_touchstoneDialog() {
            var dialog = createTemporaryObject(touchstoneComponent, stage)
            verify(!dialog.visible)
            compare(dialog.nameFilters, ["Touchstone files (*.s1p *.s2p *.s3p *.s4p)"])
            compare(dialog.title, "Open Touchstone File")
        }

        function test_touchstonePath_data() {
            return [
                { tag: "windows drive", url: "file:///C:/data/thru.s2p", path: "C:/data/thru.s2p" },
                { tag: "unix path", url: "file:///home/user/thru.s2p", path: "/home/user/thru.s2p" },
                { tag: "network share", url: "file://server/share/thru.s2p", path: "//server/share/thru.s2p" },
                { tag: "escaped blank", url: "file:///C:/my%20data/thru.s2p", path: "C:/my data/thru.s2p" },
                { tag: "not a file url", url: "C:/data/thru.s2p", path: "C:/data/thru.s2p" }
            ]
        }

        function test_touchstonePath(data) {
            var dialog = createTemporaryObject(touchstoneComponent, stage)
            compare(dialog.localPath(data.url), data.path)
            if (data.url.indexOf("file:") === 0)
                compare(dialog.localPath(Qt.resolvedUrl(data.url)), data.path)
        }

        function test_namedTextField() {
            var field = createTemporaryObject(namedFieldComponent, stage)
            compare(field.padding, 0)
            compare(field.title, "Custom Zo")
            field.text_field.text = "75"
            compare(field.text_field.text, "75")
            compare(field.text_field.Layout.preferredWidth, 150)
            compare(field.text_field.Layout.preferredHeight, 32)
        }

        function test_errorTextFieldHoverAndReadOnly() {
            var field = createTemporaryObject(errorFieldComponent, stage, { x: 20, y: 20, width: 120, height: 40 })
            compare(field.result, correct)
            compare(field.font.pixelSize, 14)
            compare(field.horizontalAlignment, TextInput.AlignHCenter)
            var overlay = findChild(field, "hoverOverlay")
            verify(!overlay.visible)
            mouseMove(field, 30, 20)
            tryCompare(field, "hovered", true)
            verify(overlay.visible)
            colorIs(overlay.color, field.Material.rippleColor, "hover overlay")
            field.readOnly = true
            verify(!field.hoverEnabled)
        }

        function test_alignedScrollPaneCentresSmallContent() {
            var pane = createTemporaryObject(scrollPaneComponent, stage)
            var flickable = findChild(pane, "flickable")
            var inner = findChild(pane, "innerPane")
            compare(flickable.contentWidth, pane.width)
            compare(flickable.contentHeight, pane.height)
            fuzzyCompare(inner.x, (pane.width - inner.width) / 2, 0.5)
            fuzzyCompare(inner.y, (pane.height - inner.height) / 2, 0.5)
        }

        function test_shadowPaneFollowsTheTheme() {
            var win = createTemporaryObject(themedWindowComponent, testCase)
            // Dark: lighter than the window, no shadow.
            verify(win.pane.Material.background.hslLightness > win.color.hslLightness)
            compare(win.pane.Material.elevation, 0)
            win.theme = VukApplicationWindow.UiTheme.Light
            colorIs(win.pane.Material.background, "#FFFFFF", "light pane")
            compare(win.pane.Material.elevation, 2)
        }
    }
}
