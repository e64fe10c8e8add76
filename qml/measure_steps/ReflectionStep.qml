import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import MeasureEnums 1.0
import UnitFormatter 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"
import "step_fixtures"
import "../vukSpecific_controls"

// The view of a 1xReflect step: measure or recall the open and/or short
// standard, the results per port, the spline compensation and the
// calibration plane offset.
Item {
    id: root

    // A button as wide as its text needs, and at least 100, so that two of
    // them fit side by side in the left column.
    component StepButton: Button {
        Layout.preferredWidth: Math.max(100, implicitContentWidth + leftPadding + rightPadding)
    }

    // The ReflectionStep shown.
    property var vukStep: null
    signal showCharacterization()

    readonly property var connection: vukStep ? vukStep.connection : null
    readonly property var side: connection ? connection.fixt : null
    readonly property string sideName: side ? side.fixture.name : ""
    readonly property bool isDut: vukStep ? vukStep.isDut === true : false
    readonly property bool calculated: vukStep ? vukStep.calculated === MeasureEnums.MeasureStatus.MEASURED
                                               : false

    // The check mark of one standard: nothing while the state leaves it
    // out, its own status until the side is calculated, then the
    // calculation's status.
    function standardMark(measured, excludedState) {
        if (!vukStep || vukStep.state === excludedState)
            return null
        if (measured !== MeasureEnums.MeasureStatus.MEASURED
                || vukStep.calculated === MeasureEnums.MeasureStatus.NONE)
            return measured
        return vukStep.calculated
    }

    function uncheckOffset() {
        if (!vukStep || !(vukStep.appliedFixtureOffset || offsetBox.checked))
            return
        if (calculated)
            vukStep.applyOffset(false)
        else
            vukStep.appliedFixtureOffset = false
    }

    function recall(slotName) {
        touchstoneDialog.callback = function(path) { root.vukStep[slotName](path) }
        touchstoneDialog.open()
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 20

        // Left column: the standards.
        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            spacing: 6

            Label {
                font.pixelSize: 16
                font.bold: true
                text: qsTr("1xReflect setup")
            }

            RowLayout {
                CheckBox {
                    id: openBox
                    objectName: "openCheckBox"
                    text: qsTr("Open")
                    checked: root.vukStep ? root.vukStep.openMeasurementEnable : false
                    onToggled: root.vukStep.openMeasurementEnable = checked
                }
                VukMeasureCheckmark {
                    objectName: "openMark"
                    measureStatus: root.vukStep ? root.standardMark(root.vukStep.openMeasured,
                                                                    MeasureEnums.FixturePossibleState.SHORT)
                                                : null
                }
            }
            RowLayout {
                StepButton {
                    objectName: "openMeasureButton"
                    text: qsTr("Measure")
                    enabled: openBox.checked
                    onClicked: root.vukStep.measureOpenFromVna()
                }
                StepButton {
                    objectName: "openRecallButton"
                    text: qsTr("Recall")
                    enabled: openBox.checked
                    onClicked: root.recall("measureOpenFromTouchstone")
                }
            }

            RowLayout {
                CheckBox {
                    id: shortBox
                    objectName: "shortCheckBox"
                    text: qsTr("Short")
                    checked: root.vukStep ? root.vukStep.shortMeasurementEnable : false
                    onToggled: root.vukStep.shortMeasurementEnable = checked
                }
                VukMeasureCheckmark {
                    objectName: "shortMark"
                    measureStatus: root.vukStep ? root.standardMark(root.vukStep.shortMeasured,
                                                                    MeasureEnums.FixturePossibleState.OPEN)
                                                : null
                }
            }
            RowLayout {
                StepButton {
                    objectName: "shortMeasureButton"
                    text: qsTr("Measure")
                    enabled: shortBox.checked
                    onClicked: root.vukStep.measureShortFromVna()
                }
                StepButton {
                    objectName: "shortRecallButton"
                    text: qsTr("Recall")
                    enabled: shortBox.checked
                    onClicked: root.recall("measureShortFromTouchstone")
                }
            }

            Button {
                objectName: "deleteDataButton"
                Layout.topMargin: 10
                text: qsTr("Delete data")
                onClicked: {
                    root.vukStep.deleteData()
                    root.uncheckOffset()
                }
            }
        }

        // Centre: the drawing and the results per port.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 10

            ReflectionFixture {
                objectName: "reflectionFixture"
                Layout.alignment: Qt.AlignHCenter
                connection: root.connection
                isDut: root.isDut
            }

            Repeater {
                objectName: "panes"
                model: root.side ? root.side.measureData : null
                PortMeasureDataPane {
                    Layout.fillWidth: true
                    portMeasureData: model.value
                    name: root.sideName
                    direction: Qt.AlignHCenter
                }
            }

            Item { Layout.fillHeight: true }
        }

        // Right column: compensation and offset.
        ColumnLayout {
            objectName: "offsetColumn"
            visible: !root.isDut
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 250
            spacing: 6

            CheckBox {
                objectName: "compensationCheckBox"
                text: qsTr("Use compensation of\nthe max signal by\nthe spline approximation")
                checked: root.vukStep ? root.vukStep.useCompensation : false
                onToggled: root.vukStep.useCompensation = checked
            }

            CheckBox {
                id: offsetBox
                objectName: "offsetCheckBox"
                Layout.topMargin: 10
                enabled: root.calculated
                checked: root.vukStep ? root.vukStep.appliedFixtureOffset : false
                text: qsTr("Apply fixture \n calibration plane offset")
                onToggled: root.vukStep.applyOffset(checked)
            }

            RowLayout {
                enabled: offsetBox.checked
                spacing: 4

                VukValidatedTextField {
                    objectName: "offsetField"
                    Layout.preferredWidth: 80
                    min: -1e4
                    max: 1e4
                    text: root.vukStep ? UnitFormatter.toNormalized(root.vukStep.offset, 2) : ""
                    onValidated: function(validatedValue) {
                        root.vukStep.offset = validatedValue
                        root.vukStep.applyOffset(true)
                    }
                }
                Label { text: qsTr("ps") }
            }

            Button {
                objectName: "characterizationButton"
                Layout.topMargin: 10
                text: qsTr("Edit characterization")
                onClicked: root.showCharacterization()
            }
        }
    }

    TouchstoneDialog {
        id: touchstoneDialog
        objectName: "touchstoneDialog"
    }
}
