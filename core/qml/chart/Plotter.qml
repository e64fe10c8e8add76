import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import com.korvel.chart 1.0 as KChart

// The chart area: a legend, the grid, the traces, the two axes, one marker
// view per trace and the banner shown while zoomed. The ranges follow the
// scale manager until the user zooms in; a zoom reset binds them again.
Item {
    id: root

    property alias xAxisTitle: xAxis.title
    property alias yAxisTitle: yAxis.title
    property alias chart: chart
    property var scaleManager: null
    property point xRange: Qt.point(0, 1)
    property point yRawRange: Qt.point(0, 1)
    property point yRange: Qt.point(0, 1)
    property var traces: []
    property var activeTrace: undefined
    property bool fVisibleUserMarkers: false
    // Optional clamps of the y range taken from the scale manager.
    property var minY: undefined
    property var maxY: undefined

    readonly property int xAxisHeight: 40
    readonly property int yAxisWidth: 80
    readonly property int margin: 15

    readonly property bool darkTheme: Material.theme === Material.Dark
    readonly property var darkPalette: ["#FFFF00", "#00FFFF", "#FF33FF", "#00FF00", "#99CC99", "#FF6633",
        "#FF9999", "#CCCCFF", "#CC66CC", "#3366FF", "#FF3333", "#FFCC33", "#3399FF", "#00FF99", "#FF9900",
        "#9933FF"]
    readonly property var lightPalette: ["#302BFF", "#ED000A", "#4ECC00", "#F027FF", "#623269", "#459CCF",
        "#276766", "#2F2F00", "#49991F", "#C59900", "#57CECD", "#293BD2", "#C16500", "#ED006A", "#3D6EFF",
        "#79CC00"]
    readonly property var tracePalette: darkTheme ? darkPalette : lightPalette
    readonly property color hiddenTraceColor: darkTheme ? "#d6d7d7" : "#787878"

    // The plot area, for placing things over it.
    readonly property alias plotArea: plotArea
    readonly property alias xAxis: xAxis
    readonly property alias yAxis: yAxis
    readonly property alias grid: grid

    property var clickHandlers: []
    property bool completed: false

    clip: true

    function contains(list, item) {
        return list.indexOf(item) >= 0
    }

    function recolor(list) {
        for (var i = 0; i < list.length; ++i) {
            if (list[i])
                list[i].color = tracePalette[i % tracePalette.length]
        }
    }

    function addTrace(trace) {
        if (!trace || contains(traces, trace))
            return
        activeTrace = traces.length > 0 ? traces[0] : undefined
        var list = traces.slice()
        list.push(trace)
        recolor(list)
        traces = list
        if (activeTrace === undefined)
            activeTrace = list[0]
        chart.addTrace(trace)
        trace.z = Qt.binding(function() { return root.activeTrace === trace ? 1 : 0 })
        var handler = function() { root.activeTrace = trace }
        trace.clicked.connect(handler)
        var handlers = clickHandlers.slice()
        handlers.push({ "trace": trace, "handler": handler })
        clickHandlers = handlers
        trace.domain.xRange = Qt.binding(function() { return root.xRange })
        trace.domain.yRange = Qt.binding(function() { return root.yRange })
    }

    function removeTrace(trace) {
        var index = traces.indexOf(trace)
        if (!trace || index < 0)
            return
        var list = traces.slice()
        list.splice(index, 1)
        traces = list
        // The last trace leaves no zoom behind: neither on the chart (its
        // banner) nor on the trace's own domain.
        if (list.length === 0 && chart.isZoomed)
            chart.zoomReset()
        chart.removeTrace(trace)
        var handlers = []
        for (var i = 0; i < clickHandlers.length; ++i) {
            if (clickHandlers[i].trace === trace)
                trace.clicked.disconnect(clickHandlers[i].handler)
            else
                handlers.push(clickHandlers[i])
        }
        clickHandlers = handlers
        // The trace keeps its last ranges but no longer follows this plot.
        trace.z = 0
        trace.domain.xRange = trace.domain.xRange
        trace.domain.yRange = trace.domain.yRange
        // The active trace must be one that is still shown.
        if (activeTrace === trace)
            activeTrace = list.length > 0 ? list[0] : undefined
        if (list.length === 0)
            bindRanges()
    }

    function defined(value) {
        return value !== undefined && value !== null
    }

    // y ranges from the scale manager: clamped, widened by a fifth of the
    // span (0.1 when flat) and rounded out to nice labels.
    function updateYRange() {
        var minMax = scaleManager ? scaleManager.minMaxY : Qt.point(0, 1)
        var lo = minMax.x
        var hi = minMax.y
        if (defined(minY))
            lo = Math.max(minY, lo)
        if (defined(maxY))
            hi = Math.min(maxY, hi)
        var e = 0.2 * (hi - lo)
        if (e === 0)
            e = 0.1
        yRawRange = Qt.point(lo - e, hi + e)
        var labels = KChart.NiceLabels.looseLabels(lo - e, hi + e)
        if (labels.length > 0)
            yRange = Qt.point(labels[labels.length - 1], labels[0])
        else
            yRange = yRawRange
    }

    function bindRanges() {
        xRange = Qt.binding(function() { return root.scaleManager ? root.scaleManager.minMaxX : Qt.point(0, 1) })
        updateYRange()
    }

    function refreshMarkers() {
        for (var i = 0; i < markerViews.count; ++i) {
            var view = markerViews.itemAt(i)
            if (view)
                view.updateMarkerBinding()
        }
    }

    function geometryX(value) {
        if (activeTrace && activeTrace.domain)
            return activeTrace.domain.domainToGeometryX(value)
        return (value - xRange.x) * plotArea.width / (xRange.y - xRange.x)
    }

    onTracePaletteChanged: recolor(traces)
    onScaleManagerChanged: if (completed) bindRanges()
    Component.onCompleted: {
        completed = true
        bindRanges()
    }

    Connections {
        target: root.scaleManager
        ignoreUnknownSignals: true
        function onMinMaxYChanged() {
            root.updateYRange()
            root.refreshMarkers()
        }
    }

    Flow {
        id: legend
        objectName: "legend"
        anchors {
            top: parent.top
            topMargin: root.margin
            left: parent.left
            leftMargin: root.yAxisWidth
            right: parent.right
            rightMargin: root.margin
        }
        spacing: 10

        Repeater {
            objectName: "legendRepeater"
            model: root.traces
            delegate: Label {
                readonly property var trace: modelData
                readonly property bool isActive: trace === root.activeTrace
                text: trace ? trace.name : ""
                color: trace && trace.visible ? trace.color : root.hiddenTraceColor
                padding: 2
                background: Rectangle {
                    visible: isActive
                    color: trace ? Qt.rgba(trace.color.r, trace.color.g, trace.color.b, 0.2) : "transparent"
                    border.color: trace ? trace.color : "transparent"
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: root.activeTrace = trace
                    onDoubleClicked: trace.visible = !trace.visible
                }
            }
        }
    }

    Item {
        id: plotArea
        objectName: "plotArea"
        anchors {
            top: legend.bottom
            topMargin: root.margin
            left: parent.left
            leftMargin: root.yAxisWidth
            right: parent.right
            rightMargin: root.margin
            bottom: parent.bottom
            bottomMargin: root.xAxisHeight
        }

        KChart.Grid {
            id: grid
            anchors.fill: parent
            xLayout: KChart.GridLayoutMode.NiceLabelsLinGrid
            xRange: root.xRange
            yCount: Math.max(1, yAxis.divisions - 1)
            innerGridLinesColor: root.darkTheme ? "#30FFFFFF" : "#30000000"
            outerGridLinesColor: root.darkTheme ? "#99FFFFFF" : "#99000000"
            onXLabelsChanged: xAxis.adjustView()
        }

        KChart.Chart {
            id: chart
            anchors.fill: parent
            rubberBand: rubberBandItem

            onIsZoomedChanged: {
                if (!isZoomed) {
                    chart.zoomReset()
                    root.bindRanges()
                    root.refreshMarkers()
                }
            }
            onFinishedZoomInOperation: {
                if (root.traces.length === 0 || !root.activeTrace)
                    return
                var domain = root.activeTrace.domain
                root.xRange = domain.xRange
                root.yRawRange = domain.yRange
                root.yRange = KChart.NiceLabels.looseLabelsMinMax(domain.yRange)
                root.refreshMarkers()
            }

            Rectangle {
                id: rubberBandItem
                color: "grey"
                opacity: 0.5
                visible: false
            }
        }

        Repeater {
            id: markerViews
            objectName: "markerViews"
            model: root.traces
            delegate: MarkerView {
                readonly property var traceItem: modelData
                anchors.fill: parent
                trace: traceItem
                domain: traceItem ? traceItem.domain : null
                color: traceItem ? traceItem.color : "transparent"
                markers: traceItem && traceItem.markers !== undefined ? traceItem.markers : []
                referenceMarker: traceItem && traceItem.referenceMarker !== undefined ? traceItem.referenceMarker
                                                                                      : null
                movingReferenceMarker: traceItem && traceItem.movingReferenceMarker !== undefined
                                       ? traceItem.movingReferenceMarker : null
                visible: traceItem ? traceItem.visible : false
                visibleUserMarkers: root.fVisibleUserMarkers
                active: traceItem === root.activeTrace
                z: active ? 1 : 0
            }
        }

        // The strip that slides in from above while zoomed.
        Item {
            anchors.fill: parent
            clip: true
            z: 2

            Rectangle {
                id: zoomStrip
                objectName: "zoomStrip"
                width: parent.width
                height: 35
                color: "#552239FF"
                y: chart.isZoomed ? 0 : -height
                visible: y > -height

                Behavior on y {
                    NumberAnimation {
                        duration: 600
                        easing.type: Easing.OutCubic
                    }
                }

                ToolButton {
                    objectName: "zoomOutButton"
                    anchors.centerIn: parent
                    width: 100
                    height: 30
                    text: qsTr("zoom out")
                    onClicked: chart.zoomReset()
                }
            }
        }
    }

    YAxis {
        id: yAxis
        anchors {
            left: parent.left
            right: plotArea.left
            top: plotArea.top
            bottom: plotArea.bottom
        }
        yRange: root.yRawRange
    }

    XAxis {
        id: xAxis
        anchors {
            left: plotArea.left
            right: plotArea.right
            top: plotArea.bottom
            bottom: parent.bottom
        }
        labels: grid.xLabels
        domainToGeometryX: function(value) { return root.geometryX(value) }
    }

    // The zoomed state: a frame around the plot and the x axis, and a tint
    // over the x-axis band.
    Rectangle {
        objectName: "zoomAxisTint"
        anchors.fill: xAxis
        color: "#552239FF"
        visible: chart.isZoomed
    }

    Rectangle {
        objectName: "zoomFrame"
        anchors {
            left: plotArea.left
            right: plotArea.right
            top: plotArea.top
            bottom: xAxis.bottom
        }
        color: "transparent"
        border.color: "#2239FF"
        border.width: 3
        visible: chart.isZoomed
    }
}
