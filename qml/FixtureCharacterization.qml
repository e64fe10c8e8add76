import QtQuick 2.15
import QtQml.Models 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import MeasureEnums 1.0
import UnitFormatter 1.0
import Units 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"

// The side page of the step views: the computed characteristics of every
// fixture port of the selected set-up on four charts (impulse response,
// gated response, impedance profile, S-parameters). Dragging the gating
// chart's movable marker sets the step's plane offset.
PageWithReturn {
    id: root

    property alias vukPage: characterizationPage
    readonly property var fixtureSetups: backend ? backend.getFixtureSetups() : null

    function defined(value) {
        return value !== undefined && value !== null
    }

    // One entry per fixture port shown: for every step but the DUT step, a
    // transmission step's right side ports, then its left side ports, or a
    // reflection step's side ports.
    function portEntries(setup) {
        var entries = []
        if (!setup)
            return entries
        var steps = setup.stepModel.toVector
        for (var s = 0; s < steps.length; ++s) {
            var step = steps[s]
            if (!step || step.isDut !== undefined)
                continue
            var type = step.measureType
            var connection = step.connection
            if (!connection)
                continue
            if (type === MeasureEnums.MeasureType.TRANSMISSION) {
                appendSide(entries, step, connection.right, MeasureEnums.FixtureSide.Right, true)
                appendSide(entries, step, connection.left, MeasureEnums.FixtureSide.Left, true)
            } else if (type === MeasureEnums.MeasureType.REFLECT) {
                appendSide(entries, step, connection.fixt, undefined, false)
            }
        }
        return entries
    }

    function appendSide(entries, step, side, fixtureSide, transmission) {
        if (!side)
            return
        var ports = side.measureData.toVector
        for (var i = 0; i < ports.length; ++i) {
            if (!ports[i])
                continue
            entries.push({
                "step": step,
                "port": ports[i],
                "fixtureName": side.fixture.name,
                "fixtureSide": fixtureSide,
                "transmission": transmission
            })
        }
    }

    VukPage {
        id: characterizationPage
        objectName: "characterizationPage"
        anchors.fill: parent
        name: qsTr("Fixture characterization")
        description: qsTr("Edit fixture characterization")
        full_description: qsTr("<h2>Fixture characterization</h2>"
            + "<p>The graphs show the computed characteristics of every fixture port of the configuration:</p><ul>"
            + "<li><b>Length</b>: the impulse response. Its curves are named L, the fixture and the analyser port "
            + "(LA1, LB2); <b>Reference markers</b> gives the delay of each curve's peak: through the whole 2x-thru "
            + "for a thru step, the round trip for a 1x-reflect step. Either is twice one fixture's delay: halve it "
            + "for the electrical length of one fixture.</li>"
            + "<li><b>Gating</b>: the gated response. While the calibration plane offset is applied, drag the movable marker "
            + "to move the reference plane; <b>Set default offset</b> returns it to the calculated position.</li>"
            + "<li><b>Impedance</b>: the impedance profile of the fixture. An impedance deviating by more than 5-10% "
            + "from the reference distorts the DUT results.</li>"
            + "<li><b>S-parameters</b>: the magnitudes of S11, S21, S12 and S22 of the fixture model.</li></ul>"
            + "<p>Click a legend entry to make its curve active, double-click it to hide or show the curve. "
            + "Drag a rectangle to zoom in.</p>")

        ColumnLayout {
            anchors.fill: parent
            spacing: 0

            VukFixtureTabBar {
                id: tabBar
                objectName: "setupTabBar"
                Layout.fillWidth: true
                visible: false
                currentIndex: root.fixtureSetups ? root.fixtureSetups.selected : -1

                Repeater {
                    model: root.fixtureSetups ? root.fixtureSetups.count : 0
                    TabButton {
                        text: qsTr("Configuration ") + (index + 1)
                        onClicked: root.fixtureSetups.selected = index
                    }
                }
            }

            SwipeView {
                id: swipe
                objectName: "setupSwipe"
                Layout.fillWidth: true
                Layout.fillHeight: true
                interactive: false
                clip: true
                currentIndex: tabBar.currentIndex

                Repeater {
                    model: root.fixtureSetups ? root.fixtureSetups.setups : null

                    Loader {
                        readonly property var setup: model.value
                        active: !!setup
                        sourceComponent: tabComponent
                        onLoaded: item.vukSetup = Qt.binding(function() { return setup })
                    }
                }
            }
        }
    }

    Component {
        id: tabComponent

        Item {
            id: tab
            objectName: "characterizationTab"

            property var vukSetup: null
            readonly property var entries: root.portEntries(vukSetup)
            readonly property alias lengthChart: lengthChart
            readonly property alias gatingChart: gatingChart
            readonly property alias impedanceChart: impedanceChart
            readonly property alias sParametersChart: sParametersChart
            // The graphs of the ports (seven per port).
            readonly property alias graphs: graphInstantiator

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                RowLayout {
                    objectName: "chartChoice"
                    Layout.margins: 6
                    spacing: 10

                    ButtonGroup { id: chartGroup }

                    RadioButton {
                        objectName: "lengthButton"
                        text: qsTr("Length")
                        checked: true
                        ButtonGroup.group: chartGroup
                        onToggled: if (checked) charts.currentIndex = 0
                    }
                    RadioButton {
                        objectName: "gatingButton"
                        text: qsTr("Gating")
                        ButtonGroup.group: chartGroup
                        onToggled: if (checked) charts.currentIndex = 1
                    }
                    RadioButton {
                        objectName: "impedanceButton"
                        text: qsTr("Impedance")
                        ButtonGroup.group: chartGroup
                        onToggled: if (checked) charts.currentIndex = 2
                    }
                    RadioButton {
                        objectName: "sParametersButton"
                        text: qsTr("S-parameters")
                        ButtonGroup.group: chartGroup
                        onToggled: if (checked) charts.currentIndex = 3
                    }
                    RadioButton {
                        objectName: "logButton"
                        text: qsTr("Log")
                        visible: false
                        ButtonGroup.group: chartGroup
                    }
                }

                StackLayout {
                    id: charts
                    objectName: "charts"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    currentIndex: 0

                    VukChartTab {
                        id: lengthChart
                        objectName: "lengthChart"
                        axisX.titleText: qsTr("Time (s)")
                        axisX.unit: Units.secondsUnit
                        axisY.titleText: qsTr("Magnitude (linear)")
                        axisY.unit: ""
                    }

                    VukChartTab {
                        id: gatingChart
                        objectName: "gatingChart"
                        axisX.titleText: qsTr("Time (s)")
                        axisX.unit: Units.secondsUnit
                        axisY.titleText: qsTr("Magnitude (linear)")
                        axisY.unit: ""
                    }

                    VukChartTab {
                        id: impedanceChart
                        objectName: "impedanceChart"
                        axisX.titleText: qsTr("Time (s)")
                        axisX.unit: Units.secondsUnit
                        axisY.titleText: qsTr("Impedance (\u03A9)")
                        axisY.unit: Units.resistanceUnit
                        minY: 0
                        maxY: 200
                    }

                    VukChartTab {
                        id: sParametersChart
                        objectName: "sParametersChart"
                        axisX.titleText: qsTr("Frequency (Hz)")
                        axisX.unit: Units.frequencyUnit
                        axisY.titleText: qsTr("Magnitude (dB)")
                        axisY.unit: Units.decibelUnit
                    }
                }
            }

            Instantiator {
                id: graphInstantiator
                model: tab.entries

                delegate: QtObject {
                    id: portGraphs

                    readonly property var entry: modelData
                    readonly property var step: entry.step
                    readonly property var data: entry.port.measureData
                    readonly property int analyserPort: entry.port.measuredPort
                    readonly property var length: data.length
                    readonly property var lengthArg: entry.transmission ? length : undefined

                    property var impedanceGraph: MeasureGraphInstantiator {
                        chartTab: impedanceChart
                        measureName: "Z"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.stepResponse
                        arg: portGraphs.lengthArg
                        rightPanelValue: root.defined(portGraphs.data.impedance)
                                         ? UnitFormatter.toNormalized(portGraphs.data.impedance, 2) : undefined
                        refMarkerX: portGraphs.data.impedanceReferenceLength
                        showRightPanel: root.defined(portGraphs.data.impedance)
                    }

                    property var lengthGraph: MeasureGraphInstantiator {
                        chartTab: lengthChart
                        measureName: "L"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.impulseResponse
                        arg: portGraphs.lengthArg
                        rightPanelValue: root.defined(portGraphs.length)
                                         ? UnitFormatter.toNormalized(portGraphs.length, 2) : undefined
                        refMarkerX: portGraphs.length
                    }

                    property var gatingGraph: MeasureGraphInstantiator {
                        chartTab: gatingChart
                        measureName: "G"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.gating
                        arg: portGraphs.length
                        rightPanelValue: root.defined(portGraphs.length)
                                         ? UnitFormatter.toNormalized(portGraphs.length, 2) : undefined
                        refMarkerX: portGraphs.data.lengthWithoutOffset
                        tmpVukStep: portGraphs.step
                        fixtureSide: portGraphs.entry.fixtureSide
                        showMovingReferenceMarkers: portGraphs.step ? portGraphs.step.appliedFixtureOffset : false
                    }

                    property var s22Graph: MeasureGraphInstantiator {
                        chartTab: sParametersChart
                        measureName: "S22"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.S22
                    }

                    property var s12Graph: MeasureGraphInstantiator {
                        chartTab: sParametersChart
                        measureName: "S12"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.S12
                    }

                    property var s21Graph: MeasureGraphInstantiator {
                        chartTab: sParametersChart
                        measureName: "S21"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.S21
                    }

                    property var s11Graph: MeasureGraphInstantiator {
                        chartTab: sParametersChart
                        measureName: "S11"
                        fixtureName: portGraphs.entry.fixtureName
                        port: portGraphs.analyserPort
                        graph: portGraphs.data.S11
                    }
                }
            }
        }
    }
}
