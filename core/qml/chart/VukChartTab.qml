import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtCharts 2.15
import ChartScaleManager 1.0
import "../chart"

// A full chart tab: the plot with its scale manager, and on the right the
// read-out panels of the traces' markers. Graph instantiators add and
// remove the panels through the functions below.
Item {
    id: root

    property alias axisX: axisXObject
    property alias axisY: axisYObject
    property alias leftPanel: leftPane
    property alias plotter: plotterItem
    readonly property var chart: plotterItem.chart
    property alias scaler: scaleManager
    property var maxY: undefined
    property var minY: undefined
    property var referenceMarkersData: []
    property var movingReferenceMarkersData: []
    property var userMarkersData: []

    readonly property bool referenceGroupVisible: anyVisible(referenceMarkersData)
    readonly property bool movingGroupVisible: anyVisible(movingReferenceMarkersData)
    readonly property bool userGroupVisible: userMarkersSwitch.checked && anyVisible(userMarkersData)

    function anyVisible(list) {
        for (var i = 0; i < list.length; ++i) {
            if (list[i] && list[i].visible)
                return true
        }
        return false
    }

    // A copy of list with item appended (no duplicates) or removed.
    function withItem(list, item) {
        var copy = list.slice()
        if (item && copy.indexOf(item) < 0)
            copy.push(item)
        return copy
    }

    function withoutItem(list, item) {
        var copy = list.slice()
        var index = copy.indexOf(item)
        if (index >= 0)
            copy.splice(index, 1)
        return copy
    }

    function addReferenceMarkersData(item) { referenceMarkersData = withItem(referenceMarkersData, item) }
    function removeReferenceMarkersData(item) { referenceMarkersData = withoutItem(referenceMarkersData, item) }
    function addMovingReferenceMarkersData(item) {
        movingReferenceMarkersData = withItem(movingReferenceMarkersData, item)
    }
    function removeMovingReferenceMarkersData(item) {
        movingReferenceMarkersData = withoutItem(movingReferenceMarkersData, item)
    }
    function addUserMarkersData(item) { userMarkersData = withItem(userMarkersData, item) }
    function removeUserMarkersData(item) { userMarkersData = withoutItem(userMarkersData, item) }

    // Sends every trace's moving reference marker back to offset 0.
    function setDefaultOffsets() {
        var traces = plotterItem.traces
        for (var i = 0; i < traces.length; ++i) {
            var marker = traces[i] ? traces[i].movingReferenceMarker : undefined
            if (marker)
                marker.setDefault()
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            id: leftPane
            visible: false
            Layout.preferredWidth: 150
            Layout.fillHeight: true
        }

        // Holds the axes (titles and units) and the scale manager; not shown.
        ChartView {
            id: hostView
            visible: false
            backgroundColor: "black"
            animationOptions: ChartView.NoAnimation
            Layout.preferredWidth: 0
            Layout.preferredHeight: 0

            UnitValueAxis {
                id: axisXObject
                titleVisible: true
                min: 0
                max: 1
            }
            UnitValueAxis {
                id: axisYObject
                titleVisible: true
                min: 0
                max: 1
            }
            ChartScaleManager {
                id: scaleManager
            }
        }

        Plotter {
            id: plotterItem
            Layout.fillWidth: true
            Layout.fillHeight: true
            xAxisTitle: axisXObject.titleText
            yAxisTitle: axisYObject.titleText
            fVisibleUserMarkers: userMarkersSwitch.checked
            scaleManager: scaleManager
            minY: root.minY
            maxY: root.maxY
        }

        Item {
            id: rightPane
            // 235 wide, wider where a translated switch text needs it.
            Layout.preferredWidth: Math.max(235, Math.ceil(userMarkersSwitch.implicitWidth) + 20)
            Layout.fillHeight: true

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 4
                spacing: 4

                Flickable {
                    id: panelScroll
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    contentWidth: width
                    contentHeight: panelColumn.height
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar {}

                    Column {
                        id: panelColumn
                        width: panelScroll.width
                        spacing: 4

                        Label {
                            objectName: "referenceMarkersTitle"
                            text: qsTr("Reference markers")
                            visible: root.referenceGroupVisible
                        }
                        Column {
                            objectName: "referenceMarkersColumn"
                            width: parent.width
                            children: root.referenceMarkersData
                        }
                        Label {
                            objectName: "movingReferenceMarkersTitle"
                            text: qsTr("Movable reference markers")
                            visible: root.movingGroupVisible
                        }
                        Column {
                            objectName: "movingReferenceMarkersColumn"
                            width: parent.width
                            children: root.movingReferenceMarkersData
                        }
                        Label {
                            objectName: "userMarkersTitle"
                            text: qsTr("User markers")
                            visible: root.userGroupVisible
                        }
                        Column {
                            objectName: "userMarkersColumn"
                            width: parent.width
                            visible: userMarkersSwitch.checked
                            children: root.userMarkersData
                        }
                    }
                }

                VukSeparator {
                    Layout.fillWidth: true
                }

                Switch {
                    id: userMarkersSwitch
                    objectName: "userMarkersSwitch"
                    Layout.fillWidth: true
                    text: qsTr("Show user markers")
                    checked: false
                }

                Button {
                    objectName: "setDefaultOffsetButton"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 30
                    text: qsTr("Set default offset")
                    visible: root.movingGroupVisible
                    onClicked: root.setDefaultOffsets()
                }

                Button {
                    objectName: "autoScaleButton"
                    text: qsTr("Auto Scale")
                    visible: false
                    onClicked: plotterItem.chart.zoomReset()
                }
            }
        }
    }
}
