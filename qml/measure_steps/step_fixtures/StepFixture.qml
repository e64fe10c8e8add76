import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"

// One fixture side of a step drawing: the analyser port of every fixture
// port ("P" + number), marked when that analyser port is not calibrated,
// beside the fixture drawing.
Item {
    id: root

    // Port.Direction.Left: the port labels stand left of the drawing.
    property int direction: Port.Direction.Left
    // The VNAFixtureConnection drawn.
    property var vnaFixtureConnection: null
    readonly property real rowHeight: 36
    readonly property real portHeight: 26
    property real preferredHeight: Math.max(70, drawing.preferredHeight, rowsRepeater.count * rowHeight)

    readonly property var vna: backend ? backend.getVnaDevice() : null
    // The calibrated analyser ports (0-based); empty while nothing is known.
    readonly property var calibratedPorts: vna && vna.calibratedPorts ? vna.calibratedPorts : []

    function isCalibrated(port) {
        for (var i = 0; i < calibratedPorts.length; ++i) {
            if (calibratedPorts[i] === port)
                return true
        }
        return false
    }

    implicitWidth: layout.implicitWidth
    implicitHeight: preferredHeight

    RowLayout {
        id: layout
        anchors.fill: parent
        spacing: 4
        layoutDirection: root.direction === Port.Direction.Right ? Qt.RightToLeft : Qt.LeftToRight

        Column {
            Layout.alignment: Qt.AlignVCenter

            Repeater {
                id: rowsRepeater
                model: root.vnaFixtureConnection ? root.vnaFixtureConnection.attachedPorts : null

                delegate: Item {
                    objectName: "portRow" + index
                    readonly property var portValue: model.value
                    readonly property bool calibrated: root.isCalibrated(portValue)
                    width: rowLayout.implicitWidth
                    height: root.rowHeight

                    RowLayout {
                        id: rowLayout
                        anchors.verticalCenter: parent.verticalCenter
                        layoutDirection: root.direction === Port.Direction.Right ? Qt.RightToLeft
                                                                                 : Qt.LeftToRight
                        spacing: 4

                        VukWarning {
                            objectName: "calibrationMark"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            opacity: parent.parent.calibrated ? 0 : 1
                            enableHover: opacity > 0
                            type: CoreMeasureEnums.RecommendedResult.Error
                            toolTip.description: qsTr("This VNA port is not calibrated.")
                        }

                        Label {
                            objectName: "portLabel"
                            font.bold: true
                            text: "P" + (parent.parent.portValue + 1)
                        }
                    }
                }
            }
        }

        VukFixture {
            id: drawing
            objectName: "fixtureDrawing"
            Layout.preferredWidth: Math.max(80, Math.min(129, implicitWidth))
            Layout.minimumWidth: 80
            Layout.maximumWidth: 129
            Layout.preferredHeight: Math.max(70, preferredHeight)
            Layout.alignment: Qt.AlignVCenter
            implicitWidth: 129
            fixture: root.vnaFixtureConnection ? root.vnaFixtureConnection.fixture : null
            direction: root.direction
            portHeight: root.portHeight
            portSpacing: root.rowHeight - root.portHeight
        }
    }
}
