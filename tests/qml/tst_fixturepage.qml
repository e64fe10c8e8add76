import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/qml"
import "measurepagesupport.js" as Support

// The description page over a real backend and the simulated analyser.
Item {
    id: root
    width: 1200
    height: 800

    FixturePage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "FixturePage"
        when: windowShown

        readonly property var setups: backend.getFixtureSetups()
        readonly property var vna: backend.getVnaDevice()

        function setup() { return setups.setups.get(setups.selected) }
        function tab() { return Support.findVisible(page, "fixtureTab") }
        function column(name) { return Support.find(tab(), name) }
        function inColumn(columnName, name) { return Support.find(column(columnName), name) }

        function useAnalyserPorts(count) {
            harness.setPortCount(count)
            tryVerify(function() { return vna.portsCount === count }, 10000,
                      "the analyser reports " + count + " ports")
            // The change notice reaches the page by the event loop.
            tryCompare(page, "vnaPortsCount", count)
        }

        // A choice of the user: the combo box moves by keyboard, as a
        // pick from its list does, without touching its bindings.
        function choose(combo, index) {
            combo.forceActiveFocus()
            tryVerify(function() { return combo.activeFocus }, 5000, "the combo box has the keyboard focus")
            // One key per step, and no more keys than the list has entries.
            for (var keys = 0; keys <= combo.count && combo.currentIndex !== index; ++keys)
                keyClick(combo.currentIndex < index ? Qt.Key_Down : Qt.Key_Up)
            compare(combo.currentIndex, index)
        }

        function init() {
            page.done = false
            verify(harness.startAnalyser())
            useAnalyserPorts(4)
            setups.preset()
            tryVerify(function() { return tab() !== null && tab().vukSetup === setup() })
            // Laid out before the first click.
            waitForRendering(page)
        }

        function test_pageTexts() {
            compare(page.name, "Description")
            compare(page.description, "Configure fixtures")
            compare(page.icon, "qrc:/resources/icons/description.png")
            verify(page.full_description.indexOf("Step 1. Description") >= 0)
            verify(page.full_description.indexOf("when the electrical fixture length is greater than 4x the rise time") >= 0)
            verify(page.full_description.indexOf("Bisection method supports 2xThrough only") >= 0)
            compare(inColumn("fixtureAColumn", "fixtureCheckBox").text, "Fixture A")
            compare(inColumn("fixtureBColumn", "fixtureCheckBox").text, "Fixture B")
            compare(Support.find(tab(), "drawingA").text, "FIXTURE A\nIN")
            compare(Support.find(tab(), "drawingB").text, "FIXTURE B\nOUT")
            compare(Support.find(tab(), "availablePortsLabel").text, "Available VNA ports: 4")
            compare(Support.find(tab(), "fixturePortsLabel").text, "Fixture ports: 2")
            verify(!Support.find(tab(), "topologyCombo").visible)
        }

        function test_portsCountChoiceFollowsAnalyserAndWritesFixture() {
            var combo = inColumn("fixtureAColumn", "portsCountCombo")
            compare(combo.count, 4)
            compare(combo.label, "Num of ports")
            compare(combo.currentText, "1")
            choose(combo, 2)
            compare(setup().leftFixtureConn.fixture.portsCount, 3)
            // One "SE" label per port of A in the drawing.
            var labels = Support.findAll(Support.find(tab(), "portLabelsA"), "")
                    .filter(function(item) { return item.text === "SE" })
            compare(labels.length, 3)
            // The program side changes the count: the choice follows.
            setup().leftFixtureConn.fixture.portsCount = 2
            compare(combo.currentText, "2")
            useAnalyserPorts(2)
            compare(combo.count, 2)
        }

        // The analyser going away shortens the list of counts for a while;
        // the fixtures keep their counts, and so do the combo boxes.
        function test_aLinkDropKeepsThePortCounts() {
            var comboA = inColumn("fixtureAColumn", "portsCountCombo")
            var comboB = inColumn("fixtureBColumn", "portsCountCombo")
            choose(comboA, 1)
            choose(comboB, 1)
            compare(setup().leftFixtureConn.fixture.portsCount, 2)
            compare(setup().rightFixtureConn.fixture.portsCount, 2)

            harness.stopAnalyser()
            tryVerify(function() { return vna.portsCount === undefined }, 10000, "the analyser is seen gone")
            tryCompare(page, "vnaPortsCount", 1)
            compare(setup().leftFixtureConn.fixture.portsCount, 2)
            compare(setup().rightFixtureConn.fixture.portsCount, 2)
            compare(comboA.currentText, "2")
            compare(comboB.currentText, "2")

            verify(harness.startAnalyser())
            useAnalyserPorts(4)
            compare(setup().leftFixtureConn.fixture.portsCount, 2)
            compare(setup().rightFixtureConn.fixture.portsCount, 2)
            compare(comboA.count, 4)
            compare(comboA.currentText, "2")
        }

        function test_portsCountChoiceOnlyWithItsFixture() {
            var box = inColumn("fixtureBColumn", "fixtureCheckBox")
            var combo = inColumn("fixtureBColumn", "portsCountCombo")
            verify(combo.enabled)
            mouseClick(box)
            verify(!setup().rightFixtureEnabled)
            verify(!combo.enabled)
            verify(!Support.find(tab(), "drawingB").enabled)
            verify(Support.find(tab(), "drawingA").enabled)
            mouseClick(box)
            verify(setup().rightFixtureEnabled)
            verify(combo.enabled)
        }

        function test_tooFewAnalyserPortsMarkedUntilAFixtureGoes() {
            useAnalyserPorts(2)
            choose(inColumn("fixtureAColumn", "portsCountCombo"), 1)
            choose(inColumn("fixtureBColumn", "portsCountCombo"), 1)
            var mark = Support.find(tab(), "portsErrorMark")
            compare(Support.find(tab(), "fixturePortsLabel").text, "Fixture ports: 4")
            verify(mark.visible)
            compare(mark.type, CoreMeasureEnums.RecommendedResult.Error)
            verify(mark.toolTip.description.indexOf("VNA ports are not enough for the fixture connection.") >= 0)
            // The wizard sees the error only once the page is done.
            compare(page.hasError, undefined)
            page.done = true
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)

            mouseClick(inColumn("fixtureBColumn", "fixtureCheckBox"))
            compare(Support.find(tab(), "fixturePortsLabel").text, "Fixture ports: 2")
            verify(!mark.visible)
            compare(page.hasError, undefined)

            // No fixture at all is an error as well.
            mouseClick(inColumn("fixtureAColumn", "fixtureCheckBox"))
            compare(Support.find(tab(), "fixturePortsLabel").text, "Fixture ports: 0")
            verify(mark.visible)
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)
        }

        function test_methodChoiceIsSharedBySetups() {
            var combo = Support.find(tab(), "methodCombo")
            compare(combo.label, "Method")
            compare(combo.currentText, "Time Gating")
            choose(combo, 1)
            compare(setups.correctionMethod, MeasureEnums.CorrectionMethod.FILTERING)
            choose(combo, 2)
            compare(combo.currentText, "Bisection")
            compare(setups.correctionMethod, MeasureEnums.CorrectionMethod.BISECT)
            // A change made elsewhere (a recalled setup, a remote command).
            setups.correctionMethod = MeasureEnums.CorrectionMethod.TIME_GATING
            compare(combo.currentText, "Time Gating")
            setups.correctionMethod = MeasureEnums.CorrectionMethod.FILTERING
            compare(combo.currentText, "Filtering")
        }

        function test_presetAsksFirstAndPerformsOnlyWhenConfirmed() {
            setups.correctionMethod = MeasureEnums.CorrectionMethod.BISECT
            var before = setup()
            var dialog = Support.find(page, "presetDialog")
            mouseClick(Support.find(tab(), "presetButton"))
            tryVerify(function() { return dialog.opened })
            compare(dialog.title, "Plug-in preset")
            compare(dialog.informativeText, "The preset deletes all measured data without saving it and returns the plug-in to its initial state. Perform the plug-in preset?")
            compare(dialog.acceptText, "Perform")
            compare(dialog.discardText, "Cancel")
            verify(dialog.modal)

            mouseClick(Support.find(dialog.contentItem, "discardButton"))
            tryVerify(function() { return !dialog.visible })
            compare(setups.correctionMethod, MeasureEnums.CorrectionMethod.BISECT)
            verify(setup() === before)

            mouseClick(Support.find(tab(), "presetButton"))
            tryVerify(function() { return dialog.opened })
            mouseClick(Support.find(dialog.contentItem, "acceptButton"))
            tryVerify(function() { return !dialog.visible })
            tryVerify(function() { return setup() !== before }, 5000, "the set-ups were rebuilt")
            compare(setups.correctionMethod, MeasureEnums.CorrectionMethod.TIME_GATING)
            tryVerify(function() { return tab() !== null && tab().vukSetup === setup() })
            compare(Support.find(tab(), "methodCombo").currentText, "Time Gating")
        }

        function test_recallDialog() {
            var dialog = Support.find(page, "stateDialog")
            verify(dialog !== null)
            compare(dialog.title, "Open State File")
            compare(dialog.nameFilters, ["State files (*.sta)"])
            compare(Support.find(tab(), "recallSetupButton").text, "Recall setup")
        }
    }
}
