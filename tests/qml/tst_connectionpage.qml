import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/qml"
import "measurepagesupport.js" as Support

// The fixture connection page over a real backend and the simulated
// analyser: arrangements, switches and their rules, port clashes.
Item {
    id: root
    width: 1200
    height: 900

    ConnectionPage {
        id: page
        anchors.fill: parent
    }

    TestCase {
        name: "ConnectionPage"
        when: windowShown

        readonly property var setups: backend.getFixtureSetups()
        readonly property var vna: backend.getVnaDevice()

        function setup() { return setups.setups.get(setups.selected) }
        function tab() { return Support.findVisible(page, "connectionTab") }
        function arrangement(name) { return Support.find(tab(), name) }
        function control(arrangementName, name) { return Support.find(arrangement(arrangementName), name) }
        function caption(arrangementName) { return control(arrangementName, "caption").text }
        function toggle(name) { mouseClick(Support.find(tab(), name)) }

        function clashMarks(connectionControl) {
            return Support.findAll(connectionControl, "clashMark").map(function(mark) { return mark.opacity > 0 })
        }

        // A choice of the user on a combo box, by keyboard.
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
            harness.setPortCount(4)
            tryVerify(function() { return vna.portsCount === 4 }, 10000)
            tryCompare(page, "vnaPortsCount", 4)
            setups.preset()
            tryVerify(function() { return tab() !== null && tab().vukSetup === setup() })
            // Laid out before the first click.
            waitForRendering(page)
        }

        function test_pageTexts() {
            compare(page.name, "Fixture connection")
            compare(page.description, "Point out the required fixture connections and assign the VNA ports. This is a preparation step for performing the fixture measurements")
            compare(page.icon, "qrc:/resources/icons/connection.png")
            verify(page.full_description.indexOf("Step 2. Fixture connection") >= 0)
            verify(page.full_description.indexOf("The number of input and output ports of two connected fixtures should be the same") >= 0)
            compare(Support.find(tab(), "dutSwitch").text, "CAL \u2260 DUT")
        }

        function test_defaultIsTheDirectThru() {
            verify(arrangement("abThruArrangement").visible)
            compare(caption("abThruArrangement"), "Connection 1. Transmission measurement<br>2xThrough method")
            verify(!arrangement("aArrangement").visible)
            verify(!arrangement("bArrangement").visible)
            verify(!arrangement("dutArrangement").visible)
            var ab = Support.find(tab(), "abSwitch")
            verify(ab.visible && ab.enabled && ab.checked)
            compare(ab.text, "A - B Connection")
            // Port assignment: A on analyser port 1, B on port 2.
            compare(control("abThruArrangement", "connectionA").ports, [0])
            compare(control("abThruArrangement", "connectionB").ports, [1])
            compare(Support.find(control("abThruArrangement", "connectionA"), "vnaPortCombo").currentText, "1")
            compare(Support.find(control("abThruArrangement", "connectionB"), "vnaPortCombo").currentText, "2")
            compare(page.hasError, undefined)
        }

        function test_ownThruOfASplitsTheArrangements() {
            toggle("aaSwitch")
            verify(setup().aaConnectionEnabled)
            verify(!setup().abThruConnectionEnabled)
            verify(!Support.find(tab(), "abSwitch").checked)
            verify(!arrangement("abThruArrangement").visible)
            compare(caption("aArrangement"), "Connection 1. Transmission measurement<br>2xThrough method")
            compare(caption("bArrangement"), "Connection 2. Reflection measurement<br>1xReflect method")
            verify(control("aArrangement", "connectionAAux").enabled)
            verify(!control("bArrangement", "connectionBAux").enabled)

            // Back to the direct thru: the set-up turns the A-A thru off.
            toggle("abSwitch")
            verify(setup().abThruConnectionEnabled)
            verify(!setup().aaConnectionEnabled)
            verify(!Support.find(tab(), "aaSwitch").checked)

            // Without A, B is connection 1 and measured alone.
            setup().leftFixtureEnabled = false
            verify(!Support.find(tab(), "aaSwitch").visible)
            verify(!Support.find(tab(), "abSwitch").parent.visible)
            compare(caption("bArrangement"), "Connection 1. Reflection measurement<br>1xReflect method")
        }

        function test_noFixtureWarning() {
            var warning = Support.find(tab(), "noFixtureWarning")
            verify(!warning.visible)
            setup().leftFixtureEnabled = false
            setup().rightFixtureEnabled = false
            verify(warning.visible)
            compare(warning.text, "Warning: You must select one/more fixtures")
            verify(!Support.find(tab(), "dutSwitch").visible)
        }

        function test_unequalPortCountsHideTheDirectThru() {
            setup().leftFixtureConn.fixture.portsCount = 2
            verify(!setup().abThruConnectionEnabled)
            verify(!Support.find(tab(), "abSwitch").parent.visible)
            verify(arrangement("aArrangement").visible)
            compare(Support.findAll(control("aArrangement", "connectionA"), "vnaPortCombo").length, 2)
            setup().rightFixtureConn.fixture.portsCount = 2
            verify(setup().abThruConnectionEnabled)
            verify(Support.find(tab(), "abSwitch").parent.visible)
        }

        function test_bisectionNeedsAThruForEverySide() {
            var mark = Support.find(tab(), "aaErrorMark")
            toggle("abSwitch")   // both sides by 1xReflect now
            verify(!setup().abThruConnectionEnabled)
            verify(!mark.visible)
            page.done = true
            compare(page.hasError, undefined)

            setups.correctionMethod = MeasureEnums.CorrectionMethod.BISECT
            verify(mark.visible)
            verify(Support.find(tab(), "bbErrorMark").visible)
            compare(mark.toolTip.description, "The bisection method does not support the 1xReflect setup. It requires a direct connection of two fixtures.")
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)

            toggle("aaSwitch")
            verify(!mark.visible)
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)   // B still by reflect
            toggle("bbSwitch")
            verify(!Support.find(tab(), "bbErrorMark").visible)
            compare(page.hasError, undefined)
        }

        function test_portClashMarkedOnBothSides() {
            var a = control("abThruArrangement", "connectionA")
            var b = control("abThruArrangement", "connectionB")
            compare(clashMarks(a), [false])
            compare(clashMarks(b), [false])
            page.done = true
            // The user puts A on analyser port 2, which B uses.
            choose(Support.find(a, "vnaPortCombo"), 1)
            compare(setup().leftFixtureConn.attachedPorts.toVector, [1])
            compare(clashMarks(a), [true])
            compare(clashMarks(b), [true])
            verify(a.hasError && b.hasError)
            compare(Support.find(a, "clashMark").toolTip.description,
                    "<p align=justify>It is necessary to reassign the ports. This fixture cannot be connected to the VNA.</p>")
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)

            choose(Support.find(a, "vnaPortCombo"), 2)
            compare(clashMarks(a), [false])
            compare(clashMarks(b), [false])
            compare(page.hasError, undefined)
        }

        function test_portTwiceOnOneFixtureAndHiddenSidesIgnored() {
            setup().leftFixtureConn.fixture.portsCount = 2
            setup().rightFixtureConn.fixture.portsCount = 2
            var a = control("abThruArrangement", "connectionA")
            compare(a.ports, [0, 1])
            choose(Support.findAll(a, "vnaPortCombo")[1], 0)
            compare(clashMarks(a), [true, true])
            page.done = true
            compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)
            choose(Support.findAll(a, "vnaPortCombo")[1], 1)
            compare(page.hasError, undefined)

            // A Aux shares B's ports by the automatic assignment; that only
            // counts while the A-A thru is in use.
            toggle("aaSwitch")
            var aux = control("aArrangement", "connectionAAux")
            verify(aux.enabled)
            compare(clashMarks(aux), [false, false])
            toggle("aaSwitch")
            verify(!aux.enabled)
            compare(page.hasError, undefined)
        }

        function test_portBeyondTheAnalyserIsMarked() {
            // Three ports of A and one of B on a 2-port analyser: the rows the
            // analyser cannot take are marked.
            harness.setPortCount(2)
            tryCompare(page, "vnaPortsCount", 2, 10000)
            setup().leftFixtureConn.fixture.portsCount = 3
            var a = control("aArrangement", "connectionA")
            compare(a.portsCount, 2)
            verify(clashMarks(a)[2])
            verify(a.hasError)
        }

        function test_calNotEqualDutOnlyWithTimeGating() {
            var dut = Support.find(tab(), "dutSwitch")
            verify(dut.visible)
            toggle("dutSwitch")
            verify(setup().abDutConnectionEnabled)
            verify(arrangement("dutArrangement").visible)
            compare(caption("dutArrangement"), "Connection 2. DUT in-fixture measurement setup")
            compare(control("dutArrangement", "portsA").text, "Ports: \n1")
            compare(control("dutArrangement", "portsB").text, "Ports: \n2")

            toggle("abSwitch")   // A and B measured alone: the DUT step is the third
            compare(caption("dutArrangement"), "Connection 3. DUT in-fixture measurement setup")

            setups.correctionMethod = MeasureEnums.CorrectionMethod.FILTERING
            verify(!dut.visible)
            verify(!setup().abDutConnectionEnabled)
            verify(!arrangement("dutArrangement").visible)
            setups.correctionMethod = MeasureEnums.CorrectionMethod.TIME_GATING
            verify(dut.visible)
            verify(!dut.checked)
        }
    }
}
