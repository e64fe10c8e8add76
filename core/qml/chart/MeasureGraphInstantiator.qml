import QtQuick 2.15
import QtQuick.Controls 2.15
import com.korvel.chart 1.0
import MeasureEnums 1.0
import UnitFormatter 1.0
import "../chart"

// Shows one measured curve of a fixture port on a chart tab: a trace with a
// user marker, a reference marker and a moving reference marker, its series
// in the tab's scale manager and its read-out panels in the tab's right
// pane. Dragging the moving marker sets the step's plane offset.
QtObject {
    id: root

    property var tmpVukStep: null
    property var fixtureSide: undefined
    property var chartTab: null
    // Pointer to the curve's QVector<QPointF>.
    property var graph: null
    property var arg: undefined
    property string fixtureName: ""
    property int port: 0
    property string measureName: ""
    property bool showMovingReferenceMarkers: false
    property bool showRightPanel: true
    property string graphLabel: measureName + fixtureName + (port + 1)
    property var rightPanelValue: undefined
    property var refMarkerX: undefined

    readonly property var plotter: chartTab ? chartTab.plotter : null
    readonly property var scaler: chartTab ? chartTab.scaler : null
    readonly property string xUnit: chartTab && chartTab.axisX ? chartTab.axisX.unit : ""
    readonly property string yUnit: chartTab && chartTab.axisY ? chartTab.axisY.unit : ""
    readonly property bool hasReference: refMarkerX !== undefined && refMarkerX !== null
    readonly property real argValue: arg !== undefined && arg !== null ? arg : 0
    // The side of a two-sided step; a one-sided step does not look at it.
    readonly property int stepSide: fixtureSide !== undefined && fixtureSide !== null
                                    ? fixtureSide : MeasureEnums.FixtureSide.SingleReflect

    // The key the series is held under in the scale manager, empty when it
    // is not held.
    property string seriesKey: ""
    property bool completed: false

    // Placed at the start of the x range whenever a curve is attached, so
    // that zooming does not move it.
    property QtObject userMarker: QtObject {
        property real arg: 0
        property real x: arg
        property real y: { graphTrace.dataRevision; return graphTrace.domainY(x) }
        property bool visible: true
    }

    property Trace trace: Trace {
        id: graphTrace

        // Raised whenever the points change, for everything that reads them.
        property int dataRevision: 0
        property var markers: [root.userMarker]

        property QtObject referenceMarker: QtObject {
            id: referenceMarker
            property real arg: root.hasReference ? root.refMarkerX : 0
            property real x: arg
            property real y: { graphTrace.dataRevision; return graphTrace.domainY(x) }
            property bool visible: root.hasReference
        }

        property QtObject movingReferenceMarker: QtObject {
            id: movingMarker
            property real arg: root.argValue
            property real x: arg
            property real y: { graphTrace.dataRevision; return graphTrace.domainY(x) }
            property bool visible: graphTrace.visible && root.showMovingReferenceMarkers

            // Called when a drag of the marker ends, with no argument, or
            // with an offset in picoseconds.
            function onPositionChanged(offsetVar) {
                root.applyOffset(x, offsetVar)
            }

            function setDefault() {
                onPositionChanged(0)
            }
        }

        visible: false
        onVisibleChanged: root.traceVisibilityChanged()
    }

    function format(value) {
        return UnitFormatter.toNormalized(value, 2)
    }

    // Hands the moving marker to the step, which sets and applies its plane
    // offset: the given offset (ps), or the marker's distance to the
    // reference marker.
    function applyOffset(markerX, offsetVar) {
        if (!tmpVukStep)
            return
        if (offsetVar !== undefined && offsetVar !== null)
            tmpVukStep.applyPlaneOffset(stepSide, offsetVar)
        else if (hasReference)
            tmpVukStep.applyPlaneOffsetAt(stepSide, markerX, refMarkerX)
    }

    function removePanels() {
        if (!chartTab)
            return
        chartTab.removeReferenceMarkersData(referencePanel)
        chartTab.removeUserMarkersData(userMarkerPanel)
    }

    function detachGraph() {
        if (plotter)
            plotter.removeTrace(graphTrace)
        if (scaler && seriesKey !== "")
            scaler.removeData(seriesKey)
        seriesKey = ""
        removePanels()
    }

    function attachGraph() {
        if (!chartTab)
            return
        detachGraph()
        if (!graph || !graphTrace.replaceOnPtrData(graph) || !scaler.addDataPtr(graphLabel, graph)) {
            graphTrace.visible = false
            return
        }
        seriesKey = graphLabel
        graphTrace.dataRevision++
        plotter.addTrace(graphTrace)
        userMarker.arg = graphTrace.domain.xRange.x
        graphTrace.visible = true
        graphTrace.name = graphLabel
        chartTab.addReferenceMarkersData(referencePanel)
        chartTab.addUserMarkersData(userMarkerPanel)
    }

    function traceVisibilityChanged() {
        if (!completed || !chartTab)
            return
        chartTab.chart.zoomReset()
        if (!graphTrace.visible) {
            if (seriesKey !== "")
                scaler.removeData(seriesKey)
            return
        }
        if (graph && scaler.addDataPtr(graphLabel, graph)) {
            seriesKey = graphLabel
            chartTab.removeUserMarkersData(userMarkerPanel)
            chartTab.addUserMarkersData(userMarkerPanel)
        }
    }

    function updateMovingPanel() {
        if (!chartTab)
            return
        if (showMovingReferenceMarkers)
            chartTab.addMovingReferenceMarkersData(movingPanel)
        else
            chartTab.removeMovingReferenceMarkersData(movingPanel)
    }

    onGraphChanged: if (completed) attachGraph()
    onChartTabChanged: {
        if (completed) {
            attachGraph()
            updateMovingPanel()
        }
    }
    onShowMovingReferenceMarkersChanged: if (completed) updateMovingPanel()
    // A drag breaks the marker's binding to arg; a new arg restores it.
    onArgChanged: movingMarker.arg = Qt.binding(function() { return root.argValue })

    Component.onCompleted: {
        completed = true
        attachGraph()
        updateMovingPanel()
    }

    Component.onDestruction: {
        detachGraph()
        if (chartTab)
            chartTab.removeMovingReferenceMarkersData(movingPanel)
    }

    property Item referencePanel: MarkerPanel {
        visible: root.showRightPanel && graphTrace.visible && root.hasReference
        texts: [root.graphLabel, root.format(referenceMarker.x) + root.xUnit,
            root.format(referenceMarker.y) + root.yUnit]
        textColor: graphTrace.color
    }

    property Item userMarkerPanel: MarkerPanel {
        visible: root.showRightPanel && graphTrace.visible
        texts: [root.graphLabel, root.format(root.userMarker.x) + root.xUnit,
            root.format(root.userMarker.y) + root.yUnit]
        textColor: graphTrace.color
    }

    property Item movingPanel: MarkerPanel {
        texts: [root.graphLabel, qsTr("Offset:"), root.format(movingMarker.x - referenceMarker.x) + root.xUnit]
        textColor: graphTrace.color
    }
}
