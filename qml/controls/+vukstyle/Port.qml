import QtQuick 2.15
import Color 1.0
import "qrc:/core/qml/controls"

// One fixture port: the lead with its connector, pointing away from the
// fixture (to the left for Direction.Left, to the right for Right).
Item {
    id: root

    enum Direction {
        Left,
        Right
    }

    property int direction: Port.Direction.Left
    property color color: enabled ? Color.vukFixture : Color.disabledLine

    implicitWidth: 30
    implicitHeight: 26
    // The pictures are drawn opaque and the colour's own transparency (the
    // disabled colours have one) is applied to the whole connector.
    opacity: color.a

    readonly property color opaqueColor: Qt.rgba(color.r, color.g, color.b, 1)

    ColorImage {
        objectName: "lead"
        anchors.fill: parent
        source: "qrc:/icons/leftPort.svg"
        sourceSize: Qt.size(30, 26)
        rotation: root.direction === Port.Direction.Right ? 180 : 0
        color: root.opaqueColor
    }

    ColorImage {
        objectName: "connector"
        anchors.fill: parent
        source: "qrc:/icons/Connector_Above.svg"
        sourceSize: Qt.size(30, 26)
        rotation: root.direction === Port.Direction.Right ? 180 : 0
        color: root.opaqueColor
    }
}
