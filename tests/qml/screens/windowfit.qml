import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15

// Run once per screen size and display scaling (tests/qml/CMakeLists.txt
// starts it on an X server of that size with QT_SCALE_FACTOR set, as the
// program sets it from its settings): the main window fits the screen, and
// BACK and NEXT lie on it.
TestCase {
    id: testCase
    name: "WindowFit"
    when: windowShown
    visible: true

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    function test_windowAndFooterFitTheScreen() {
        // The run's screen really is the one asked for.
        var size = harness.environmentValue("FIT_SCREEN").split("x")
        var scale = Number(harness.environmentValue("QT_SCALE_FACTOR") || "1")
        verify(size.length === 2, "FIT_SCREEN names the screen, as 1366x768")
        fuzzyCompare(Screen.width * scale, Number(size[0]), 2)
        fuzzyCompare(Screen.height * scale, Number(size[1]), 2)

        var polishLoops = harness.warningsContaining("Polish loop")   // recorded from here on
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        var window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        waitForRendering(window.contentItem)

        verify(window.width <= Screen.desktopAvailableWidth, "width " + window.width)
        verify(window.height <= Screen.desktopAvailableHeight, "height " + window.height)
        verify(window.x >= 0 && window.x + window.width <= Screen.width, "x " + window.x)
        verify(window.y >= 0 && window.y + window.height <= Screen.height, "y " + window.y)

        var footer = window.footer
        var buttons = [findChild(footer, "backButton"), findChild(footer, "nextButton")]
        window.wizard.stepIndex = 1   // both buttons on
        buttons.forEach(function(button) {
            verify(button && button.visible && button.enabled, "BACK and NEXT are shown")
            var topLeft = button.mapToGlobal(0, 0)
            var text = button.objectName + " at " + topLeft.x + "," + topLeft.y
            verify(topLeft.x >= 0 && topLeft.x + button.width <= Screen.width, text)
            verify(topLeft.y >= 0 && topLeft.y + button.height <= Screen.height, text)
            verify(button.width > 0 && button.height > 0)
        })

        // Below the pages' smallest size the content scrolls instead.
        var content = findChild(window.contentItem, "contentView")
        verify(content)
        var needsScrolling = window.height - footer.height < window.designMinimumHeight - footer.height
        compare(content.contentHeight > content.height, needsScrolling)
        if (needsScrolling) {
            content.contentY = content.contentHeight - content.height
            compare(content.contentY, content.contentHeight - content.height)
        }

        // Every page laid out at this size without a layout loop.
        for (var i = 0; i < 6; ++i) {
            window.wizard.stepIndex = i
            waitForRendering(window.contentItem)
        }
        window.wizard.showTestMode()
        waitForRendering(window.contentItem)
        compare(harness.warningsContaining("Polish loop"), polishLoops)
    }
}
