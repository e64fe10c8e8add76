import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import MeasureEnums 1.0
import UnitFormatter 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"
import "step_fixtures"
import "../vukSpecific_controls"

// The view of a 2xThrough step: measure or recall the thru, optionally the
// open/short standards at both ends for the reflect offsets, the results per
// port, and the calibration plane offsets.
Item {
    id: root

    // A button as wide as its text needs, and at least 100, so that two of
    // them fit side by side in the left column.
    component StepButton: Button {
        Layout.preferredWidth: Math.max(100, implicitContentWidth + leftPadding + rightPadding)
    }

    // The TransmissionStep shown.
    property var vukStep: null
    signal showCharacterization()

    readonly property var connection: vukStep ? vukStep.connection : null
    readonly property var leftSide: connection ? connection.left : null
    readonly property var rightSide: connection ? connection.right : null
    readonly property string leftName: leftSide ? leftSide.fixture.name : ""
    readonly property string rightName: rightSide ? rightSide.fixture.name : ""
    readonly property bool thruMeasured: vukStep ? vukStep.thruMeasured === MeasureEnums.MeasureStatus.MEASURED
                                                 : false
    readonly property bool reflectOptionsShown: reflectOffsetBox.checked && reflectOffsetBox.enabled

    // The check mark of one reflect standard: nothing while the state leaves
    // the standard out, its own status until the offsets are calculated, then
    // the calculation's status.
    function reflectMark(measured, excludedState) {
        if (!vukStep || vukStep.reflectState === excludedState)
            return null
        if (measured !== MeasureEnums.MeasureStatus.MEASURED
                || vukStep.reflectCalculated === MeasureEnums.MeasureStatus.NONE)
            return measured
        return vukStep.reflectCalculated
    }

    // Unticking a box takes its offset off the models; without a calculated
    // thru there is nothing to take off, so only the flag goes.
    function uncheckThruOffset() {
        if (!vukStep || !(vukStep.appliedFixtureOffset || thruOffsetBox.checked))
            return
        if (thruMeasured)
            vukStep.applyThruOffset(false)
        else
            vukStep.appliedFixtureOffset = false
    }

    function uncheckReflectOffset() {
        if (!vukStep || !(vukStep.appliedReflectsOffset || reflectOffsetBox.checked))
            return
        vukStep.appliedReflectsOffset = false
        if (thruMeasured && vukStep.reflectCalculated === MeasureEnums.MeasureStatus.MEASURED)
            vukStep.applyReflectOffset(false)
    }

    function recall(slotName) {
        touchstoneDialog.callback = function(path) { root.vukStep[slotName](path) }
        touchstoneDialog.open()
    }

    function offsetText(value) {
        return UnitFormatter.toNormalized(value, 2)
    }

    function reflectOffsetText(value) {
        return value === undefined || value === null ? "" : String(Math.round(value * 1000) / 1000)
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 20

        // Left column: the measurements.
        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            spacing: 6

            Label {
                font.pixelSize: 16
                font.bold: true
                text: qsTr("2xThrough method")
            }

            RowLayout {
                Label { text: qsTr("Thru") }
                VukMeasureCheckmark {
                    objectName: "thruMark"
                    measureStatus: root.vukStep ? root.vukStep.thruMeasured : null
                }
            }

            RowLayout {
                StepButton {
                    objectName: "thruMeasureButton"
                    text: qsTr("Measure")
                    onClicked: {
                        root.uncheckThruOffset()
                        root.uncheckReflectOffset()
                        root.vukStep.measureFromVna()
                    }
                }
                StepButton {
                    objectName: "thruRecallButton"
                    text: qsTr("Recall")
                    onClicked: {
                        root.uncheckThruOffset()
                        root.recall("measureFromTouchstoneFile")
                    }
                }
            }

            ColumnLayout {
                objectName: "reflectOptions"
                visible: root.reflectOptionsShown
                spacing: 6

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
                        measureStatus: root.vukStep ? root.reflectMark(root.vukStep.openMeasured,
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
                        onClicked: root.recall("measureOpenFromTouchstoneFile")
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
                        measureStatus: root.vukStep ? root.reflectMark(root.vukStep.shortMeasured,
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
                        onClicked: root.recall("measureShortFromTouchstoneFile")
                    }
                }
            }

            Button {
                objectName: "deleteDataButton"
                Layout.topMargin: 10
                text: qsTr("Delete data")
                onClicked: {
                    root.vukStep.deleteData()
                    root.uncheckThruOffset()
                    root.uncheckReflectOffset()
                }
            }
        }

        // Centre: the drawing and the results per port.
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 10

            TransmissionFixture {
                id: drawing
                objectName: "transmissionFixture"
                Layout.alignment: Qt.AlignHCenter
                connection: root.connection
                isDut: false
                // The two halves part while the reflect offsets are used.
                fixtures_spacing: reflectOffsetBox.checked ? 5 : 0

                Behavior on fixtures_spacing {
                    NumberAnimation { duration: 200 }
                }
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 20

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    Repeater {
                        objectName: "leftPanes"
                        model: root.leftSide ? root.leftSide.measureData : null
                        PortMeasureDataPane {
                            Layout.fillWidth: true
                            portMeasureData: model.value
                            name: root.leftName
                            direction: Qt.AlignRight
                        }
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    Repeater {
                        objectName: "rightPanes"
                        model: root.rightSide ? root.rightSide.measureData : null
                        PortMeasureDataPane {
                            Layout.fillWidth: true
                            portMeasureData: model.value
                            name: root.rightName
                            direction: Qt.AlignLeft
                        }
                    }
                }
            }

            Item { Layout.fillHeight: true }
        }

        // Right column: the calibration plane offsets.
        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 250
            spacing: 6

            CheckBox {
                id: thruOffsetBox
                objectName: "thruOffsetCheckBox"
                enabled: root.thruMeasured
                checked: root.vukStep ? root.vukStep.appliedFixtureOffset : false
                text: qsTr("Apply fixture \n%1 / %2\ncalibration plane offset").arg(root.leftName).arg(root.rightName)
                onToggled: {
                    if (checked)
                        root.uncheckReflectOffset()
                    root.vukStep.applyThruOffset(checked)
                }
            }

            RowLayout {
                enabled: thruOffsetBox.checked
                spacing: 4

                VukValidatedTextField {
                    objectName: "leftOffsetField"
                    Layout.preferredWidth: 80
                    min: -1e4
                    max: 1e4
                    text: root.vukStep ? root.offsetText(root.vukStep.leftOffset) : ""
                    onValidated: function(validatedValue) {
                        root.vukStep.leftOffset = validatedValue
                        root.vukStep.applyThruOffset(true)
                    }
                }
                Label { text: "/" }
                VukValidatedTextField {
                    objectName: "rightOffsetField"
                    Layout.preferredWidth: 80
                    min: -1e4
                    max: 1e4
                    text: root.vukStep ? root.offsetText(root.vukStep.rightOffset) : ""
                    onValidated: function(validatedValue) {
                        root.vukStep.rightOffset = validatedValue
                        root.vukStep.applyThruOffset(true)
                    }
                }
                Label { text: qsTr("ps") }
            }

            CheckBox {
                id: reflectOffsetBox
                objectName: "reflectOffsetCheckBox"
                Layout.topMargin: 10
                enabled: root.thruMeasured
                checked: root.vukStep ? root.vukStep.appliedReflectsOffset : false
                text: qsTr("Apply fixture \n%1/%2\ncalibration plane offset\nusing reflects, ps")
                      .arg(root.leftName).arg(root.rightName)
                onToggled: {
                    if (checked)
                        root.uncheckThruOffset()
                    root.vukStep.appliedReflectsOffset = checked
                    root.vukStep.applyReflectOffset(checked)
                }
            }

            RowLayout {
                spacing: 4

                TextField {
                    objectName: "leftReflectOffsetField"
                    Layout.preferredWidth: 80
                    readOnly: true
                    text: root.vukStep ? root.reflectOffsetText(root.vukStep.leftReflectOffset) : ""
                    // Freshly computed reflect offsets are applied at once
                    // (the step ignores this until its reflects are calculated).
                    onTextChanged: if (text !== "" && root.vukStep) root.vukStep.applyReflectOffset(true)
                }
                Label { text: "/" }
                TextField {
                    objectName: "rightReflectOffsetField"
                    Layout.preferredWidth: 80
                    readOnly: true
                    text: root.vukStep ? root.reflectOffsetText(root.vukStep.rightReflectOffset) : ""
                    onTextChanged: if (text !== "" && root.vukStep) root.vukStep.applyReflectOffset(true)
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
