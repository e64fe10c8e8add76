import QtQuick 2.15
import QtTest 1.15
import MeasureEnums 1.0
import "measurepagesupport.js" as Support

// The fixture characterization page over a real backend and the simulated
// analyser: the graphs of every fixture port and the offset set by the
// gating chart's movable marker.
Item {
    id: root
    width: 1280
    height: 900

    // The page needs the chart module; without it (a start-up that did not
    // register it) the tests are skipped rather than the file failing to load.
    readonly property bool chartModuleAvailable: {
        try {
            var probe = Qt.createQmlObject("import com.korvel.chart 1.0; import QtQml 2.15; QtObject {}", root)
            probe.destroy()
            return true
        } catch (e) {
            return false
        }
    }

    Loader {
        id: pageLoader
        anchors.fill: parent
        active: root.chartModuleAvailable
        // By address: the type is compiled only when the module is there.
        source: "qrc:/qml/FixtureCharacterization.qml"
        onLoaded: item.returnAdditionalText = "fixture measurements"
    }

    property alias page: pageLoader.item

    TestCase {
        id: testCase
        name: "FixtureCharacterization"
        when: windowShown

        readonly property var setups: backend.getFixtureSetups()
        readonly property var vna: backend.getVnaDevice()

        function setup() { return setups.setups.get(setups.selected) }
        function steps() { return setup().stepModel.toVector }
        function tab() { return Support.findVisible(page, "characterizationTab") }

        // The graphs of every port, in the page's order.
        function portGraphs() {
            var list = []
            var instantiator = tab().graphs
            for (var i = 0; i < instantiator.count; ++i)
                list.push(instantiator.objectAt(i))
            return list
        }

        function traceNames(chartTab) {
            return chartTab.plotter.traces.filter(function(t) { return t.visible })
                    .map(function(t) { return t.name })
        }

        // Waits until the chart shows exactly these curves (in any order).
        function expectCurves(chartTab, names) {
            var wanted = names.slice().sort().join(",")
            tryVerify(function() { return traceNames(chartTab).sort().join(",") === wanted }, 10000,
                      "curves " + wanted + ", shown: " + traceNames(chartTab).sort().join(","))
        }

        // The backend's error texts since the test began, for failure reports.
        property var errors: []
        readonly property var errorRecorder: Connections {
            target: backend
            function onError(text) { testCase.errors.push(text) }
        }

        function measureThru(step) {
            step.measureFromVna()
            // The report names the errors seen meanwhile (read when it fails).
            for (var waited = 0; waited < 20000 && step.thruMeasured !== MeasureEnums.MeasureStatus.MEASURED; waited += 50)
                wait(50)
            compare(step.thruMeasured, MeasureEnums.MeasureStatus.MEASURED,
                    "the thru measured within 20 s; errors: " + errors.join(" | "))
        }

        function init() {
            errors = []
            if (!root.chartModuleAvailable)
                skip("the chart module com.korvel.chart is not registered")
            verify(page !== null)
            harness.setPortCount(4)
            tryVerify(function() { return vna.portsCount === 4 }, 10000)
            harness.analyserExecute("SIM:SCENe:CLEar")
            harness.analyserExecute("SIM:SCENe:THRU 1,2,50,1e-10")
            setups.preset()
            tryVerify(function() { return tab() !== null && tab().vukSetup === setup() })
            waitForRendering(page)
        }

        function test_pageAndChartChoice() {
            var page = root.page
            compare(page.vukPage.name, "Fixture characterization")
            compare(page.vukPage.description, "Edit fixture characterization")
            verify(page.vukPage.full_description.indexOf("Fixture characterization") >= 0)
            compare(Support.find(page.header, "returnButton").text, "Return to fixture measurements")

            var charts = Support.find(tab(), "charts")
            compare(charts.currentIndex, 0)
            verify(Support.find(tab(), "lengthButton").checked)
            verify(!Support.find(tab(), "logButton").visible)
            var expected = [["impedanceButton", 2], ["sParametersButton", 3], ["gatingButton", 1], ["lengthButton", 0]]
            for (var i = 0; i < expected.length; ++i) {
                mouseClick(Support.find(tab(), expected[i][0]))
                compare(charts.currentIndex, expected[i][1], expected[i][0])
            }
        }

        function test_axes() {
            var axes = [[tab().lengthChart, "Time (s)", "s", "Magnitude (linear)", ""],
                        [tab().gatingChart, "Time (s)", "s", "Magnitude (linear)", ""],
                        [tab().impedanceChart, "Time (s)", "s", "Impedance (\u03A9)", "\u2126"],
                        [tab().sParametersChart, "Frequency (Hz)", "Hz", "Magnitude (dB)", "dB"]]
            for (var i = 0; i < axes.length; ++i) {
                var chart = axes[i][0]
                compare(chart.axisX.titleText, axes[i][1])
                compare(chart.axisX.unit, axes[i][2])
                compare(chart.axisY.titleText, axes[i][3])
                compare(chart.axisY.unit, axes[i][4])
            }
            compare(tab().impedanceChart.minY, 0)
            compare(tab().impedanceChart.maxY, 200)
            compare(tab().lengthChart.minY, undefined)
        }

        function test_thruGraphsRightSideFirstAndNoneForTheDutStep() {
            // A harmonic grid, so the impedance profiles are computed too.
            var lowPass = backend.getAlgorithmsSetup()
            lowPass.setLowPassMode()
            tryVerify(function() { return lowPass.isLowPassMode }, 10000)
            setup().abDutConnectionEnabled = true
            tryVerify(function() { return steps().length === 2 })
            var graphs = portGraphs()
            compare(graphs.length, 2, "one entry per port of the thru; the DUT step adds none")
            compare(graphs[0].entry.fixtureName, "B")
            compare(graphs[0].entry.fixtureSide, MeasureEnums.FixtureSide.Right)
            compare(graphs[1].entry.fixtureName, "A")
            compare(graphs[1].entry.fixtureSide, MeasureEnums.FixtureSide.Left)
            // Nothing measured: no curve is shown.
            compare(traceNames(tab().lengthChart), [])

            measureThru(steps()[0])
            // The plot lists the curves as their data arrives.
            expectCurves(tab().lengthChart, ["LA1", "LB2"])
            expectCurves(tab().gatingChart, ["GA1", "GB2"])
            expectCurves(tab().impedanceChart, ["ZA1", "ZB2"])
            expectCurves(tab().sParametersChart,
                         ["S11A1", "S11B2", "S12A1", "S12B2", "S21A1", "S21B2", "S22A1", "S22B2"])
            compare(graphs.map(function(g) { return g.gatingGraph.graphLabel }), ["GB2", "GA1"])
            var g = graphs[1].gatingGraph
            compare(g.tmpVukStep, steps()[0])
            compare(g.refMarkerX, steps()[0].connection.left.measureData.get(0).measureData.lengthWithoutOffset)
            compare(graphs[1].lengthGraph.tmpVukStep, null, "only the gating graph moves the offset")
        }

        function test_reflectionStepShowsItsSideSParameters() {
            setup().rightFixtureEnabled = false   // A alone: one reflection step
            harness.analyserExecute("SIM:SCENe:CLEar")
            harness.analyserExecute("SIM:SCENe:REFLect 1,OPEN,50,1e-10")
            tryVerify(function() { return steps().length === 1 && portGraphs().length === 1 })
            var step = steps()[0]
            compare(portGraphs()[0].entry.fixtureSide, undefined)
            step.measureOpenFromVna()
            tryVerify(function() { return step.calculated === MeasureEnums.MeasureStatus.MEASURED }, 20000)
            expectCurves(tab().sParametersChart, ["S11A1", "S12A1", "S21A1", "S22A1"])
            expectCurves(tab().gatingChart, ["GA1"])
            compare(portGraphs()[0].lengthGraph.arg, undefined, "no marker argument for a reflection")
        }

        function test_gatingMarkerSetsTheOffsetOfItsSide() {
            var step = steps()[0]
            measureThru(step)
            var right = portGraphs()[0].gatingGraph
            var marker = right.trace.movingReferenceMarker
            verify(!step.appliedFixtureOffset)
            verify(!marker.visible, "hidden while no offset is applied")

            step.applyThruOffset(true)
            tryVerify(function() { return marker.visible }, 5000)

            // A drag 3 ps past the position without offset.
            marker.arg = right.refMarkerX + 3e-12
            marker.onPositionChanged()
            tryVerify(function() { return Math.abs(step.rightOffset - 3) < 1e-6 }, 5000)
            compare(step.leftOffset, 0)
            var port = step.connection.right.measureData.get(0).measureData
            tryVerify(function() { return (port.calibrationState & 4) !== 0 }, 5000, "the thru offsets were applied")

            // The left side's marker moves the left offset.
            var left = portGraphs()[1].gatingGraph
            left.trace.movingReferenceMarker.arg = left.refMarkerX - 2e-12
            left.trace.movingReferenceMarker.onPositionChanged()
            tryVerify(function() { return Math.abs(step.leftOffset + 2) < 1e-6 }, 5000)
        }

        function test_gatingMarkerSetsTheOffsetOfAReflection() {
            setup().rightFixtureEnabled = false   // A alone: one reflection step
            harness.analyserExecute("SIM:SCENe:CLEar")
            harness.analyserExecute("SIM:SCENe:REFLect 1,OPEN,50,1e-10")
            tryVerify(function() { return steps().length === 1 && portGraphs().length === 1 })
            var step = steps()[0]
            step.measureOpenFromVna()
            tryVerify(function() { return step.calculated === MeasureEnums.MeasureStatus.MEASURED }, 20000)
            var gating = portGraphs()[0].gatingGraph
            compare(gating.fixtureSide, undefined, "a reflection's graph has no side")

            // A drag 4 ps before the position without offset.
            var marker = gating.trace.movingReferenceMarker
            marker.arg = gating.refMarkerX - 4e-12
            marker.onPositionChanged()
            tryVerify(function() { return Math.abs(step.offset + 4) < 1e-6 }, 5000)
            tryVerify(function() { return step.appliedFixtureOffset }, 5000, "the offset was applied")

            // "Set default offset" sends 0.
            marker.setDefault()
            tryVerify(function() { return step.offset === 0 }, 5000)
        }
    }
}
