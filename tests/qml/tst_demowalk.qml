import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import "measurepagesupport.js" as Support

// The demo scripts/run starts: a four-port simulated analyser with a thru
// between ports 1 and 2, its sweep on the 10 MHz low-pass grid and a full
// two-port calibration of ports 1 and 2 there (the simulator's options
// --ports 4 --sweep 10e6,20e9,2000 --calibrated-ports 1,2). A new user walks
// the six steps with NEXT alone, measures the thru and applies the result:
// no page is marked, and nothing the program says is an error.
TestCase {
    id: testCase
    name: "DemoWalk"
    when: windowShown
    visible: true

    readonly property var vna: backend.getVnaDevice()

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    // A page or table without a warning or an error.
    function unmarked(result) {
        return result === undefined || result === null || result === CoreMeasureEnums.RecommendedResult.Correct
    }

    function errorsOf(window) {
        var errors = []
        for (var i = 0; i < window.notifications.count; ++i) {
            var entry = window.notifications.get(i)
            if (entry.type !== "message")
                errors.push(entry.text)
        }
        return errors
    }

    function test_walkToApplyWithNextAlone() {
        harness.setPortCount(4)
        tryVerify(function() { return vna.portsCount === 4 }, 10000, "four analyser ports")
        harness.analyserExecute("SIM:SCENe:CLEar")
        harness.analyserExecute("SIM:SCENe:THRU 1,2")
        harness.analyserExecute("SENSe1:FREQuency:STARt 10000000")
        harness.analyserExecute("SENSe1:FREQuency:STOP 20000000000")
        harness.analyserExecute("SENSe1:SWEep:POINts 2000")
        harness.analyserExecute("SIM:CALibrate1 SOLT2,1,2")
        // The setup and calibration tables read the polled sweep: no row
        // with a warning or an error.
        var setupTable = backend.getSetupVnaTable()
        var calibrationTable = backend.getCalibrateVnaTable()
        tryVerify(function() { return unmarked(setupTable.hasError) }, 10000, "setup table " + setupTable.hasError)
        tryVerify(function() { return unmarked(calibrationTable.hasError) }, 10000,
                  "calibration table " + calibrationTable.hasError)

        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        var window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        var wizard = window.wizard
        var next = findChild(window.footer, "nextButton")
        verify(next)

        for (var step = 0; step < 5; ++step) {
            compare(wizard.stepIndex, step)
            var page = wizard.pages[step]
            // The tables follow the analyser's polled values.
            tryVerify(function() { return unmarked(page.hasError) }, 10000, page.name + " marked " + page.hasError)
            if (step === 4) {
                var measure = Support.findVisible(page, "thruMeasureButton")
                verify(measure, "the thru step's measure button")
                mouseClick(measure)
                tryVerify(function() { return !page.isMeasuring && page.done }, 60000, "the thru measured")
                compare(errorsOf(window), [])
            }
            verify(next.visible && next.enabled, "NEXT on " + page.name)
            mouseClick(next)
        }

        compare(wizard.stepIndex, 5)
        var apply = Support.findVisible(wizard.resultsPage, "applyButton")
        verify(apply, "the Apply button")
        var applied = false
        var onMessage = function(text) { applied = true }
        backend.message.connect(onMessage)
        mouseClick(apply)
        tryVerify(function() { return applied }, 30000, "a message after Apply")
        backend.message.disconnect(onMessage)
        compare(errorsOf(window), [])
        for (var i = 0; i < 6; ++i) {
            var shown = wizard.pages[i]
            verify(unmarked(shown.hasError), shown.name + " marked " + shown.hasError)
        }
        // The analyser reads both fixture files and de-embeds them (the
        // proxy sends its commands after the message).
        ["", ":PORT1", ":PORT2"].forEach(function(node) {
            var query = "CALCulate1:FSIMulator:SENDed:DEEMbed" + node + ":STATe?"
            tryVerify(function() { return harness.analyserExecute(query)[0] === "1" }, 10000, query)
        })
    }
}
