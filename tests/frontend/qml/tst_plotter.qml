import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import ChartScaleManager 1.0
import com.korvel.chart 1.0
import "qrc:/core/qml/chart"

// The chart area's bookkeeping: trace colours and the active trace, the
// ranges taken from the scale manager, the legend, and zooming.
Item {
    id: testRoot
    width: 640
    height: 420

    Component {
        id: scalerComponent
        ChartScaleManager {}
    }

    Component {
        id: plotterComponent
        Plotter {
            width: testRoot.width
            height: testRoot.height
        }
    }

    Component {
        id: traceComponent
        Trace {}
    }

    TestCase {
        id: test
        name: "Plotter"
        when: windowShown

        readonly property var light: ["#302BFF", "#ED000A", "#4ECC00", "#F027FF", "#623269", "#459CCF",
            "#276766", "#2F2F00", "#49991F", "#C59900", "#57CECD", "#293BD2", "#C16500", "#ED006A", "#3D6EFF",
            "#79CC00"]

        property var scaler: null
        property var plotter: null

        function init() {
            scaler = createTemporaryObject(scalerComponent, testRoot)
            plotter = createTemporaryObject(plotterComponent, testRoot, { "scaleManager": scaler })
            verify(plotter)
        }

        // A trace over the points, its series held by the scale manager.
        function addCurve(name, points) {
            var series = seriesStore.create(points)
            var trace = createTemporaryObject(traceComponent, testRoot, { "name": name })
            verify(trace.replaceOnPtrData(series))
            verify(scaler.addDataPtr(name, series))
            plotter.addTrace(trace)
            return trace
        }

        function child(name) {
            return findChild(plotter, name)
        }

        function legendLabel(index) {
            return findChild(plotter, "legendRepeater").itemAt(index)
        }

        function test_firstTraceIsActiveAndColoursRunThroughThePalette() {
            var traces = []
            for (var i = 0; i < 17; ++i)
                traces.push(addCurve("t" + i, [Qt.point(0, i), Qt.point(1, i + 1)]))
            compare(plotter.traces.length, 17)
            compare(plotter.activeTrace, traces[0])
            for (i = 0; i < 16; ++i)
                verify(Qt.colorEqual(traces[i].color, light[i]), "colour of trace " + i)
            verify(Qt.colorEqual(traces[16].color, light[0]))
            // The active trace draws on testRoot.
            compare(traces[0].z, 1)
            compare(traces[1].z, 0)
            // Every trace follows the plot's ranges.
            compare(traces[5].domain.xRange, plotter.xRange)
            compare(traces[5].domain.yRange, plotter.yRange)
        }

        function test_darkThemeRecoloursEveryTrace() {
            var a = addCurve("a", [Qt.point(0, 0), Qt.point(1, 1)])
            var b = addCurve("b", [Qt.point(0, 1), Qt.point(1, 0)])
            plotter.Material.theme = Material.Dark
            verify(Qt.colorEqual(a.color, "#FFFF00"))
            verify(Qt.colorEqual(b.color, "#00FFFF"))
            b.visible = false
            verify(Qt.colorEqual(legendLabel(1).color, "#d6d7d7"))
            plotter.Material.theme = Material.Light
            verify(Qt.colorEqual(a.color, "#302BFF"))
            verify(Qt.colorEqual(legendLabel(1).color, "#787878"))
        }

        function test_yRangeIsWidenedAndLabelledNicely_data() {
            return [
                // A flat series is widened by 0.1 before labelling.
                { tag: "flat", points: [Qt.point(0, 3), Qt.point(1, 3)], minY: undefined, maxY: undefined,
                  raw: Qt.point(2.9, 3.1) },
                // A fifth of the span each way: -5 .. 10 gives -8 .. 13, labelled -10 .. 15.
                { tag: "plain", points: [Qt.point(0, -5), Qt.point(1, 10)], minY: undefined, maxY: undefined,
                  raw: Qt.point(-8, 13), nice: Qt.point(-10, 15) },
                // The minimum clamp: 0 .. 10 widened to -2 .. 12.
                { tag: "minY", points: [Qt.point(0, -5), Qt.point(1, 10)], minY: 0, maxY: undefined,
                  raw: Qt.point(-2, 12), nice: Qt.point(-2, 12) },
                { tag: "maxY", points: [Qt.point(0, -5), Qt.point(1, 10)], minY: undefined, maxY: 5,
                  raw: Qt.point(-7, 7), nice: Qt.point(-8, 8) },
                { tag: "both", points: [Qt.point(0, -50), Qt.point(1, 500)], minY: 0, maxY: 200,
                  raw: Qt.point(-40, 240), nice: Qt.point(-50, 250) },
            ]
        }

        function test_yRangeIsWidenedAndLabelledNicely(data) {
            plotter.minY = data.minY
            plotter.maxY = data.maxY
            addCurve("a", data.points)
            fuzzyCompare(plotter.yRawRange.x, data.raw.x, 1e-12)
            fuzzyCompare(plotter.yRawRange.y, data.raw.y, 1e-12)
            if (data.nice !== undefined) {
                fuzzyCompare(plotter.yRange.x, data.nice.x, 1e-12)
                fuzzyCompare(plotter.yRange.y, data.nice.y, 1e-12)
            } else {
                // The outermost nice labels of the widened range.
                var labels = NiceLabels.looseLabels(data.raw.x, data.raw.y)
                fuzzyCompare(plotter.yRange.x, labels[labels.length - 1], 1e-12)
                fuzzyCompare(plotter.yRange.y, labels[0], 1e-12)
                verify(plotter.yRange.x < 2.9 && plotter.yRange.y >= 3.1 - 1e-12)
            }
            // The y axis labels the raw range; the grid gets one row per label step.
            compare(plotter.yAxis.yRange, plotter.yRawRange)
            compare(plotter.grid.yCount, plotter.yAxis.divisions - 1)
            compare(plotter.xRange, Qt.point(0, 1))
        }

        function test_removingTracesKeepsAnActiveOne() {
            var a = addCurve("a", [Qt.point(0, 0), Qt.point(1, 1)])
            var b = addCurve("b", [Qt.point(0, 1), Qt.point(1, 0)])
            var c = addCurve("c", [Qt.point(0, 2), Qt.point(1, 2)])
            plotter.activeTrace = b
            compare(b.z, 1)
            plotter.removeTrace(b)
            compare(plotter.traces, [a, c])
            compare(plotter.activeTrace, a)
            compare(b.z, 0)
            // The removed trace no longer follows the plot.
            var kept = b.domain.xRange
            scaler.addDataPtr("d", seriesStore.create([Qt.point(-10, 0), Qt.point(10, 0)]))
            compare(plotter.xRange, Qt.point(-10, 10))
            compare(b.domain.xRange, kept)
            // Adding a trace twice adds it once.
            plotter.addTrace(a)
            compare(plotter.traces.length, 2)
            plotter.removeTrace(a)
            plotter.removeTrace(c)
            compare(plotter.traces.length, 0)
            compare(plotter.activeTrace, undefined)
        }

        function test_addingATraceMakesTheFirstOneActiveAgain() {
            var a = addCurve("a", [Qt.point(0, 0), Qt.point(1, 1)])
            var b = addCurve("b", [Qt.point(0, 1), Qt.point(1, 0)])
            plotter.activeTrace = b
            addCurve("c", [Qt.point(0, 2), Qt.point(1, 2)])
            compare(plotter.activeTrace, a)
        }

        function test_legendClicksPickAndDoubleClicksHide() {
            var a = addCurve("first", [Qt.point(0, 0), Qt.point(1, 1)])
            var b = addCurve("second", [Qt.point(0, 1), Qt.point(1, 0)])
            waitForRendering(plotter)
            var labelB = legendLabel(1)
            compare(labelB.text, "second")
            verify(!labelB.background.visible)
            verify(legendLabel(0).background.visible)
            mouseClick(labelB)
            compare(plotter.activeTrace, b)
            verify(labelB.background.visible)
            verify(Qt.colorEqual(labelB.background.border.color, b.color))
            compare(b.z, 1)
            compare(a.z, 0)
            mouseDoubleClickSequence(labelB)
            verify(!b.visible)
            verify(Qt.colorEqual(labelB.color, "#787878"))
            mouseDoubleClickSequence(labelB)
            verify(b.visible)
            verify(Qt.colorEqual(labelB.color, b.color))
        }

        function test_zoomTakesTheActiveDomainsRangesAndResetBindsAgain() {
            var a = addCurve("a", [Qt.point(0, 0), Qt.point(100, 50)])
            compare(plotter.xRange, Qt.point(0, 100))
            compare(plotter.yRange, Qt.point(-10, 60))
            var chart = plotter.chart
            waitForRendering(plotter)
            var area = child("plotArea")
            // The left half and the upper half of the plot.
            chart.zoomIn(Qt.rect(0, 0, area.width / 2, area.height / 2))
            verify(chart.isZoomed)
            fuzzyCompare(plotter.xRange.x, 0, 1e-9)
            fuzzyCompare(plotter.xRange.y, 50, 1e-9)
            fuzzyCompare(plotter.yRawRange.x, 25, 1e-9)
            fuzzyCompare(plotter.yRawRange.y, 60, 1e-9)
            // Nice labels 5 apart around 25 .. 60.
            fuzzyCompare(plotter.yRange.x, 25, 1e-9)
            fuzzyCompare(plotter.yRange.y, 60, 1e-9)
            compare(a.domain.xRange, plotter.xRange)
            verify(child("zoomFrame").visible)
            verify(child("zoomAxisTint").visible)
            tryVerify(function() { return child("zoomStrip").y === 0 }, 2000)

            // While zoomed, new x data leaves the plot where it is.
            scaler.addDataPtr("b", seriesStore.create([Qt.point(0, 0), Qt.point(200, 0)]))
            fuzzyCompare(plotter.xRange.y, 50, 1e-9)

            // The banner's button resets the zoom; the ranges follow the data again.
            mouseClick(child("zoomOutButton"))
            verify(!chart.isZoomed)
            compare(plotter.xRange, Qt.point(0, 200))
            verify(!child("zoomFrame").visible)
            scaler.addDataPtr("c", seriesStore.create([Qt.point(-100, 0), Qt.point(0, 0)]))
            compare(plotter.xRange, Qt.point(-100, 200))
            compare(a.domain.xRange, Qt.point(-100, 200))
            tryVerify(function() { return !child("zoomStrip").visible }, 2000)
        }

        function test_rubberBandDragZoomsTheChart() {
            addCurve("a", [Qt.point(0, 0), Qt.point(100, 50)])
            waitForRendering(plotter)
            var chart = plotter.chart
            mousePress(chart, 10, 10)
            mouseMove(chart, 60, 40)
            mouseMove(chart, 110, 80)
            mouseRelease(chart, 110, 80)
            verify(chart.isZoomed)
            verify(plotter.xRange.y < 100)
            // A right-button release resets the zoom and the ranges.
            mouseClick(chart, 50, 50, Qt.RightButton)
            verify(!chart.isZoomed)
            compare(plotter.xRange, Qt.point(0, 100))
            compare(plotter.yRange, Qt.point(-10, 60))
        }

        function test_removingTheLastTraceBindsTheRangesAgain() {
            var a = addCurve("a", [Qt.point(0, 0), Qt.point(100, 50)])
            plotter.chart.zoomIn(Qt.rect(0, 0, 100, 100))
            verify(plotter.xRange.y < 100)
            plotter.removeTrace(a)
            compare(plotter.xRange, Qt.point(0, 100))
            verify(!plotter.chart.isZoomed)
            verify(!a.domain.isZoomed)
            verify(!child("zoomFrame").visible)
            scaler.addDataPtr("b", seriesStore.create([Qt.point(0, 0), Qt.point(300, 0)]))
            compare(plotter.xRange, Qt.point(0, 300))
        }
    }
}
