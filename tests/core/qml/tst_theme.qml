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
            width: 300
            height: 200
            visible: true
            Page {
                id: page
                anchors.fill: parent
                Label { id: label; text: "text" }
            }
        }
    }

    function test_defaultIsDark() {
        var win = createTemporaryObject(windowComponent, testCase)
        verify(win)
        compare(win.theme, VukApplicationWindow.UiTheme.Dark)
        compare(win.Material.theme, Material.Dark)
        compare(win.Material.background, "#121212")
        compare(win.Material.foreground, "#e0e0e0")
        compare(win.Material.primary, "#6ca7eb")
        compare(win.Material.accent, "#eea260")
        verify(Color.isDark)
    }

    function test_switchingReachesEveryItem() {
        var win = createTemporaryObject(windowComponent, testCase)
        win.theme = VukApplicationWindow.UiTheme.Light
        compare(win.Material.theme, Material.Light)
        compare(win.color, "#ffffff")
        compare(win.page.Material.background, "#ffffff")
        compare(win.label.Material.foreground, "#212121")
        compare(Color.theme, Material.Light)
        verify(!Color.isDark)

        win.theme = VukApplicationWindow.UiTheme.Dark
        compare(win.color, "#121212")
        compare(win.page.Material.background, "#121212")
        compare(win.label.Material.foreground, "#e0e0e0")
        compare(Color.theme, Material.Dark)
        verify(Color.isDark)
    }
}
