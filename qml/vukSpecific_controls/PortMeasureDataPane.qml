import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import UnitFormatter 1.0

// The results of one fixture port: the analyser port and impedance it was
// measured on, the electrical length, the fixture impedance and the
// impedance the model was converted to. Shown once the port is calculated.
Pane {
    id: root

    // The MeasuredFixturePort shown.
    property var portMeasureData: null
    // The fixture's name, part of the value names (LA, ZA).
    property string name: ""
    // The text alignment: Qt.AlignLeft, Qt.AlignRight or Qt.AlignHCenter.
    property int direction: Qt.AlignHCenter

    readonly property var measureData: portMeasureData ? portMeasureData.measureData : null
    readonly property bool isMeasured: measureData ? measureData.isMeasured : false

    function defined(value) {
        return value !== undefined && value !== null
    }

    padding: 4
    visible: isMeasured
    enabled: isMeasured
    background: null

    ColumnLayout {
        spacing: 2
        width: root.availableWidth

        Label {
            objectName: "portLine"
            Layout.fillWidth: true
            horizontalAlignment: root.direction
            font.bold: true
            text: root.portMeasureData
                  ? qsTr("Port ") + (root.portMeasureData.measuredPort + 1) + " | "
                    + Math.round(root.portMeasureData.z0Port * 100) / 100 + qsTr(" Ohm")
                  : ""
        }

        Label {
            objectName: "errorLine"
            Layout.fillWidth: true
            horizontalAlignment: root.direction
            visible: !root.measureData
            text: qsTr("Error while measure")
        }

        Label {
            objectName: "lengthLine"
            Layout.fillWidth: true
            horizontalAlignment: root.direction
            visible: !!root.measureData && root.defined(root.measureData.length)
            text: visible ? "L" + root.name + " = " + UnitFormatter.toNormalized(root.measureData.length, 2) + "s" : ""
        }

        Label {
            objectName: "impedanceLine"
            Layout.fillWidth: true
            horizontalAlignment: root.direction
            visible: !!root.measureData && root.defined(root.measureData.impedance)
            text: visible ? "Z" + root.name + " = " + UnitFormatter.toNormalized(root.measureData.impedance, 2) + "Ohm" : ""
        }

        Label {
            objectName: "transformLine"
            Layout.fillWidth: true
            horizontalAlignment: root.direction
            visible: !!root.measureData && root.defined(root.measureData.z0Transform)
            text: visible ? "Z" + root.name + " \u2192 " + UnitFormatter.toNormalized(root.measureData.z0Transform, 2) + "Ohm" : ""
        }
    }
}
