import QtQuick 2.15
import QtTest 1.15
import MeasureEnums 1.0
import "../measurepagesupport.js" as Support

// Not a test of its own: scripts/screenshots runs it to save a picture of
// every page of the main window at its default size, against the simulated
// analyser, started as scripts/run starts it: the low-pass sweep and a
// calibration there of the ports the default set-up uses. The pictures
// land in the folder named by SCREENSHOT_DIR.
TestCase {
    id: testCase
    name: "PageScreenshots"
    when: windowShown
    visible: true

    readonly property string folder: harness.environmentValue("SCREENSHOT_DIR")
    readonly property var vna: backend.getVnaDevice()
    property var window: null

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    function shoot(name) {
        waitForRendering(window.contentItem)
        wait(400) // the page transitions and the charts' first frames
        verify(harness.grabWindow(window, folder + "/" + name + ".png"), "saving " + name)
    }

    function test_pages() {
        verify(folder !== "", "SCREENSHOT_DIR names the folder for the pictures")
        harness.setPortCount(4)
        tryVerify(function() { return vna.portsCount === 4 }, 10000, "four analyser ports")
        harness.analyserExecute("SIM:SCENe:CLEar")
        harness.analyserExecute("SIM:SCENe:THRU 1,2")
        // The demo's sweep (scripts/run): the 10 MHz low-pass grid.
        harness.analyserExecute("SENSe1:FREQuency:STARt 10000000")
        harness.analyserExecute("SENSe1:FREQuency:STOP 20000000000")
        harness.analyserExecute("SENSe1:SWEep:POINts 2000")
        harness.analyserExecute("SIM:CALibrate1 SOLT2,1,2")
        backend.getFixtureSetups().preset()

        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        window.requestActivate()

        var names = ["1-description", "2-connection", "3-setup", "4-calibration", "5-measurement", "6-results"]
        for (var i = 0; i < names.length; ++i) {
            window.wizard.stepIndex = i
            shoot(names[i])
            // The page's help, opened with its button.
            var help = Support.findVisible(window.wizard.pages[i], "helpButton")
            verify(help, "the help button of " + names[i])
            mouseClick(help)
            shoot(names[i] + "-help")
            mouseClick(help)
        }
        // The preset's question.
        window.wizard.stepIndex = 0
        var preset = findChild(window.wizard.fixturePage, "presetDialog")
        verify(preset, "the preset dialog")
        preset.open()
        tryCompare(preset, "opened", true, 5000)
        shoot("1-description-preset")
        preset.close()
        tryCompare(preset, "visible", false, 5000)

        // The thru measured, with its charts, then the characterization.
        window.wizard.stepIndex = 4
        var page = window.wizard.measurePage
        var measure = Support.findVisible(page, "thruMeasureButton")
        verify(measure, "the thru step's measure button")
        mouseClick(measure)
        tryVerify(function() { return !page.isMeasuring && page.done }, 30000, "the thru measured")
        shoot("5-measurement-done")
        page.showCharacterization()
        shoot("7-characterization")
        var characterizationHelp = Support.findVisible(window.wizard, "helpButton")
        verify(characterizationHelp, "the help button of the characterization page")
        mouseClick(characterizationHelp)
        shoot("7-characterization-help")
        mouseClick(characterizationHelp)
        window.wizard.showTestMode()
        shoot("8-test-mode")
        window.wizard.currentIndex = window.wizard.stepsIndex
        window.wizard.stepIndex = 5
        shoot("6-results-done")
        // The walk ends with Apply: the analyser takes the fixture files.
        var apply = Support.findVisible(window.wizard.resultsPage, "applyButton")
        verify(apply, "the Apply button")
        var applied = false
        var onMessage = function(text) { applied = true }
        backend.message.connect(onMessage)
        mouseClick(apply)
        tryVerify(function() { return applied }, 30000, "a message after Apply")
        backend.message.disconnect(onMessage)
        verify(window.notifications.get(0).type === "message", window.notifications.get(0).text)

        // Doubtful models: on a 1-20 GHz band-pass sweep a 0.1 pF pad at
        // each fixture's analyser side gives gated models with gain. The
        // step page's warning, the wizard's mark, the unread count on the
        // notification button, the Results page's list and the drawer's
        // warning entries.
        harness.analyserExecute("SIM:SCENe:CLEar")
        harness.analyserExecute("SIM:SCENe:THRU 1,2,50,2e-10,0.3,1e-13,0")
        harness.analyserExecute("SENSe1:SWEep:POINts 191")
        harness.analyserExecute("SENSe1:FREQuency:STARt 1000000000")
        harness.analyserExecute("SENSe1:FREQuency:STOP 20000000000")
        window.wizard.stepIndex = 4
        var thru = backend.getFixtureSetups().setups.get(0).stepModel.get(0)
        // The step's own slot: at a large scale the button may lie below
        // the fold of a page that scrolls.
        thru.measureFromVna()
        tryVerify(function() { return !page.isMeasuring && thru.notices.length > 0 }, 30000,
                  "the doubtful thru measured")
        tryVerify(function() { return window.unreadNotices > 0 }, 10000, "the warnings in the list")
        shoot("5-measurement-warning")
        window.wizard.stepIndex = 5
        shoot("6-results-warning")
        // One warning with a detail of its own lines, as the calculations
        // tell them, beside the two of the thru.
        var russian = harness.environmentValue("QML_PAGES_LANGUAGE") === "ru"
        window.notifyWarning(russian ? "Модель оснастки на порту анализатора 1 со смещением не пассивна в диапазоне от 19.1 до 20 GHz"
                                     : "The offset model of the fixture at analyser port 1 is not passive from 19.1 to 20 GHz",
                             russian ? "Её наибольшее сингулярное число достигает 1.0213 (усиление 0.18 dB) на частоте 20 GHz: при таком смещении плоскости модель даёт усиление. Данные DUT, полученные исключением этой модели, в этом диапазоне неверны; проверьте смещение и измерение."
                                     : "Its largest singular value reaches 1.0213 (a gain of 0.18 dB) at 20 GHz: with the plane moved so far the model shows gain. DUT data de-embedded with it are wrong in that band; check the offset and the measurement.")
        window.notificationDrawer.open()
        tryCompare(window.notificationDrawer, "opened", true, 5000)
        shoot("10-notifications-warning")
        window.notificationDrawer.close()
        tryCompare(window.notificationDrawer, "visible", false, 5000)

        window.openSettings()
        tryCompare(window.stack, "busy", false, 5000)
        shoot("9-settings")
        // The question after a change of the display scaling.
        var restart = findChild(window.stack.currentItem, "restartDialog")
        if (restart) {
            restart.open()
            tryCompare(restart, "opened", true, 5000)
            shoot("9-settings-restart")
            restart.close()
            tryCompare(restart, "visible", false, 5000)
        }
        var display = Support.find(window.stack.currentItem, "displayTab")
        if (display) {
            mouseClick(display)
            shoot("9-settings-display")
        }
        window.closeSettings()
        tryCompare(window.stack, "busy", false, 5000)

        window.notify("error", "Cannot read S-parameters data")
        window.notify("message", "Plug-in preset was performed")
        window.notificationDrawer.open()
        tryCompare(window.notificationDrawer, "opened", true, 5000)
        shoot("10-notifications")
        window.notificationDrawer.close()

        harness.setAnalyserReady(false)
        tryCompare(window, "shownPage", window.waitingPage, 10000)
        shoot("0-waiting")
        harness.setAnalyserReady(true)
        tryCompare(window, "shownPage", window.wizardPage, 10000)
    }
}
