import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import Color 1.0
import Units 1.0
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// The two colour themes of the main window, their reach into every item and
// the palette singletons that follow them.
TestCase {
    id: testCase
    name: "Theme"
    when: windowShown

    Component {
        id: windowComponent
        VukApplicationWindow {
            property alias label: label
            property alias page: page
            property alias combo: combo
            property alias tip: tip
            property alias tab: tab
            width: 400
            height: 300
            visible: true
            Page {
                id: page
                anchors.fill: parent
                Column {
                    Label { id: label; text: "text" }
                    ComboBox { id: combo; model: ["MEAS", "BASE", "AUTO"]; currentIndex: 1 }
                    TabBar { TabButton { id: tab; text: "Setup" } }
                }
                Label {
                    id: tipOwner
                    y: 200
                    text: "a longer text with a tip"
                    ToolTip { id: tip; text: "tip" }
                }
            }
        }
    }

    function colorIs(actual, expected, what) {
        verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
    }

    function test_defaultIsDark() {
        var win = createTemporaryObject(windowComponent, testCase)
        verify(win)
        compare(win.theme, VukApplicationWindow.UiTheme.Dark)
        compare(win.Material.theme, Material.Dark)
        colorIs(win.Material.background, "#121212", "background")
        colorIs(win.Material.foreground, "#E0E0E0", "foreground")
        colorIs(win.Material.primary, "#6CA7EB", "primary")
        colorIs(win.Material.accent, "#EEA260", "accent")
        compare(Color.theme, Material.Dark)
        verify(Color.isDark)
    }

    function test_switchingReachesEveryItem() {
        var win = createTemporaryObject(windowComponent, testCase)
        win.theme = VukApplicationWindow.UiTheme.Light
        compare(win.Material.theme, Material.Light)
        colorIs(win.color, "#FFFFFF", "window")
        colorIs(win.page.Material.background, "#FFFFFF", "page background")
        colorIs(win.label.Material.foreground, "#212121", "label foreground")
        colorIs(win.Material.primary, "#6CA7EB", "light primary")
        colorIs(win.Material.accent, "#EEA260", "light accent")
        compare(Color.theme, Material.Light)
        verify(!Color.isDark)

        win.theme = VukApplicationWindow.UiTheme.Dark
        colorIs(win.color, "#121212", "window")
        colorIs(win.page.Material.background, "#121212", "page background")
        colorIs(win.label.Material.foreground, "#E0E0E0", "label foreground")
        compare(Color.theme, Material.Dark)
        verify(Color.isDark)
    }

    function test_windowCreatedLightSetsThePalette() {
        Color.theme = Material.Dark
        var win = createTemporaryObject(windowComponent, testCase,
                                        { theme: VukApplicationWindow.UiTheme.Light })
        compare(win.Material.theme, Material.Light)
        compare(Color.theme, Material.Light)
    }

    function test_comboItemsUseTheEmphasisColours() {
        var win = createTemporaryObject(windowComponent, testCase)
        var combo = win.combo
        combo.popup.open()
        tryCompare(combo.popup, "opened", true)
        var list = combo.popup.contentItem
        tryVerify(function() { return list.itemAtIndex(2) !== null })
        colorIs(list.itemAtIndex(1).Material.foreground, "#DEFFFFFF", "dark current item")
        colorIs(list.itemAtIndex(0).Material.foreground, "#9AFFFFFF", "dark other item")
        colorIs(list.itemAtIndex(2).Material.foreground, "#9AFFFFFF", "dark other item")

        win.theme = VukApplicationWindow.UiTheme.Light
        colorIs(list.itemAtIndex(1).Material.foreground, "#DE000000", "light current item")
        colorIs(list.itemAtIndex(0).Material.foreground, "#99000000", "light other item")
        combo.popup.close()
    }

    function test_surfacesLightenInTheDarkTheme() {
        var win = createTemporaryObject(windowComponent, testCase)
        var tabBackground = win.tab.background.color
        verify(tabBackground.hslLightness > win.color.hslLightness, "dark tab lighter than the window")
        win.tip.open()
        tryCompare(win.tip, "opened", true)
        // Centred, 24 above its parent.
        compare(win.tip.y, -win.tip.implicitHeight - 24)
        compare(win.tip.x, (win.tip.parent.width - win.tip.implicitWidth) / 2)
        verify(win.tip.background.color.hslLightness > win.color.hslLightness, "dark tool tip lighter")
        win.tip.close()

        win.theme = VukApplicationWindow.UiTheme.Light
        colorIs(win.tab.background.color, "#FFFFFF", "light tab")
        colorIs(win.tip.background.color, "#FFFFFF", "light tool tip")
    }

    function test_palette_data() {
        return [
            { tag: "errorBackground", property: "errorBackground", light: "#FF453A", dark: "#FF453A" },
            { tag: "errorForeground", property: "errorForeground", light: "#212121", dark: "#212121" },
            { tag: "alertBackground", property: "alertBackground", light: "#FFD60A", dark: "#FFD60A" },
            { tag: "alertForeground", property: "alertForeground", light: "#212121", dark: "#212121" },
            { tag: "successBackground", property: "successBackground", light: "#32D74B", dark: "#32D74B" },
            { tag: "successForeground", property: "successForeground", light: "#212121", dark: "#212121" },
            { tag: "vukFixture", property: "vukFixture", light: "#6CC264", dark: "#6CC264" },
            { tag: "vukDUT", property: "vukDUT", light: "#2D5B3A", dark: "#2D5B3A" },
            { tag: "vukDUTText", property: "vukDUTText", light: "#B1B2B2", dark: "#FFFFFF" },
            { tag: "primary", property: "primary", light: "#B87333", dark: "#B87333" },
            { tag: "disabledText", property: "disabledText", light: "#60000000", dark: "#60FFFFFF" },
            { tag: "disabledLine", property: "disabledLine", light: "#60000000", dark: "#60FFFFFF" },
            { tag: "enabledLine", property: "enabledLine", light: "#1F000000", dark: "#1FFFFFFF" },
            { tag: "textHighEmphasis", property: "textHighEmphasis", light: "#DE000000", dark: "#DEFFFFFF" },
            { tag: "textMedEmphasis", property: "textMedEmphasis", light: "#99000000", dark: "#9AFFFFFF" },
            { tag: "focusedLineLight", property: "focusedLineLight", light: "#B87333", dark: "#B87333" },
            { tag: "focusedLine", property: "focusedLine", light: "#B87333", dark: null }
        ]
    }

    function test_palette(data) {
        Color.theme = Material.Light
        colorIs(Color[data.property], data.light, data.property + " (light)")
        Color.theme = Material.Dark
        if (data.dark !== null)
            colorIs(Color[data.property], data.dark, data.property + " (dark)")
    }

    function test_focusedLineIsLighterInTheDarkTheme() {
        Color.theme = Material.Dark
        verify(!Qt.colorEqual(Color.focusedLine, Color.primary))
        verify(Color.focusedLine.hslLightness > Color.primary.hslLightness)
        colorIs(Color.focusedLine, Color.focusedLineDark, "focusedLine follows the dark variant")
        colorIs(Color.hoveredLine, Color.focusedLine, "hoveredLine")
        Color.theme = Material.Light
        colorIs(Color.hoveredLine, "#B87333", "light hoveredLine")
    }

    function test_units() {
        compare(Units.secondsUnit, "s")
        compare(Units.decibelUnit, "dB")
        compare(Units.frequencyUnit, "Hz")
        compare(Units.resistanceUnit.length, 1)
        // The ohm sign, not the Greek capital omega.
        compare(Units.resistanceUnit.charCodeAt(0), 0x2126)
    }

    function test_icons_data() {
        return [
            { tag: "back", file: "arrow_back_black_24dp.svg" },
            { tag: "detach", file: "detach.svg" },
            { tag: "questionMark", file: "questionMark.svg" },
            { tag: "settings", file: "settings.svg" },
            { tag: "list", file: "list.svg" },
            { tag: "plus", file: "plus.svg" },
            { tag: "cross", file: "cross.png" },
            { tag: "checkMark", file: "check.svg" },
            { tag: "left", file: "left.png" },
            { tag: "right", file: "right.png" },
            { tag: "error", file: "Error.svg" },
            { tag: "warning", file: "warning.svg" },
            { tag: "marker", file: "marker.svg" },
            { tag: "inactive_marker", file: "inactive-marker.svg" },
            { tag: "mark", file: "mark.svg" }
        ]
    }

    function test_icons(data) {
        compare(Icons[data.tag], "qrc:/core/icons/" + data.file)
    }
}
