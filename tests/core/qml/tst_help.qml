import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// Pages with their help: the help drawer docked in the active page, moved
// into a window of its own and back.
TestCase {
    id: testCase
    name: "Help"
    when: windowShown

    Component {
        id: windowComponent
        VukApplicationWindow {
            id: win
            property alias group: group
            property alias first: first
            property alias second: second
            width: 640
            height: 480
            visible: true

            VukPage {
                id: first
                anchors.fill: parent
                visible: active
                active: true
                name: "Description"
                description: "Configure fixtures"
                full_description: "<b>Step 1.</b> Choose the fixtures."
            }
            VukPage {
                id: second
                anchors.fill: parent
                visible: active
                name: "Fixture connection"
                description: "Assign the VNA ports"
                full_description: "<b>Step 2.</b> Connect the fixtures."
            }
            VukHelpPageGroup {
                id: group
                main_window: win
                pages: [first, second]
            }
        }
    }

    Component {
        id: pageComponent
        VukPage { anchors.fill: parent; visible: active; name: "Test Mode"; full_description: "Test mode help" }
    }

    function helpButton(page) { return findChild(page.header, "helpButton") }
    function helpText(drawer) { return findChild(drawer, "helpText") }
    function dockButton(drawer) { return findChild(drawer, "dockButton") }

    function test_groupHandsOutTheWindowAndTheDrawer() {
        var win = createTemporaryObject(windowComponent, testCase)
        var group = win.group
        compare(group.activePage, win.first)
        verify(group.helper_window !== null)
        compare(win.first.helper_window, group.helper_window)
        compare(win.second.helper_window, group.helper_window)
        verify(win.first.helper_drawer !== null)
        compare(win.second.helper_drawer, win.first.helper_drawer)

        var drawer = win.first.helper_drawer
        verify(!drawer.visible)
        compare(drawer.state, "docked")
        compare(drawer.parent, win.first)
        var helpWindow = group.helper_window
        verify(!helpWindow.visible)
        compare(helpWindow.width, 400)
        compare(helpWindow.height, 400)
        compare(helpWindow.title, "Vukelan")
    }

    function test_pageHeader() {
        var win = createTemporaryObject(windowComponent, testCase)
        var button = helpButton(win.first)
        verify(button.checkable)
        compare(button.icon.source.toString(), Icons.questionMark)
        compare(win.first.icon, Icons.questionMark)
        var field = findChild(win.first.header, "descriptionField")
        compare(field.text, "Configure fixtures")
        verify(field.readOnly)
        verify(field.visible)
        win.first.description = ""
        verify(!field.visible)
    }

    function test_helpButtonShowsTheDrawerInThePage() {
        var win = createTemporaryObject(windowComponent, testCase)
        var page = win.first
        var drawer = page.helper_drawer
        var button = helpButton(page)
        mouseClick(button)
        verify(drawer.visible)
        verify(button.checked)
        compare(drawer.parent, page)
        compare(drawer.width, page.header.width)
        compare(drawer.height, page.height - page.header.height)
        compare(drawer.y, page.header.y + page.header.height)
        verify(helpText(drawer).text.indexOf("Choose the fixtures.") >= 0)
        compare(dockButton(drawer).icon.source.toString(), Icons.detach)

        mouseClick(button)
        verify(!drawer.visible)
        verify(!button.checked)

        // The button follows the drawer when something else hides it.
        mouseClick(button)
        drawer.visible = false
        verify(!button.checked)
    }

    function test_drawerFollowsTheActivePage() {
        var win = createTemporaryObject(windowComponent, testCase)
        var drawer = win.first.helper_drawer
        mouseClick(helpButton(win.first))
        win.first.active = false
        win.second.active = true
        compare(win.group.activePage, win.second)
        compare(drawer.parent, win.second)
        verify(helpText(drawer).text.indexOf("Connect the fixtures.") >= 0)
        compare(drawer.y, 45)
        compare(drawer.width, win.second.header.width)
    }

    function test_detachingOpensTheHelpWindowAndClosingItHidesTheHelp() {
        var win = createTemporaryObject(windowComponent, testCase)
        var page = win.first
        var drawer = page.helper_drawer
        var helpWindow = win.group.helper_window
        mouseClick(helpButton(page))
        mouseClick(dockButton(drawer))
        compare(drawer.state, "undocked")
        tryCompare(helpWindow, "visible", true)
        compare(helpWindow.width, 400)
        compare(helpWindow.height, 400)
        compare(drawer.parent, helpWindow.contentItem)
        compare(drawer.x, 0)
        compare(drawer.y, 0)
        compare(drawer.width, 400)
        compare(drawer.height, 400)
        verify(drawer.visible)
        verify(helpText(drawer).text.indexOf("Choose the fixtures.") >= 0)
        compare(dockButton(drawer).icon.source.toString(), "qrc:/core/icons/attach.svg")

        helpWindow.close()
        tryCompare(drawer, "visible", false)
        verify(!helpWindow.visible)
        verify(!helpButton(page).checked)

        // Asking for help again shows the window again.
        mouseClick(helpButton(page))
        verify(drawer.visible)
        tryCompare(helpWindow, "visible", true)
    }

    function test_attachingMovesTheHelpBackIntoThePage() {
        var win = createTemporaryObject(windowComponent, testCase)
        var page = win.first
        var drawer = page.helper_drawer
        var helpWindow = win.group.helper_window
        mouseClick(helpButton(page))
        mouseClick(dockButton(drawer))
        tryCompare(helpWindow, "visible", true)

        drawer.toggleDock()
        compare(drawer.state, "docked")
        tryCompare(helpWindow, "visible", false)
        compare(drawer.parent, page)
        verify(drawer.visible)
        compare(dockButton(drawer).icon.source.toString(), Icons.detach)
    }

    function test_closingTheMainWindowClosesTheHelpWindow() {
        var win = createTemporaryObject(windowComponent, testCase)
        var drawer = win.first.helper_drawer
        var helpWindow = win.group.helper_window
        mouseClick(helpButton(win.first))
        mouseClick(dockButton(drawer))
        tryCompare(helpWindow, "visible", true)
        win.close()
        tryCompare(helpWindow, "visible", false)
    }

    function test_detachedHelpFollowsTheTheme() {
        var win = createTemporaryObject(windowComponent, testCase)
        var drawer = win.first.helper_drawer
        var helpWindow = win.group.helper_window
        mouseClick(helpButton(win.first))
        mouseClick(dockButton(drawer))
        tryCompare(helpWindow, "visible", true)
        compare(helpWindow.Material.theme, Material.Dark)
        verify(drawer.Material.background.hslLightness > 0.1, "dark: lighter than #121212")
        win.theme = VukApplicationWindow.UiTheme.Light
        compare(helpWindow.Material.theme, Material.Light)
        verify(Qt.colorEqual(helpWindow.color, "#FFFFFF"))
        verify(Qt.colorEqual(drawer.Material.background, "#FFFFFF"))
    }

    function test_addedPageJoinsTheGroup() {
        var win = createTemporaryObject(windowComponent, testCase)
        var page = createTemporaryObject(pageComponent, win.contentItem)
        win.group.addPage(page)
        compare(win.group.pages.length, 3)
        compare(page.helper_drawer, win.first.helper_drawer)
        compare(page.helper_window, win.group.helper_window)
        win.first.active = false
        page.active = true
        compare(win.group.activePage, page)
        compare(page.helper_drawer.parent, page)
    }
}
