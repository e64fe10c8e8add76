import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/qml"
import "measurepagesupport.js" as Support

// The fixture measurement page and its step views over a real backend and
// the simulated analyser (whose default scene is a 2x-thru between its
// ports 1 and 2).
Item {
    id: root
    width: 1280
    height: 900

    MeasureFixturePage {
        id: page
        anchors.fill: parent
    }

    SignalSpy {
        id: measuringSpy
        target: page
        signalName: "isMeasuringChanged"
    }

    SignalSpy {
        id: characterizationSpy
        target: page
        signalName: "showCharacterization"
    }

    TestCase {
        name: "MeasureFixturePage"
        when: windowShown

        readonly property var setups: backend.getFixtureSetups()
        readonly property var vna: backend.getVnaDevice()

        function setup() { return setups.setups.get(setups.selected) }
        function steps() { return setup().stepModel.toVector }
        function tab() { return Support.findVisible(page, "measureTab") }
        // The view of the current step.
        function view() {
            var stack = Support.find(tab(), "stepStack")
            for (var i = 0; i < stack.children.length; ++i) {
                var loader = stack.children[i]
                if (loader.item && loader.visible)
                    return loader.item
            }
            return null
        }
        function inView(name) { return Support.find(view(), name) }
        function statusText() { return Support.find(tab(), "stepStatus") }

        function sim(line) {
            return harness.analyserExecute(line)
        }

        function init() {
            harness.setPortCount(4)
            tryVerify(function() { return vna.portsCount === 4 }, 10000)
            sim("SIM:SCENe:CLEar")
            sim("SIM:SCENe:THRU 1,2")
            // A harmonic grid, on which the simulated thru gives models
            // without a doubt.
            sim("SENSe1:SWEep:POINts 200")
            sim("SENSe1:FREQuency:STARt 100000000")
            sim("SENSe1:FREQuency:STOP 20000000000")
            setups.preset()
            tryVerify(function() { return tab() !== null && tab().vukSetup === setup() && view() !== null })
            waitForRendering(page)
            measuringSpy.clear()
            characterizationSpy.clear()
        }

        function test_pageTexts() {
            compare(page.name, "Fixture measurement")
            compare(page.description, "Measure or recall the fixture according to the selected connections")
            compare(page.icon, "qrc:/resources/icons/measurment.png")
            verify(page.full_description.indexOf("Step 5. Fixture measurement") >= 0)
            verify(page.full_description.indexOf("parameters of the fixture marked Aux are not sent to the analyzer software") >= 0)
            verify(page.full_description.indexOf("Normally, the offset range is 0 to 10 ps") >= 0)
        }

        function test_stepsNavigationAndViews() {
            compare(Support.find(tab(), "stepCounter").text, "Step 1 of 1")
            verify(!Support.find(tab(), "previousStepButton").enabled)
            verify(!Support.find(tab(), "nextStepButton").enabled)
            verify(inView("thruMeasureButton") !== null)

            setup().aaConnectionEnabled = true   // [A-A Aux thru][B reflect]
            tryVerify(function() { return Support.find(tab(), "stepCounter").text === "Step 1 of 2" })
            verify(inView("thruMeasureButton") !== null)
            verify(Support.find(tab(), "nextStepButton").enabled)
            mouseClick(Support.find(tab(), "nextStepButton"))
            compare(Support.find(tab(), "stepCounter").text, "Step 2 of 2")
            verify(Support.find(tab(), "previousStepButton").enabled)
            verify(!Support.find(tab(), "nextStepButton").enabled)
            verify(inView("compensationCheckBox") !== null, "the reflection view")
            compare(statusText().text, "Step is not complete")
            compare(statusText().type, undefined)

            // Neither side: no step, no status.
            setup().leftFixtureEnabled = false
            setup().rightFixtureEnabled = false
            tryVerify(function() { return Support.find(tab(), "stepCounter").text === "Step 0 of 0" })
            verify(!Support.find(tab(), "statusBar").visible)
            verify(page.done, "a set-up without steps counts as done")
        }

        function test_removedDutStepMovesToTheFirstStep() {
            setup().abDutConnectionEnabled = true
            tryVerify(function() { return steps().length === 2 })
            mouseClick(Support.find(tab(), "nextStepButton"))
            compare(Support.find(tab(), "stepCounter").text, "Step 2 of 2")
            verify(inView("dutMeasureButton") !== null, "the DUT view")
            compare(inView("transmissionFixture").visible, true)
            verify(inView("transmissionFixture").isDut)

            setups.correctionMethod = MeasureEnums.CorrectionMethod.FILTERING
            tryVerify(function() { return steps().length === 1 })
            compare(Support.find(tab(), "stepCounter").text, "Step 1 of 1")
            verify(inView("thruMeasureButton") !== null)
        }

        function test_thruFromTheAnalyser() {
            var step = steps()[0]
            compare(inView("thruMark").visible, false)
            verify(!inView("thruOffsetCheckBox").enabled)
            compare(page.done, false)

            // Blocks (in a local event loop) until the measurement is over.
            mouseClick(inView("thruMeasureButton"))
            tryVerify(function() { return step.thruMeasured !== MeasureEnums.MeasureStatus.NONE }, 20000)
            compare(step.thruMeasured, MeasureEnums.MeasureStatus.MEASURED)
            tryCompare(page, "isMeasuring", false)
            compare(measuringSpy.count, 2, "measuring from started() to finished()")

            // The change notices reach the page by the event loop.
            tryCompare(statusText(), "text", "Step is complete")
            compare(statusText().type, CoreMeasureEnums.RecommendedResult.Correct)
            tryVerify(function() { return page.done })
            compare(page.hasError, undefined)
            tryVerify(function() { return inView("thruMark").visible })
            compare(inView("thruMark").type, CoreMeasureEnums.RecommendedResult.Correct)

            // The results of both ports.
            var lines = []
            tryVerify(function() {
                lines = Support.findAll(view(), "portLine").filter(function(l) { return l.visible })
                return lines.length === 2
            }, 5000)
            compare(lines[0].text, "Port 1 | 50 Ohm")
            compare(lines[1].text, "Port 2 | 50 Ohm")
            var lengths = Support.findAll(view(), "lengthLine").filter(function(l) { return l.visible })
            compare(lengths.length, 2)
            verify(/^LA = .*s$/.test(lengths[0].text), lengths[0].text)
            verify(/^LB = .*s$/.test(lengths[1].text), lengths[1].text)

            // The thru offsets: applied, then a new left offset entered.
            var box = inView("thruOffsetCheckBox")
            tryVerify(function() { return box.enabled })
            compare(box.text, "Apply fixture \nA / B\ncalibration plane offset")
            mouseClick(box)
            tryVerify(function() { return box.checked }, 5000)
            var field = inView("leftOffsetField")
            verify(field.enabled)
            field.forceActiveFocus()
            tryVerify(function() { return field.activeFocus }, 5000, "the field has the keyboard focus")
            field.selectAll()
            keyClick(Qt.Key_3)
            keyClick(Qt.Key_Return)
            compare(step.leftOffset, 3)
            var leftPort = step.connection.left.measureData.get(0).measureData
            tryVerify(function() { return (leftPort.calibrationState & 4) !== 0 }, 5000, "offset applied")

            // Unticking takes the offset off the models again.
            mouseClick(box)
            tryVerify(function() { return !step.appliedFixtureOffset }, 5000)
            tryVerify(function() { return (leftPort.calibrationState & 4) === 0 }, 5000)

            mouseClick(inView("characterizationButton"))
            compare(characterizationSpy.count, 1)
        }

        function test_failedRecallMarksTheStepAndThePage() {
            var step = steps()[0]
            var recall = inView("thruRecallButton")
            var dialog = inView("touchstoneDialog")
            mouseClick(recall)
            tryVerify(function() { return dialog.visible })
            dialog.visible = false
            // The dialog hands the chosen path to the step's file slot.
            dialog.callback(harness.tempPath("missing.s2p"))
            tryVerify(function() { return step.thruMeasured === MeasureEnums.MeasureStatus.Error }, 10000)
            tryCompare(page, "isMeasuring", false)
            tryCompare(page, "hasError", CoreMeasureEnums.RecommendedResult.Error)
            verify(!page.done)
            compare(statusText().text, "Step is not complete")
            compare(statusText().type, CoreMeasureEnums.RecommendedResult.Error)
            var mark = inView("thruMark")
            tryVerify(function() { return mark.visible })
            compare(mark.type, CoreMeasureEnums.RecommendedResult.Error)
            verify(mark.enableHover)
            compare(mark.toolTip.description, "Refer to the notification panel for details")

            // Deleting the data clears the error.
            mouseClick(inView("deleteDataButton"))
            tryVerify(function() { return step.thruMeasured === MeasureEnums.MeasureStatus.NONE }, 5000)
            tryCompare(page, "hasError", undefined)
            tryVerify(function() { return !mark.visible })
        }

        function test_uncalibratedPortsMarkedInTheDrawing() {
            sim("SIM:CALibrate1:CLEar")
            tryVerify(function() { return vna.calibratedPorts.length === 0 }, 5000)
            var marks = Support.findAll(inView("transmissionFixture"), "calibrationMark")
            compare(marks.length, 2)
            tryVerify(function() { return marks[0].opacity > 0 && marks[1].opacity > 0 }, 5000)
            compare(marks[0].toolTip.description, "This VNA port is not calibrated.")
            compare(Support.findAll(inView("transmissionFixture"), "portLabel").map(function(l) { return l.text }),
                    ["P1", "P2"])

            sim("SIM:CALibrate1 SOLT1,1")
            tryVerify(function() { return vna.calibratedPorts.length === 1 }, 5000)
            tryVerify(function() { return marks[0].opacity === 0 }, 5000, "analyser port 1 is calibrated")
            verify(marks[1].opacity > 0)
            sim("SIM:CALibrate1:CLEar")
        }

        function test_reflectionStepFromTheAnalyser() {
            setup().leftFixtureEnabled = false   // B alone: one reflection step
            tryVerify(function() { return steps().length === 1 && inView("compensationCheckBox") !== null })
            var step = steps()[0]
            verify(inView("openCheckBox").checked)
            verify(!inView("shortCheckBox").checked)
            verify(inView("openMeasureButton").enabled)
            verify(!inView("shortMeasureButton").enabled)
            verify(inView("compensationCheckBox").checked)
            compare(inView("compensationCheckBox").text,
                    "Use compensation of\nthe max signal by\nthe spline approximation")
            mouseClick(inView("compensationCheckBox"))
            verify(!step.useCompensation)
            mouseClick(inView("compensationCheckBox"))
            verify(step.useCompensation)
            verify(!inView("offsetCheckBox").enabled)

            // The short standard alone: the open mark shows nothing then.
            mouseClick(inView("shortCheckBox"))
            mouseClick(inView("openCheckBox"))
            compare(step.state, MeasureEnums.FixturePossibleState.SHORT)
            verify(inView("shortMeasureButton").enabled)
            verify(!inView("openMeasureButton").enabled)

            sim("SIM:SCENe:CLEar")
            sim("SIM:SCENe:REFLect 2,SHORt")   // B sits on analyser port 2
            mouseClick(inView("shortMeasureButton"))
            tryVerify(function() { return step.calculated !== MeasureEnums.MeasureStatus.NONE }, 20000)
            compare(step.calculated, MeasureEnums.MeasureStatus.MEASURED)
            tryCompare(page, "isMeasuring", false)
            compare(measuringSpy.count, 2)
            tryVerify(function() { return inView("shortMark").visible })
            compare(inView("shortMark").type, CoreMeasureEnums.RecommendedResult.Correct)
            verify(!inView("openMark").visible)
            tryCompare(statusText(), "text", "Step is complete")
            tryVerify(function() { return inView("offsetCheckBox").enabled })
            compare(inView("offsetCheckBox").text, "Apply fixture \n calibration plane offset")
        }

        function test_reflectOffsetsAppliedOnceComputed() {
            // Fixture halves of 100 ps; the opens sit 10 and 20 ps further on.
            sim("SIM:SCENe:CLEar")
            sim("SIM:SCENe:THRU 1,2,50,1e-10")
            var step = steps()[0]
            mouseClick(inView("thruMeasureButton"))
            tryVerify(function() { return step.thruMeasured === MeasureEnums.MeasureStatus.MEASURED }, 20000)

            var box = inView("reflectOffsetCheckBox")
            tryVerify(function() { return box.enabled })
            compare(box.text, "Apply fixture \nA/B\ncalibration plane offset\nusing reflects, ps")
            verify(!inView("reflectOptions").visible)
            mouseClick(box)
            verify(step.appliedReflectsOffset)
            verify(inView("reflectOptions").visible)
            tryCompare(inView("transmissionFixture"), "fixtures_spacing", 5)

            // Both ends open, measured with the fixtures apart.
            sim("SIM:SCENe:CLEar")
            sim("SIM:SCENe:REFLect 1,OPEN,50,1.1e-10")
            sim("SIM:SCENe:REFLect 2,OPEN,50,1.2e-10")
            mouseClick(inView("openMeasureButton"))
            tryVerify(function() { return step.reflectCalculated !== MeasureEnums.MeasureStatus.NONE }, 20000)
            compare(step.reflectCalculated, MeasureEnums.MeasureStatus.MEASURED)
            // The measurement took every offset off the thru models; the
            // fresh offsets go back on at once and tick the box again.
            tryVerify(function() { return step.appliedReflectsOffset }, 5000)
            tryVerify(function() { return inView("openMark").visible }, 5000)
            compare(inView("openMark").type, CoreMeasureEnums.RecommendedResult.Correct)
            verify(step.leftReflectOffset !== 0)
            tryCompare(inView("leftReflectOffsetField"), "text", String(Math.round(step.leftReflectOffset * 1000) / 1000))
            tryCompare(inView("rightReflectOffsetField"), "text", String(Math.round(step.rightReflectOffset * 1000) / 1000))
            // The fresh offsets went onto the thru models at once.
            var leftPort = step.connection.left.measureData.get(0).measureData
            tryVerify(function() { return (leftPort.calibrationState & 4) !== 0 }, 5000, "reflect offsets applied")

            // The thru offset box and the reflect box exclude each other.
            mouseClick(inView("thruOffsetCheckBox"))
            verify(!step.appliedReflectsOffset)
            verify(!inView("reflectOptions").visible)
            tryVerify(function() { return step.appliedFixtureOffset }, 5000)
            tryCompare(inView("transmissionFixture"), "fixtures_spacing", 0)
        }
    }
}
