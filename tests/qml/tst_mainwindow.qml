import QtQuick 2.15
import QtTest 1.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import MeasureEnums 1.0
import "measurepagesupport.js" as Support

// The main window over a real backend and the simulated analyser: which
// page it shows, the footer, the notifications, the settings page on the
// stack and a measurement that the user cancels.
TestCase {
    id: testCase
    name: "MainWindow"
    when: windowShown
    visible: true

    property var window: null
    readonly property var vna: backend.getVnaDevice()

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
    }

    function init() {
        harness.setAnalyserReady(true)
        verify(harness.startAnalyser())
        harness.setSweepTime(100)
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        verify(window)
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        waitForRendering(window.contentItem)
    }

    function cleanup() {
        settings.darkTheme = undefined
        window = null
    }

    function child(name) {
        var found = findChild(window.contentItem, name)
        if (!found && window.footer)
            found = findChild(window.footer, name)
        if (!found)
            found = findChild(window.notificationDrawer.contentItem, name)
        verify(found, "no item " + name)
        return found
    }

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

    function hasNotification(list, type, text) {
        for (var i = 0; i < list.count; ++i) {
            if (list.get(i).type === type && list.get(i).text.indexOf(text) >= 0)
                return true
        }
        return false
    }

    function test_aListenerThatCannotListenIsNotified() {
        var server = backend.serverControl
        // The port is held by another program: the simulated analyser.
        server.port = harness.analyserPort
        verify(!server.listening)
        var expected = "Remote control cannot listen on port " + harness.analyserPort + ": "
        verify(hasNotification(window.notifications, "error", expected))

        // A window opened while it cannot listen shows it as well.
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        verify(hasNotification(loader.item.notifications, "error", expected))

        server.port = 0
        verify(server.listening)
    }

    function test_backAndNextFollowTheStepsAndTheStack() {
        var back = child("backButton")
        var next = child("nextButton")
        compare(back.text, "BACK")
        compare(next.text, "NEXT")
        compare(window.wizard.stepIndex, 0)
        verify(back.visible && !back.enabled)
        verify(next.visible && next.enabled)

        for (var i = 1; i <= 5; ++i) {
            mouseClick(next)
            compare(window.wizard.stepIndex, i)
            verify(back.enabled)
        }
        verify(!next.enabled)
        mouseClick(back)
        compare(window.wizard.stepIndex, 4)

        // A side page stops both.
        window.wizard.showTestMode()
        verify(back.visible && !back.enabled)
        verify(next.visible && !next.enabled)
        window.wizard.showSteps()

        // The settings page has no steps: both go.
        window.openSettings()
        tryCompare(window.stack, "busy", false)
        verify(!back.visible)
        verify(!next.visible)
    }

    function test_settingsButtonPushesAndPopsTheSettingsPage() {
        var button = child("settingsButton")
        verify(!button.checked)
        mouseClick(button)
        compare(window.stack.currentItem.objectName, "settingsPage")
        verify(button.checked)
        tryCompare(window.stack, "busy", false)

        mouseClick(button)
        compare(window.stack.depth, 1)
        verify(!button.checked)
        tryCompare(window.stack, "busy", false)

        // The page's own return button pops it as well.
        mouseClick(button)
        tryCompare(window.stack, "busy", false)
        var page = window.stack.currentItem
        var returnButton = findChild(page, "returnButton")
        compare(returnButton.text, "Return to plug-in")
        mouseClick(returnButton)
        compare(window.stack.depth, 1)
        verify(!button.checked)
        compare(window.stack.currentItem.objectName, "mainLayout")
    }

    function test_f9ShowsTheTestModePage() {
        window.requestActivate()
        tryCompare(window, "active", true)

        tryVerify(function() { return child("mainLayout").activeFocus }, 5000)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        verify(window.wizard.testModePage.visible)
        verify(window.wizard.testModePage.vukPage.active)

        var returnButton = findChild(window.wizard.testModePage, "returnButton")
        compare(returnButton.text, "Return to main application")
        mouseClick(returnButton)
        compare(window.wizard.currentIndex, window.wizard.stepsIndex)
        verify(!window.wizard.testModePage.vukPage.active)

        // Also while a control of a page has the keyboard.
        window.wizard.stepIndex = 2
        var control = window.wizard.setupPage.ignoreLowPassSwitch
        control.forceActiveFocus()
        verify(control.activeFocus)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        mouseClick(returnButton)

        // And while a text field takes the keys: an editable value cell.
        var editor = Support.findAll(findChild(window.wizard.setupPage, "setupTable"), "cellContent")
            .map(function(loader) { return loader.item })
            .filter(function(item) { return item && item.readOnly === false && item.visible })[0]
        verify(editor, "an editable value cell")
        editor.forceActiveFocus()
        verify(editor.activeFocus)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        mouseClick(returnButton)

        // And while the notification drawer has the keyboard, and after it
        // has been closed again.
        var drawer = window.notificationDrawer
        drawer.open()
        tryCompare(drawer, "opened", true, 5000)
        child("clearNotifications").forceActiveFocus()
        verify(child("clearNotifications").activeFocus)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        mouseClick(returnButton)
        drawer.close()
        tryCompare(drawer, "visible", false, 5000)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        mouseClick(returnButton)

        // And after a file dialog has been shown and closed, once the
        // window is active again (as the window manager makes it).
        window.wizard.stepIndex = 5
        var dialog = window.wizard.resultsPage.stateDialog
        dialog.open()
        tryCompare(dialog, "visible", true, 5000)
        dialog.reject()
        tryCompare(dialog, "visible", false, 5000)
        window.requestActivate()
        tryCompare(window, "active", true, 5000)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.testModeIndex)
        mouseClick(returnButton)

        // Not while the settings page covers the wizard.
        window.openSettings()
        tryCompare(window.stack, "busy", false, 5000)
        keyClick(Qt.Key_F9)
        compare(window.wizard.currentIndex, window.wizard.stepsIndex)
        window.closeSettings()
    }

    function test_themeFollowsTheSetting() {
        compare(window.theme, 0)
        verify(Color.isDark)
        compare(window.color, "#121212")
        settings.darkTheme = false
        compare(window.theme, 1)
        verify(!Color.isDark)
        compare(window.color, "#ffffff")
        settings.darkTheme = true
        compare(window.theme, 0)
        verify(Color.isDark)
    }

    function test_helpGroupHoldsEveryPage() {
        var group = child("helpGroup")
        var wizard = window.wizard
        var expected = wizard.pages.filter(function(page) { return page !== null })
        compare(expected.length, 6)
        expected.push(wizard.testModePage.vukPage)
        expected.forEach(function(page) {
            verify(group.pages.indexOf(page) >= 0, page.name)
        })
        if (wizard.characterizationPage && wizard.characterizationPage.vukPage)
            verify(group.pages.indexOf(wizard.characterizationPage.vukPage) >= 0)
        // The page shown is the group's.
        compare(group.activePage, wizard.fixturePage)
        wizard.stepIndex = 3
        compare(group.activePage, wizard.calibrationPage)
    }

    // A thru measurement long enough to be cancelled: the window shows the
    // measuring page while it runs, and Cancel, pressed during the sweep,
    // ends it.
    property int seenPage: -1
    property bool progressSeen: false
    property var runningStep: null

    Timer {
        id: startMeasurement
        interval: 0
        onTriggered: testCase.runningStep.measureFromVna()
    }

    Timer {
        id: pressCancel
        interval: 50
        repeat: true
        property int ticks: 0
        onTriggered: {
            if (!testCase.window || testCase.window.shownPage !== testCase.window.measuringPage)
                return
            testCase.seenPage = testCase.window.shownPage
            testCase.progressSeen = testCase.progressSeen || testCase.child("progressView").visible
            // Once the analyser sweeps (or after a while without a sweep).
            if (!harness.analyserReceived(":TRIG:SING") && ++ticks < 200)
                return
            stop()

            testCase.mouseClick(testCase.child("cancelButton"))
        }
    }

    function test_runningMeasurementShowsTheMeasuringPageAndCancelStopsIt() {
        var cancel = child("cancelButton")
        compare(cancel.text, "Cancel")
        compare(cancel.width, 185)
        compare(cancel.height, 32)

        seenPage = -1
        progressSeen = false
        runningStep = backend.getFixtureSetups().setups.get(0).stepModel.get(0)
        compare(runningStep.measureType, MeasureEnums.MeasureType.TRANSMISSION)
        harness.setSweepTime(20000)
        harness.clearAnalyserLog()
        var canceled = 0
        var errors = []
        var onError = function(text) {
            errors.push(text)
            if (text === "The measurement was canceled")
                ++canceled
        }
        backend.error.connect(onError)

        pressCancel.ticks = 0
        pressCancel.start()
        startMeasurement.start()
        tryVerify(function() { return seenPage !== -1 }, 15000)
        compare(seenPage, window.measuringPage)
        verify(progressSeen)
        tryCompare(window, "shownPage", window.wizardPage, 15000)
        backend.error.disconnect(onError)

        // The analyser's abort went out, and the steps stopped.
        verify(harness.analyserReceived("ABOR"), harness.analyserLog().join("\n"))
        verify(canceled > 0, "errors: " + errors.join(" | "))
        verify(runningStep.thruMeasured !== MeasureEnums.MeasureStatus.MEASURED)
        verify(window.notifications.count > 0)
        harness.setSweepTime(100)
        // The progress row goes a while after its job.
        tryCompare(child("progressView"), "visible", false, 15000)
    }
}
