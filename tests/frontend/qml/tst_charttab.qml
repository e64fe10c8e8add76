import QtQuick 2.15
import QtTest 1.15
import MeasureEnums 1.0
import "qrc:/core/qml/controls"

// A chart tab with graph instantiators: a fixture port's curve becomes a
// trace with markers, its series feeds the tab's scale manager, its panels
// fill the right pane, and the moving marker sets the step's offset.
Item {
    id: testRoot
    width: 1000
    height: 600

    Component {
        id: tabComponent
        VukChartTab {
            width: 900
            height: 500
            axisX.titleText: "Time (s)"
            axisX.unit: "s"
            axisY.titleText: "Magnitude (linear)"
        }
    }

    Component {
        id: instantiatorComponent
        MeasureGraphInstantiator {}
    }

    // A step as the instantiator sees it: what the marker hands over, one
    // entry per call (the step decides what to do with it).
    Component {
        id: stepComponent
        QtObject {
            property var calls: []
            function applyPlaneOffset(side, offset) {
                calls = calls.concat([[side, offset]])
            }
            function applyPlaneOffsetAt(side, markerTime, referenceTime) {
                calls = calls.concat([[side, markerTime, referenceTime]])
            }
        }
    }

    TestCase {
        name: "ChartTab"
        when: windowShown

        property var tab: null

        // A gating-like curve over 0 .. 200 ps peaking at 100 ps.
        readonly property var peak: [Qt.point(0, 0), Qt.point(1e-10, 1), Qt.point(2e-10, 0)]

        function init() {
            tab = createTemporaryObject(tabComponent, testRoot)
            verify(tab)
        }

        function makeGraph(properties) {
            var props = {
                "chartTab": tab,
                "graph": seriesStore.create(peak),
                "measureName": "G",
                "fixtureName": "Fixture",
                "port": 1,
                "refMarkerX": 1e-10,
                "arg": 1.2e-10,
                "showMovingReferenceMarkers": true
            }
            for (var key in properties)
                props[key] = properties[key]
            var graph = createTemporaryObject(instantiatorComponent, testRoot, props)
            verify(graph)
            return graph
        }

        function contains(list, item) {
            return list.indexOf(item) >= 0
        }

        function test_curveBecomesATraceWithItsSeriesAndPanels() {
            var graph = makeGraph({})
            var trace = graph.trace
            compare(graph.graphLabel, "GFixture2")
            compare(tab.plotter.traces, [trace])
            compare(trace.name, "GFixture2")
            verify(trace.visible)
            compare(tab.scaler.minMaxX, Qt.point(0, 2e-10))
            compare(tab.scaler.minMaxY, Qt.point(0, 1))
            compare(tab.plotter.xRange, Qt.point(0, 2e-10))
            compare(tab.plotter.xAxisTitle, "Time (s)")
            compare(tab.plotter.yAxisTitle, "Magnitude (linear)")

            verify(contains(tab.referenceMarkersData, graph.referencePanel))
            verify(contains(tab.userMarkersData, graph.userMarkerPanel))
            verify(contains(tab.movingReferenceMarkersData, graph.movingPanel))
            // Label, reference x and the curve there, with the axis units.
            compare(graph.referencePanel.texts, ["GFixture2", "100 ps", "1 "])
            compare(graph.movingPanel.texts, ["GFixture2", "Offset:", "20 ps"])
            // The user marker starts at the start of the x range.
            compare(graph.userMarkerPanel.texts, ["GFixture2", "0s", "0"])
            verify(graph.referencePanel.visible)
            compare(graph.referencePanel.height, 20)

            verify(findChild(tab, "referenceMarkersTitle").visible)
            verify(findChild(tab, "movingReferenceMarkersTitle").visible)
            verify(findChild(tab, "setDefaultOffsetButton").visible)
            verify(!findChild(tab, "userMarkersTitle").visible)
            findChild(tab, "userMarkersSwitch").checked = true
            verify(findChild(tab, "userMarkersTitle").visible)
            verify(tab.plotter.fVisibleUserMarkers)
        }

        function test_userMarkerStartsAtTheStartOfTheRangeAndStaysThere() {
            var graph = makeGraph({ "graph": seriesStore.create([Qt.point(1e-10, 2), Qt.point(3e-10, 4)]) })
            var marker = graph.trace.markers[0]
            compare(marker.arg, 1e-10)
            fuzzyCompare(marker.y, 2, 1e-5)
            waitForRendering(tab)
            tab.chart.zoomIn(Qt.rect(100, 50, 200, 200))
            verify(tab.chart.isZoomed)
            compare(marker.arg, 1e-10)
            // A new curve places it again.
            graph.graph = seriesStore.create([Qt.point(-1e-10, 0), Qt.point(1e-10, 1)])
            compare(marker.arg, -1e-10)
            compare(graph.userMarkerPanel.texts[1], "-100 ps")
        }

        function test_referencePanelNeedsAReference() {
            var graph = makeGraph({ "refMarkerX": undefined, "showMovingReferenceMarkers": false })
            verify(!graph.referencePanel.visible)
            verify(!graph.trace.referenceMarker.visible)
            verify(!findChild(tab, "referenceMarkersTitle").visible)
            verify(!findChild(tab, "movingReferenceMarkersTitle").visible)
            verify(!findChild(tab, "setDefaultOffsetButton").visible)
            graph.refMarkerX = 5e-11
            verify(graph.referencePanel.visible)
            verify(findChild(tab, "referenceMarkersTitle").visible)
            compare(graph.trace.referenceMarker.x, 5e-11)
            // The right panels can be switched off as a whole.
            graph.showRightPanel = false
            verify(!graph.referencePanel.visible)
            verify(!graph.userMarkerPanel.visible)
        }

        function test_emptyOrMissingCurveHidesTheTrace_data() {
            return [{ tag: "empty", series: function() { return seriesStore.create([]) } },
                    { tag: "null", series: function() { return seriesStore.nullSeries() } },
                    { tag: "unset", series: function() { return null } }]
        }

        function test_emptyOrMissingCurveHidesTheTrace(data) {
            var graph = makeGraph({ "graph": data.series() })
            verify(!graph.trace.visible)
            compare(tab.plotter.traces.length, 0)
            // Nothing reached the scale manager: its ranges are the defaults.
            compare(tab.scaler.minMaxX, Qt.point(0, 1))
            compare(tab.referenceMarkersData.length, 0)
            compare(tab.userMarkersData.length, 0)

            // A curve arriving later shows.
            graph.graph = seriesStore.create(peak)
            verify(graph.trace.visible)
            compare(tab.plotter.traces, [graph.trace])
            compare(tab.scaler.minMaxX, Qt.point(0, 2e-10))
        }

        function test_newCurveReplacesTheOldOne() {
            var series = seriesStore.create(peak)
            var graph = makeGraph({ "graph": series })
            graph.graph = seriesStore.create([Qt.point(0, 0), Qt.point(4e-10, 3)])
            compare(tab.plotter.traces, [graph.trace])
            compare(tab.scaler.minMaxX, Qt.point(0, 4e-10))
            compare(tab.referenceMarkersData.length, 1)
            compare(tab.userMarkersData.length, 1)
            // The port's own vector rebuilt in place and announced again.
            seriesStore.assign(series, [Qt.point(0, 0), Qt.point(1e-9, 5)])
            graph.graph = series
            compare(tab.scaler.minMaxX, Qt.point(0, 1e-9))
            compare(tab.scaler.minMaxY, Qt.point(0, 5))
            fuzzyCompare(graph.trace.domainY(5e-10), 2.5, 1e-5)
            // A changed label moves the series to the new key.
            graph.port = 0
            graph.graph = seriesStore.create(peak)
            compare(graph.trace.name, "GFixture1")
            compare(tab.scaler.minMaxX, Qt.point(0, 2e-10))
        }

        function test_hiddenTraceLeavesTheScaleManager() {
            var near = makeGraph({ "port": 0 })
            var far = makeGraph({ "port": 1, "graph": seriesStore.create([Qt.point(0, 0), Qt.point(1e-9, 4)]) })
            compare(tab.plotter.traces.length, 2)
            compare(tab.scaler.minMaxX, Qt.point(0, 1e-9))
            waitForRendering(tab)
            tab.chart.zoomIn(Qt.rect(0, 0, 100, 100))
            verify(tab.chart.isZoomed)

            far.trace.visible = false
            verify(!tab.chart.isZoomed)
            compare(tab.scaler.minMaxX, Qt.point(0, 2e-10))
            compare(tab.scaler.minMaxY, Qt.point(0, 1))
            verify(!far.userMarkerPanel.visible)
            far.trace.visible = true
            compare(tab.scaler.minMaxX, Qt.point(0, 1e-9))
            compare(tab.scaler.minMaxY, Qt.point(0, 4))
            verify(contains(tab.userMarkersData, far.userMarkerPanel))
        }

        function test_movingMarkerHandsItsOffsetToTheStep_data() {
            return [
                { tag: "right side", side: MeasureEnums.FixtureSide.Right,
                  expected: MeasureEnums.FixtureSide.Right },
                { tag: "left side", side: MeasureEnums.FixtureSide.Left,
                  expected: MeasureEnums.FixtureSide.Left },
                { tag: "one-sided step", side: undefined, expected: MeasureEnums.FixtureSide.SingleReflect },
            ]
        }

        function test_movingMarkerHandsItsOffsetToTheStep(data) {
            var step = createTemporaryObject(stepComponent, testRoot)
            var graph = makeGraph({ "tmpVukStep": step, "fixtureSide": data.side })
            var marker = graph.trace.movingReferenceMarker
            verify(marker.visible)
            // A drop: the marker's time and the reference's.
            marker.onPositionChanged()
            compare(step.calls.length, 1)
            compare(step.calls[0][0], data.expected)
            fuzzyCompare(step.calls[0][1], 1.2e-10, 1e-18)
            fuzzyCompare(step.calls[0][2], 1e-10, 1e-18)
            // A given offset is handed over as it is.
            marker.onPositionChanged(7)
            compare(step.calls[1], [data.expected, 7])
            // "Set default offset" sends 0.
            mouseClick(findChild(tab, "setDefaultOffsetButton"))
            compare(step.calls[2], [data.expected, 0])
        }

        function test_offsetNeedsAStepAndAReference() {
            // No step: nothing happens.
            var graph = makeGraph({})
            graph.trace.movingReferenceMarker.onPositionChanged()
            // Without a reference marker no offset can be measured.
            var step = createTemporaryObject(stepComponent, testRoot)
            graph.tmpVukStep = step
            graph.refMarkerX = undefined
            graph.trace.movingReferenceMarker.onPositionChanged()
            compare(step.calls, [])
        }

        function test_dragInThePlotSetsTheOffset() {
            var step = createTemporaryObject(stepComponent, testRoot)
            var graph = makeGraph({ "tmpVukStep": step, "fixtureSide": MeasureEnums.FixtureSide.Right })
            waitForRendering(tab)
            var handle = findChild(tab, "movingMarkerHandle")
            verify(handle && handle.visible)
            var domain = graph.trace.domain
            var view = handle.parent
            var from = domain.domainToGeometryX(1.2e-10)
            fuzzyCompare(handle.x + handle.width / 2, from, 0.01)
            mousePress(handle, handle.width / 2, 50)
            var to = handle.mapFromItem(view, from + 30, 50)
            mouseMove(handle, to.x, to.y)
            to = handle.mapFromItem(view, from + 60, 50)
            mouseMove(handle, to.x, to.y)
            mouseRelease(handle, to.x, to.y)
            var x = domain.geometryToDomainX(from + 60)
            fuzzyCompare(graph.trace.movingReferenceMarker.x, x, 1e-18)
            compare(step.calls.length, 1)
            compare(step.calls[0][0], MeasureEnums.FixtureSide.Right)
            fuzzyCompare(step.calls[0][1], x, 1e-18)
            compare(step.calls[0][2], 1e-10)
        }

        function test_newArgumentRebindsTheMovingMarker() {
            var graph = makeGraph({})
            var marker = graph.trace.movingReferenceMarker
            compare(marker.arg, 1.2e-10)
            marker.arg = 5e-11 // as a drag does
            graph.arg = 1.5e-10
            compare(marker.arg, 1.5e-10)
            graph.arg = 1.6e-10
            compare(marker.arg, 1.6e-10)
            graph.arg = undefined
            compare(marker.arg, 0)
        }

        function test_movablePanelFollowsTheSwitch() {
            var graph = makeGraph({ "showMovingReferenceMarkers": false })
            verify(!contains(tab.movingReferenceMarkersData, graph.movingPanel))
            verify(!graph.trace.movingReferenceMarker.visible)
            graph.showMovingReferenceMarkers = true
            verify(contains(tab.movingReferenceMarkersData, graph.movingPanel))
            verify(graph.trace.movingReferenceMarker.visible)
            graph.showMovingReferenceMarkers = false
            compare(tab.movingReferenceMarkersData.length, 0)
        }

        function test_destructionTakesEverythingAway() {
            var graph = makeGraph({ "port": 0 })
            var other = makeGraph({ "port": 1, "graph": seriesStore.create([Qt.point(0, 0), Qt.point(1e-9, 4)]) })
            compare(tab.plotter.traces.length, 2)
            other.destroy()
            tryVerify(function() { return tab.plotter.traces.length === 1 })
            compare(tab.plotter.traces, [graph.trace])
            compare(tab.scaler.minMaxX, Qt.point(0, 2e-10))
            compare(tab.referenceMarkersData, [graph.referencePanel])
            compare(tab.userMarkersData, [graph.userMarkerPanel])
            compare(tab.movingReferenceMarkersData, [graph.movingPanel])
        }
    }
}
