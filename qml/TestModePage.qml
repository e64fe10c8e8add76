import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Dialogs 1.3
import QtQuick.Layouts 1.15
import Color 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"
import "filepaths.js" as FilePaths

// The test mode: the tuning parameters of the correction processes, edited
// while the mode is on, reset to their defaults or saved to files.
PageWithReturn {
    id: page
    objectName: "testModePage"

    readonly property var testModeTable: backend ? backend.getTestModeTable() : null
    property alias vukPage: inner
    property alias testModeSwitch: testModeSwitch
    property alias saveDialog: saveDialog

    // The folder the user chose for the files.
    function saveTo(url) {
        if (backend)
            backend.saveTestModeFiles(FilePaths.localPath(url))
    }

    topPadding: 5

    VukPage {
        id: inner
        objectName: "testModeVukPage"
        anchors.fill: parent
        name: qsTr("Test Mode")
        description: qsTr("Test Mode")
        padding: 0

        readonly property string border: Color.isDark ? "#545454" : "#f2f2f2"
        function parameterTable(parameter, value, text) {
            return "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" bordercolor=\"" + border
                    + "\" width=\"100%\"><tr><th>" + qsTr("Parameter") + "</th><th>" + qsTr("Value")
                    + "</th><th>" + qsTr("Description") + "</th></tr><tr><td>" + parameter + "</td><td>"
                    + value + "</td><td>" + text + "</td></tr></table><br>"
        }

        full_description: "<h2>" + qsTr("Test mode") + "</h2>"
            + qsTr("<p>The test mode is meant for reviewing and correcting the global variables of the "
                   + "calculations: change the values, recalculate the fixture and save the parameters.</p>")
            + parameterTable(qsTr("Mode"), "LOW / BAND",
                             qsTr("Which of the low pass and band pass modes the impulse response and the gating use."))
            + parameterTable(qsTr("Length"), "s",
                             qsTr("The electrical length of the fixture: the time of the maximum of the impulse response."))
            + parameterTable(qsTr("4 x Rise time"), "s",
                             qsTr("The time-domain filtering works when the fixture is longer than four rise times."))
            + parameterTable(qsTr("Rise time"), "s",
                             qsTr("The 10-90 % rise time of the measurement."))
            + parameterTable(qsTr("Coefficient N"), "2 / 4",
                             qsTr("The width of the gating window in rise times; by default 2 in the low pass and 4 in the band pass mode."))
            + parameterTable(qsTr("Coefficient Nrt"), "0.89",
                             qsTr("Links the 10-90 % rise time with the maximum frequency of the VNA; 0.89 by default, for a rectangular window."))
            + parameterTable(qsTr("Min gate time"), "s",
                             qsTr("The left edge of the gating window on the negative time axis."))
            + parameterTable(qsTr("Low signal center mode, High signal center mode"), "MEAS / BASE",
                             qsTr("BASE tunes the centre of the gating window so that the gated signal is periodic in frequency, MEAS so that the measured signal is. MEAS is preferred for weak reflections, BASE for strong ones."))
            + parameterTable(qsTr("Kaiser Beta X"), "6",
                             qsTr("The frequency-domain Kaiser window against truncation; 6 by default."))
            + parameterTable(qsTr("Kaiser Beta"), "0",
                             qsTr("The shape of the gating window; 0 by default, a rectangular window."))
            + parameterTable(qsTr("Step response start"), "s",
                             qsTr("Half of the negative time axis: the interval over which the constant subtracted from the step response is taken. The impedance profile is then Zref \u00d7 (1 + SR) / (1 \u2212 SR)."))

        RowLayout {
            anchors.fill: parent
            spacing: 5

            VukVnaTable {
                id: table
                objectName: "testModeTable"
                Layout.fillWidth: true
                Layout.fillHeight: true
                model: page.testModeTable
                enabled: testModeSwitch.checked
                clip: true
            }

            VukShadowPane {
                id: sidePane
                objectName: "sidePane"
                // 200 wide, wider where a translated switch text needs it.
                Layout.preferredWidth: Math.max(200, testModeSwitch.implicitWidth + leftPadding + rightPadding)
                Layout.fillHeight: true
                topPadding: 7
                bottomPadding: 7
                font.pixelSize: 14

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 10

                    Switch {
                        id: testModeSwitch
                        objectName: "testModeSwitch"
                        Layout.preferredWidth: Math.max(180, implicitWidth)
                        Layout.preferredHeight: 32
                        text: qsTr("Test mode")
                        checked: false
                        onCheckedChanged: if (page.testModeTable) page.testModeTable.setTestMode(checked)
                    }

                    Button {
                        objectName: "setDefaultButton"
                        Layout.preferredWidth: 185
                        Layout.preferredHeight: 32
                        enabled: testModeSwitch.checked
                        text: qsTr("Set default")
                        onClicked: if (page.testModeTable) page.testModeTable.setDefault()
                    }

                    Button {
                        objectName: "saveButton"
                        Layout.preferredWidth: 185
                        Layout.preferredHeight: 32
                        enabled: testModeSwitch.checked
                        text: qsTr("Save")
                        onClicked: saveDialog.open()
                    }

                    Item {
                        Layout.fillHeight: true
                    }
                }
            }
        }
    }

    FileDialog {
        id: saveDialog
        title: qsTr("Dir for save the test mode files")
        // What the test-mode writer produces from the chosen base name.
        nameFilters: [qsTr("Test mode files (*.ini *.txt *.s*p)")]
        selectExisting: false
        onAccepted: page.saveTo(fileUrl)
    }
}
