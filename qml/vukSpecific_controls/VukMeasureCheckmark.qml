import QtQuick 2.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/core/qml/controls"

// The outcome of one measurement: nothing before it, a check mark once it
// succeeded, an error mark (with a hint) once it failed.
VukWarning {
    id: root

    // A MeasureEnums.MeasureStatus, or null/undefined for nothing to show.
    property var measureStatus: null

    readonly property bool measured: measureStatus === MeasureEnums.MeasureStatus.MEASURED
    readonly property bool failed: measureStatus === MeasureEnums.MeasureStatus.Error

    implicitWidth: 20
    implicitHeight: 20
    visible: measured || failed
    type: failed ? CoreMeasureEnums.RecommendedResult.Error : CoreMeasureEnums.RecommendedResult.Correct
    enableHover: failed
    toolTip.description: qsTr("Refer to the notification panel for details")
}
