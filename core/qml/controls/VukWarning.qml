import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import IconShortcuts 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"

// The icon of a check result, with its meaning in a tool tip on hover.
Item {
    id: root

    // A CoreMeasureEnums.RecommendedResult, or undefined.
    property var type: CoreMeasureEnums.RecommendedResult.Warning
    property alias toolTip: tip
    property alias enableHover: hover.enabled

    implicitWidth: 20
    implicitHeight: 20

    HoverHandler { id: hover }

    ColorImage {
        id: picture
        objectName: "picture"
        anchors.fill: parent
        visible: root.visible && root.enabled
        source: !root.enabled ? Icons.warning
              : root.type === CoreMeasureEnums.RecommendedResult.Correct ? Icons.checkMark
              : root.type === CoreMeasureEnums.RecommendedResult.Error ? Icons.error
              : Icons.warning
        color: root.type === CoreMeasureEnums.RecommendedResult.Correct ? Color.successBackground
             : root.type === CoreMeasureEnums.RecommendedResult.Warning ? Color.alertBackground
             : root.type === CoreMeasureEnums.RecommendedResult.Error ? Color.errorBackground
             : root.Material.backgroundColor
    }

    VukNamedToolTip {
        id: tip
        visible: hover.hovered
        title: root.type === CoreMeasureEnums.RecommendedResult.Correct ? qsTr("Correct")
             : root.type === CoreMeasureEnums.RecommendedResult.Warning ? qsTr("Warning")
             : root.type === CoreMeasureEnums.RecommendedResult.Error ? qsTr("Critical error")
             : ""
        description: qsTr("Tooltip")
    }
}
