import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// The controls kept in the set without a page of their own: menu bar and
// buttons, removable tabs, the help pane, the lizard, the bottom bar and
// the decorated window.
Item {
    id: stage
    width: 600
    height: 400

    TestCase {
        id: testCase
        name: "SpareControls"
        when: windowShown

        function colorIs(actual, expected, what) {
            verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
        }

        Component {
            id: menuComponent
            VukMainMenu {
                width: 400
                VukMenuButton { text: "Description"; icon.source: Icons.list }
                VukMenuButton { text: "Connection" }
            }
        }
        Component {
            id: tabsComponent
            VukFixtureTabBar {
                width: 400
                VukRemovableTabButton { text: "Setup 1" }
                VukRemovableTabButton { text: "Setup 2" }
            }
        }
        Component { id: helpPaneComponent; VukHelpPane { width: 300; description: "Review the settings" } }
        Component { id: drawerStandIn; Item { property string state: "undocked"; visible: false } }
        Component { id: lizardComponent; VukLizard { width: 81; height: 60 } }
        Component { id: bottomBarComponent; VukBottomBar { } }
        Component {
            id: decoratedComponent
            DecoratedWindow { width: 300; height: 200; visible: true; title: "Plug-in" }
        }

        function test_mainMenuMarksTheCurrentTab() {
            var menu = createTemporaryObject(menuComponent, stage)
            colorIs(menu.Material.accent, "#FF6CA7EB", "menu accent")
            var bar = findChild(menu.contentItem, "currentBar")
            tryVerify(function() { return bar.width > 0 })
            compare(bar.height, 5)
            var tab = menu.itemAt(0)
            fuzzyCompare(bar.width, tab.width * 0.8, 0.5)
            compare(bar.y, bar.parent.height - 5)
            menu.position = TabBar.Footer
            compare(bar.y, 0)
        }

        function test_menuButton() {
            var menu = createTemporaryObject(menuComponent, stage)
            var first = menu.itemAt(0)
            var second = menu.itemAt(1)
            compare(first.icon.width, 26)
            compare(first.font.pixelSize, 14)
            compare(first.font.capitalization, Font.MixedCase)
            compare(first.topPadding, 5)
            compare(first.bottomPadding, 5)
            verify(first.autoExclusive)
            mouseClick(second)
            verify(second.checked)
            verify(!first.checked)
        }

        function test_removableTab() {
            var bar = createTemporaryObject(tabsComponent, stage)
            var tab = bar.itemAt(1)
            compare(tab.padding, 12)
            compare(tab.icon.width, 24)
            var close = findChild(tab, "closeButton")
            compare(close.width, 30)
            compare(close.icon.source.toString(), Icons.cross)
            var closed = 0
            tab.closeClicked.connect(function() { ++closed })
            mouseClick(close)
            compare(closed, 1)

            bar.currentIndex = 1
            verify(tab.checked)
            verify(tab.z > bar.itemAt(0).z, "the current tab lies over its neighbours")
            colorIs(tab.icon.color, tab.Material.accentColor, "current tab")
        }

        function test_helpPaneDocksAndTogglesTheDrawer() {
            var drawer = createTemporaryObject(drawerStandIn, stage)
            var pane = createTemporaryObject(helpPaneComponent, stage, { helper_drawer: drawer })
            var button = findChild(pane, "helpButton")
            mouseClick(button)
            compare(drawer.state, "docked")
            verify(drawer.visible)
            mouseClick(button)
            verify(!drawer.visible)
        }

        function test_lizard() {
            var lizard = createTemporaryObject(lizardComponent, stage)
            compare(lizard.opacity, 0.4)
            verify(!lizard.hovered)
            mouseMove(lizard, 20, 20)
            tryCompare(lizard, "hovered", true)
        }

        function test_bottomBarColours() {
            var bar = createTemporaryObject(bottomBarComponent, stage)
            colorIs(bar.Material.background, "black", "background")
            colorIs(bar.Material.foreground, "gray", "foreground")
        }

        function test_decoratedWindow() {
            var win = createTemporaryObject(decoratedComponent, testCase)
            verify(win.flags & Qt.FramelessWindowHint)
            var titleBar = findChild(win.contentItem, "titleBar")
            compare(titleBar.height, 30)
            compare(win.titleBarHeight, 30)
            tryCompare(win, "visible", true)
            mouseClick(findChild(titleBar, "closeButton"))
            tryCompare(win, "visible", false)
        }
    }
}
