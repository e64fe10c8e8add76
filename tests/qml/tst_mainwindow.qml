import QtQuick 2.15
import QtTest 1.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import MeasureEnums 1.0
import "measurepagesupport.js" as Support

// The main window: which page it shows, its frame and footer, the
// notifications and the layout of its pages.
MainWindowCase {
    id: testCase
    name: "MainWindow"

    function test_analyserNotReadyShowsTheWaitingPageAndTheWizardComesBackWhereItWas() {
        window.wizard.stepIndex = 2
        harness.setAnalyserReady(false)
        tryCompare(window, "shownPage", window.waitingPage, 10000)
        verify(child("waitingPage").visible)
        verify(!window.wizard.visible)
        compare(child("statusLabel").text, "VNA CONNECTED NOT READY")
        verify(child("statusLabel").hasError)
        // The wizard cannot be driven while it is hidden.
        verify(!child("nextButton").enabled)
        verify(!child("backButton").enabled)

        harness.setAnalyserReady(true)
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        compare(window.wizard.stepIndex, 2)
        verify(window.wizard.setupPage.visible)
        verify(!child("statusLabel").hasError)
    }

    function test_lostConnectionShowsTheWaitingPage() {
        harness.stopAnalyser()
        tryCompare(window, "shownPage", window.waitingPage, 10000)
        tryCompare(child("statusLabel"), "text", "VNA NOT CONNECTED")
        verify(child("statusLabel").hasError)
        compare(child("statusLabel").color, Color.errorBackground)

        verify(harness.startAnalyser())
        tryCompare(window, "shownPage", window.wizardPage, 10000)
    }

    function test_windowFrame() {
        compare(window.title, "Quentaro Vukelan")
        compare(window.minimumWidth, 700)
        compare(window.minimumHeight, 650)
        verify(window.visible)
        compare(child("footer").height, 45)
        compare(window.notificationDrawer.width, 260)
        compare(window.notificationDrawer.height, window.height - 45)
        compare(window.stack.depth, 1)
        compare(window.stack.currentItem.objectName, "mainLayout")
    }

    // The program's preset (the description page's button, or a remote
    // command) starts the wizard over and says so.
    function test_presetStartsTheWizardOver() {
        var wizard = window.wizard
        for (var i = 1; i <= 3; ++i)
            wizard.stepIndex = i
        compare(wizard.pages.map(function(page) { return page.done === true }).slice(0, 4),
                [true, true, true, true])
        backend.preset()
        compare(wizard.pages.map(function(page) { return page.done === true }).slice(0, 4),
                [true, false, false, false])
        verify(!wizard.resultsPage.done)
        compare(window.notifications.get(0).type, "message")
        verify(/^\d{1,2}:\d\d: Plug-in preset was performed$/.test(window.notifications.get(0).text),
               window.notifications.get(0).text)
    }

    function test_statusNamesTheAnalyserAndThePlugIn() {
        var label = child("statusLabel")
        compare(label.text, "SimVNA SN:SIM0001 SV:1.0.0 Plug-in v1.4.1")
        compare(label.font.pixelSize, 13)
        compare(label.font.family, "Roboto")
        verify(!label.hasError)
    }

    function test_waitingPageTexts() {
        harness.setAnalyserReady(false)
        tryCompare(window, "shownPage", window.waitingPage, 10000)
        compare(child("waitingTitle").text, "Waiting for VNA")
        compare(child("waitingTitle").font.pixelSize, 28)
        var lines = [
            "",
            "1. Make sure that VNA sofware is launched.",
            "",
            "2. Make sure that the Socket Server of VNA software is On:",
            "System -> Misc Setup -> Network Remote Control Settings -> Socket Server ON",
            "",
            "3. During measurement with the sweep time exceeding 30 seconds per sweep:",
            "A) Make sure that VNA software is still running at the given settings.",
            "B) Wait for VNA software to collect all the required data and update traces.",
            "",
            "Note that the Sweep Progress Field of VNA software, located in the Channel Status Bar,",
            "displays a progress bar when the channel data is being updated.",
            "If the Sweep Progress Field freezes, wait for a minute and re-start VNA software.",
            "",
            "To display Sweep Time in the instrument status bar:",
            "Display -> Properties -> Cycle Time ON",
            ""
        ]
        compare(child("waitingHelp").text, lines.join("\n"))
        compare(child("waitingHelp").font.pointSize, 10)
    }

    function test_notificationsAreListedNewestFirstWithTheirTime() {
        var before = Qt.formatTime(new Date(), "h:mm")
        backend.message("Correction was applied")
        backend.error("Cannot read state file: x.sta")
        var after = Qt.formatTime(new Date(), "h:mm")
        var list = window.notifications
        compare(list.count, 2)
        compare(list.get(0).type, "error")
        compare(list.get(1).type, "message")
        var prefix = list.get(0).text.split(": ")[0]
        verify(prefix === before || prefix === after, prefix)
        compare(list.get(0).text, prefix + ": Cannot read state file: x.sta")
        compare(list.get(1).text.substring(list.get(1).text.indexOf(": ") + 2), "Correction was applied")
        verify(/^\d{1,2}:\d\d$/.test(prefix))

        // The drawer shows them with the delegate of their type.
        mouseClick(child("notificationsButton"))
        tryCompare(window.notificationDrawer, "opened", true)
        verify(child("notificationsButton").highlighted)
        verify(!child("noNotifications").visible)
        var view = child("notificationList")
        tryCompare(view, "count", 2)
        var errorEntry = view.itemAtIndex(0).item
        var messageEntry = view.itemAtIndex(1).item
        compare(errorEntry.text, list.get(0).text)
        compare(errorEntry.background.color, Color.alertBackground)
        compare(messageEntry.background.color, messageEntry.Material.primaryColor)

        // An entry that asks to go is removed; the other stays.
        errorEntry.removeMe()
        compare(list.count, 1)
        compare(list.get(0).type, "message")

        backend.error("again")
        compare(list.count, 2)
        mouseClick(child("clearNotifications"))
        compare(child("clearNotifications").text, "Clear all notifications")
        compare(list.count, 0)
        verify(child("noNotifications").visible)
        compare(child("noNotifications").text, "No new notifications")

        mouseClick(child("notificationsButton"))
        tryCompare(window.notificationDrawer, "visible", false)
        verify(!child("notificationsButton").highlighted)
    }

    // The text fields of every page (the page descriptions among them) show
    // no press wave while nothing is pressed.
    function test_textFieldsAreNotDrawnPressed() {
        var seen = 0
        for (var i = 0; i < 6; ++i) {
            window.wizard.stepIndex = i
            waitForRendering(window.contentItem)
            var page = window.wizard.pages[i]
            Support.findAll(page, "ripple").forEach(function(ripple) {
                ++seen
                verify(!ripple.pressed, page.name + ": a text field drawn pressed")
            })
        }
        verify(seen >= 6, "every page's description field has its ripple (" + seen + ")")
    }

    // Every page laid out once, at the default size and at the smallest,
    // without the layouts giving up on a loop of their own.
    function test_pagesLayOutWithoutAPolishLoop() {
        var before = harness.warningsContaining("Polish loop")
        var sizes = [[window.preferredWidth, window.preferredHeight],
                     [window.minimumWidth, window.minimumHeight]]
        sizes.forEach(function(size) {
            window.width = size[0]
            window.height = size[1]
            for (var i = 0; i < 6; ++i) {
                window.wizard.stepIndex = i
                waitForRendering(window.contentItem)
            }
            window.wizard.showTestMode()
            waitForRendering(window.contentItem)
            window.wizard.showSteps()
        })
        compare(harness.warningsContaining("Polish loop"), before)
    }
}
