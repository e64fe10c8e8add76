import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import MeasureEnums 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"
import "step_fixtures"
import "../vukSpecific_controls"

// The view of the DUT step: measure or recall the fixture with the DUT.
Item {
    id: root

    // A button as wide as its text needs, and at least 100, so that two of
    // them fit side by side in the left column.
    component StepButton: Button {
        Layout.preferredWidth: Math.max(100, implicitContentWidth + leftPadding + rightPadding)
    }

    // The DutStep shown.
    property var vukStep: null

    readonly property var connection: vukStep ? vukStep.connection : null
    readonly property var measureType: vukStep ? vukStep.measureType : undefined
    readonly property bool isTransmission: measureType === MeasureEnums.MeasureType.TRANSMISSION
    readonly property bool isReflect: measureType === MeasureEnums.MeasureType.REFLECT

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 20

        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            spacing: 6

            RowLayout {
                Label {
                    font.pixelSize: 16
                    font.bold: true
                    text: qsTr("Fixture with DUT")
                }
                VukMeasureCheckmark {
                    objectName: "dutMark"
                    measureStatus: root.vukStep ? root.vukStep.dutMeasured : null
                }
            }

            RowLayout {
                StepButton {
                    objectName: "dutMeasureButton"
                    text: qsTr("Measure")
                    onClicked: root.vukStep.measureFromVna()
                }
                StepButton {
                    objectName: "dutRecallButton"
                    text: qsTr("Recall")
                    onClicked: {
                        touchstoneDialog.callback = function(path) { root.vukStep.measureFromTouchstoneFile(path) }
                        touchstoneDialog.open()
                    }
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            TransmissionFixture {
                objectName: "transmissionFixture"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.isTransmission
                connection: root.isTransmission ? root.connection : null
                isDut: true
            }

            ReflectionFixture {
                objectName: "reflectionFixture"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.isReflect
                connection: root.isReflect ? root.connection : null
                isDut: true
            }
        }
    }

    TouchstoneDialog {
        id: touchstoneDialog
        objectName: "touchstoneDialog"
    }
}
