import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"

// Wizard step 4: the calibration of the analyser's active channel against
// what the fixture connections need.
VukPage {
    id: page
    objectName: "calibrateVnaPage"

    readonly property var calibrationTable: backend ? backend.getCalibrateVnaTable() : null

    // The stepper's mark: the table's worst check once the page was seen.
    property var hasError: done ? table.hasError : undefined

    name: qsTr("VNA calibration")
    description: qsTr("Calibrate VNA")
    icon: "qrc:/resources/icons/calibration.png"
    padding: 5
    full_description: qsTr("<h2>Step 4. VNA calibration</h2>"
        + "<p>The fixture measurements require an N-port calibration of the active VNA channel, "
        + "made in the VNA software.</p>"
        + "<p>The <b>Calibrated ports</b> line lists the VNA ports to calibrate; they follow from the choices "
        + "of the fixture connection page.</p>"
        + "<p>Interpolated or extrapolated calibration data are not allowed: calibrate at the frequencies "
        + "set on the VNA setup page.</p>"
        + "<p>Procedure:</p><ol>"
        + "<li>Connect the cables to the listed VNA ports, without the fixture.</li>"
        + "<li>Perform the calibration in the VNA software.</li>"
        + "<li>Return to this page and check that there are no errors and that the port impedances are right.</li>"
        + "<li>Do not move the cables after the calibration.</li></ol>"
        + "<p>Errors fall into two categories, <b>Warning</b> and <b>Critical error</b>; "
        + "both are shown in the notification panel.</p>")

    RowLayout {
        anchors.fill: parent
        spacing: 5

        VukVnaTable {
            id: table
            objectName: "calibrationTable"
            Layout.fillWidth: true
            // Every row, the impedance row included, without scrolling;
            // it scrolls when the window is lower than that.
            Layout.preferredHeight: fullHeight
            Layout.maximumHeight: fullHeight
            Layout.fillHeight: true
            Layout.alignment: Qt.AlignTop | Qt.AlignLeft
            model: page.calibrationTable
            clip: true
        }

        VukShadowPane {
            objectName: "sidePane"
            Layout.preferredWidth: 200
            Layout.fillHeight: true
            topPadding: 5

            ColumnLayout {
                anchors.fill: parent
                anchors.topMargin: 10
                spacing: 20

                Button {
                    objectName: "calibrateButton"
                    visible: false
                    enabled: false
                    text: qsTr("Calibrate VNA")
                }

                Label {
                    objectName: "calibrationHint"
                    Layout.preferredWidth: 185
                    wrapMode: Text.WordWrap
                    textFormat: Text.RichText
                    text: "<p align=\"justify\">"
                          + qsTr("Perform an N-port VNA calibration at the plane where the fixture needs to be connected.<br><br> No fixture connection is required.<br><br> Calibration is applied on the active VNA channel only.")
                          + "</p>"
                }

                Item {
                    Layout.fillHeight: true
                }
            }
        }
    }
}
