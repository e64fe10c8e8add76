import QtQuick 2.15
import QtTest 1.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import MeasureEnums 1.0
import "measurepagesupport.js" as Support

// The main window's navigation: Back and Next, the settings page on the
// stack, the test mode, the theme, the help and a measurement that the user
// cancels.
MainWindowCase {
    id: testCase
    name: "MainWindowNavigation"

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
