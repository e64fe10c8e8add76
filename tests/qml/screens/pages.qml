import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import MeasureEnums 1.0
import "../measurepagesupport.js" as Support

// A walk through every page of the main window and the states that change
// what a page shows (a measured thru, the reflect offsets, the reflection
// and DUT views, more fixture ports, the dialogs, the drawers), against the
// simulated analyser started as scripts/run starts it: the low-pass sweep and
// a calibration there of the ports the default set-up uses.
//
// At each state it
// - saves a picture to the folder named by SCREENSHOT_DIR, when set
//   (scripts/screenshots);
// - checks the geometry of everything shown, when LAYOUT_CHECK is set
//   (tests/qml/CMakeLists.txt runs it so at each screen size, display scale
//   and language): every text fits its box, no control, text or drawing
//   overlaps another, nothing lies outside its page or the window unless a
//   visible scroll bar scrolls to it (layoutcheck.h); in Russian, no text
//   shows English words the glossary does not keep (translations/glossary.tsv).
TestCase {
    id: testCase
    name: "PageWalk"
    when: windowShown
    visible: true

    readonly property string folder: harness.environmentValue("SCREENSHOT_DIR")
    readonly property bool checking: harness.environmentValue("LAYOUT_CHECK") !== ""
    readonly property bool russian: harness.environmentValue("QML_PAGES_LANGUAGE") === "ru"
    readonly property var vna: backend.getVnaDevice()
    readonly property var setups: backend.getFixtureSetups()
    property var window: null
    property var faults: []
    property int visited: 0

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    Timer {
        id: startMeasurement
        interval: 0
        onTriggered: testCase.mouseClick(Support.findVisible(testCase.window.wizard.measurePage, "thruMeasureButton"))
    }

    Timer {
        id: measuringVisit
        property bool done: false
        property int ticks: 0
        interval: 50
        repeat: true
        onTriggered: {
            // Once the analyser sweeps (the measuring page is up by then).
            if (testCase.window.shownPage !== testCase.window.measuringPage || !harness.analyserReceived(":TRIG:SING"))
                return
            stop()
            testCase.visit("0-measuring")
            testCase.mouseClick(testCase.findChild(testCase.window.contentItem, "cancelButton"))
            done = true
        }
    }

    function setup() { return setups.setups.get(setups.selected) }
    function steps() { return setup().stepModel.toVector }

    // What a popup shows: the item that holds its background and content.
    function popupArea(popup) { return popup.background ? popup.background.parent : popup.contentItem.parent }

    // One state of the walk: its picture, and the faults of the areas it
    // shows (by default the whole window: pages, footer and all), each of
    // them inside within when that is given (a popup inside the window).
    function visit(name, areas, within) {
        tryCompare(window.stack, "busy", false, 5000)
        waitForRendering(window.contentItem)
        if (folder !== "")
            wait(400) // the charts' first frames and the popups' fade-in
        visited += 1
        if (folder !== "" && !harness.grabWindow(window, folder + "/" + name + ".png"))
            faults.push(name + ": the picture was not saved")
        if (!checking)
            return
        var list = areas || [window.contentItem.parent]
        for (var i = 0; i < list.length; ++i) {
            var found = harness.layoutFaults(list[i], within || null)
            // In Russian, no English beside the translations (the status
            // line names the analyser and the plug-in's version as they are).
            if (russian)
                found = found.concat(harness.englishLeft(list[i], ["statusLabel"]))
            for (var k = 0; k < found.length; ++k)
                faults.push(name + ": " + found[k])
        }
    }

    function openPopup(popup) {
        popup.open()
        tryCompare(popup, "opened", true, 5000)
    }

    function closePopup(popup) {
        popup.close()
        tryCompare(popup, "visible", false, 5000)
    }

    function measureThru(page) {
        var measure = Support.findVisible(page, "thruMeasureButton")
        verify(measure, "the thru step's measure button")
        mouseClick(measure)
        tryVerify(function() { return !page.isMeasuring && page.done }, 30000, "the thru measured")
    }

    function test_pages() {
        verify(folder !== "" || checking, "SCREENSHOT_DIR or LAYOUT_CHECK says what the walk is for")
        var polishLoops = harness.warningsContaining("Polish loop")   // recorded from here on
        var bindingLoopsBefore = harness.warningsContaining("Binding loop")
        harness.setPortCount(4)
        tryVerify(function() { return vna.portsCount === 4 }, 10000, "four analyser ports")
        harness.analyserExecute("SIM:SCENe:CLEar")
        harness.analyserExecute("SIM:SCENe:THRU 1,2")
        // The demo's sweep (scripts/run): the 10 MHz low-pass grid.
        harness.analyserExecute("SENSe1:FREQuency:STARt 10000000")
        harness.analyserExecute("SENSe1:FREQuency:STOP 20000000000")
        harness.analyserExecute("SENSe1:SWEep:POINts 2000")
        harness.analyserExecute("SIM:CALibrate1 SOLT2,1,2")
        setups.preset()

        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        window.requestActivate()
        var wizard = window.wizard

        var names = ["1-description", "2-connection", "3-setup", "4-calibration", "5-measurement", "6-results"]
        for (var i = 0; i < names.length; ++i) {
            wizard.stepIndex = i
            visit(names[i])
            // The page's help, opened with its button; it lies over the
            // page, so only its own geometry counts.
            var help = Support.findVisible(wizard.pages[i], "helpButton")
            verify(help, "the help button of " + names[i])
            mouseClick(help)
            var drawer = findChild(window.contentItem, "helpDrawer") || wizard.pages[i].helper_drawer
            visit(names[i] + "-help", [drawer])
            mouseClick(help)
        }
        // The preset's question.
        wizard.stepIndex = 0
        var preset = findChild(wizard.fixturePage, "presetDialog")
        verify(preset, "the preset dialog")
        openPopup(preset)
        visit("1-description-preset", [popupArea(preset)], window.contentItem.parent)
        closePopup(preset)

        // The thru measured, with its results, then the reflect offsets'
        // controls, the characterization and the test mode.
        wizard.stepIndex = 4
        var page = wizard.measurePage
        measureThru(page)
        visit("5-measurement-done")
        var reflectBox = Support.findVisible(page, "reflectOffsetCheckBox")
        verify(reflectBox, "the reflect offsets' check box")
        mouseClick(reflectBox)
        tryVerify(function() { return Support.findVisible(page, "openMeasureButton") !== null }, 5000,
                  "the reflect standards' buttons")
        visit("5-measurement-reflects")
        mouseClick(reflectBox)
        page.showCharacterization()
        visit("7-characterization")
        // Its help, as the steps' help above.
        var characterizationHelp = Support.findVisible(wizard.characterizationPage, "helpButton")
        verify(characterizationHelp, "the help button of the characterization page")
        mouseClick(characterizationHelp)
        visit("7-characterization-help", [findChild(window.contentItem, "helpDrawer")
                                          || wizard.characterizationPage.vukPage.helper_drawer])
        mouseClick(characterizationHelp)
        var chartButtons = ["gatingButton", "impedanceButton", "sParametersButton", "lengthButton"]
        for (var c = 0; c < chartButtons.length; ++c) {
            var chartButton = Support.findVisible(wizard.characterizationPage, chartButtons[c])
            verify(chartButton, chartButtons[c])
            mouseClick(chartButton)
            if (c < chartButtons.length - 1)
                visit("7-characterization-" + chartButtons[c].replace("Button", ""))
        }
        wizard.showTestMode()
        visit("8-test-mode")
        wizard.showSteps()
        wizard.stepIndex = 5
        visit("6-results-done")
        // The walk goes on with Apply: the analyser takes the fixture files.
        var apply = Support.findVisible(wizard.resultsPage, "applyButton")
        verify(apply, "the Apply button")
        var answers = []
        var onMessage = function(text) { answers.push("message: " + text) }
        var onError = function(text) { answers.push("error: " + text) }
        backend.message.connect(onMessage)
        backend.error.connect(onError)
        mouseClick(apply)
        tryVerify(function() { return answers.length > 0 }, 30000, "an answer to Apply")
        backend.message.disconnect(onMessage)
        backend.error.disconnect(onError)
        verify(answers[0].indexOf("message: ") === 0, "Apply: " + answers.join(" | "))

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
        var thru = steps()[0]
        // The step's own slot: at a large scale the button may lie below
        // the fold of a page that scrolls.
        thru.measureFromVna()
        tryVerify(function() { return !page.isMeasuring && thru.notices.length > 0 }, 30000,
                  "the doubtful thru measured")
        tryVerify(function() { return window.unreadNotices > 0 }, 10000, "the warnings in the list")
        visit("5-measurement-warning")
        window.wizard.stepIndex = 5
        visit("6-results-warning")
        // One warning with a detail of its own lines, as the calculations
        // tell them, beside the two of the thru.
        window.notifyWarning(russian ? "Модель оснастки на порту анализатора 1 со смещением не пассивна в диапазоне от 19.1 до 20 GHz"
                                     : "The offset model of the fixture at analyser port 1 is not passive from 19.1 to 20 GHz",
                             russian ? "Её наибольшее сингулярное число достигает 1.0213 (усиление 0.18 dB) на частоте 20 GHz: при таком смещении плоскости модель даёт усиление. Данные DUT, полученные исключением этой модели, в этом диапазоне неверны; проверьте смещение и измерение."
                                     : "Its largest singular value reaches 1.0213 (a gain of 0.18 dB) at 20 GHz: with the plane moved so far the model shows gain. DUT data de-embedded with it are wrong in that band; check the offset and the measurement.")
        window.notificationDrawer.open()
        tryCompare(window.notificationDrawer, "opened", true, 5000)
        visit("10-notifications-warning", [popupArea(window.notificationDrawer)], window.contentItem.parent)
        window.notificationDrawer.close()
        tryCompare(window.notificationDrawer, "visible", false, 5000)

        window.openSettings()
        tryCompare(window.stack, "busy", false, 5000)
        visit("9-settings")
        // The question after a change of the display scaling.
        var restart = findChild(window.stack.currentItem, "restartDialog")
        verify(restart, "the restart dialog")
        openPopup(restart)
        visit("9-settings-restart", [popupArea(restart)], window.contentItem.parent)
        closePopup(restart)
        var display = Support.find(window.stack.currentItem, "displayTab")
        verify(display, "the display tab")
        mouseClick(display)
        visit("9-settings-display")
        window.closeSettings()
        tryCompare(window.stack, "busy", false, 5000)

        // A message and an error as the program words them: the preset's,
        // and the remote-control listener's for a port it cannot take.
        window.notifications.clear()
        backend.preset()
        tryVerify(function() { return window.notifications.count === 1 }, 10000, "the preset's message")
        backend.serverControl.port = 70000
        tryVerify(function() { return window.notifications.get(0).type === "error" }, 10000, "the listener's error")
        backend.serverControl.port = 0
        window.notificationDrawer.open()
        tryCompare(window.notificationDrawer, "opened", true, 5000)
        // The entries cleared above leave the list by a transition of their
        // own.
        var list = findChild(window.notificationDrawer.contentItem, "notificationList")
        tryVerify(function() {
            var shown = list.contentItem.children
            for (var i = 0; i < shown.length; ++i)
                if (shown[i].x < 0)
                    return false
            return true
        }, 5000, "the cleared entries gone")
        visit("10-notifications", [popupArea(window.notificationDrawer)], window.contentItem.parent)
        window.notificationDrawer.close()
        tryCompare(window.notificationDrawer, "visible", false, 5000)

        // A measurement running: the measuring page, until Cancel. Measure
        // waits for the measurement in an event loop of its own, so the page
        // is visited and Cancel pressed from timers that run in that loop.
        wizard.stepIndex = 4
        harness.setSweepTime(20000)
        harness.clearAnalyserLog()
        measuringVisit.done = false
        measuringVisit.start()
        startMeasurement.start()
        tryVerify(function() { return measuringVisit.done }, 30000, "the measuring page visited")
        tryCompare(window, "shownPage", window.wizardPage, 20000)
        harness.setSweepTime(100)

        harness.setAnalyserReady(false)
        tryCompare(window, "shownPage", window.waitingPage, 10000)
        visit("0-waiting")
        harness.setAnalyserReady(true)
        tryCompare(window, "shownPage", window.wizardPage, 10000)

        // Each fixture alone, by reflection: the reflection view; and the
        // fixtures' own thrus on the connection page.
        setup().abThruConnectionEnabled = false
        tryVerify(function() { return steps().length === 2 }, 5000, "a reflection step per fixture")
        wizard.stepIndex = 4
        visit("5-measurement-reflection")
        wizard.stepIndex = 1
        setup().aaConnectionEnabled = true
        setup().bbConnectionEnabled = true
        visit("2-connection-own-thrus")
        // With the DUT step: its arrangement and its view.
        setup().aaConnectionEnabled = false
        setup().bbConnectionEnabled = false
        setup().abThruConnectionEnabled = true
        setup().abDutConnectionEnabled = true
        tryVerify(function() { return steps().length === 2 }, 5000, "the thru and the DUT step")
        visit("2-connection-dut")
        wizard.stepIndex = 4
        var stepTab = Support.findVisible(page, "measureTab")
        verify(stepTab, "the measurement tab")
        stepTab.currentIndex = 1
        visit("5-measurement-dut")
        setup().abDutConnectionEnabled = false

        // Two ports on each fixture: the taller drawings.
        setup().leftFixtureConn.fixture.portsCount = 2
        setup().rightFixtureConn.fixture.portsCount = 2
        wizard.stepIndex = 0
        visit("1-description-two-ports")
        wizard.stepIndex = 1
        visit("2-connection-two-ports")
        wizard.stepIndex = 4
        visit("5-measurement-two-ports")

        // Every state laid out without a layout that never settles, and
        // without a size that depends on itself.
        var loops = harness.warningsContaining("Polish loop") - polishLoops
        if (loops > 0)
            faults.push(loops + " polish loops: a layout that does not settle")
        var bindingLoops = harness.warningsContaining("Binding loop") - bindingLoopsBefore
        if (bindingLoops > 0)
            faults.push(bindingLoops + " binding loops (listed above as warnings)")
        // One line each, in full (a failure message is cut short).
        for (var f = 0; f < faults.length; ++f)
            console.warn("FAULT " + faults[f])
        verify(faults.length === 0, faults.length + " faults in " + visited + " states, listed above as FAULT")
    }
}
