import QtQuick 2.15
import QtQuick.Controls 2.15
import Color 1.0
import "qrc:/core/qml/controls"

// The drawing of one fixture: a rounded outline with a thick edge on the DUT
// side, one port per fixture port on the analyser side (the side `direction`
// names) and the fixture's text in the middle. The ports are centred and
// spaced by portHeight + portSpacing, so a column of rows with that pitch,
// centred beside the drawing, lines up with them.
Item {
    id: root

    property var fixture: null
    property int direction: Port.Direction.Left
    property real portSpacing: 10
    property real portHeight: 26
    property color color: enabled ? Color.vukFixture : Color.disabledLine
    readonly property int portsCount: fixture ? fixture.portsCount : 0
    // An odd port count draws as tall as the next even one.
    property int heightPorts: portsCount + portsCount % 2
    property real preferredHeight: Math.max(70, heightPorts * portHeight + Math.max(0, heightPorts - 1) * portSpacing + 16)
    property string text: fixture ? fixture.name : ""

    readonly property real portWidth: 30
    readonly property bool portsOnLeft: direction !== Port.Direction.Right

    implicitWidth: 130
    implicitHeight: preferredHeight

    Rectangle {
        id: body
        objectName: "outline"
        x: root.portsOnLeft ? root.portWidth : 0
        width: root.width - root.portWidth
        height: root.height
        radius: 8
        color: "transparent"
        border.color: root.color
        border.width: 2

        // The DUT side carries the thick edge.
        Rectangle {
            objectName: "dutEdge"
            width: 6
            height: parent.height
            radius: 3
            x: root.portsOnLeft ? parent.width - width : 0
            color: root.color
        }

        Label {
            objectName: "fixtureText"
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            wrapMode: Text.WordWrap
            font.pixelSize: 13
            font.bold: true
            color: root.color
            text: root.text
        }
    }

    Column {
        objectName: "ports"
        x: root.portsOnLeft ? 0 : root.width - root.portWidth
        anchors.verticalCenter: parent.verticalCenter
        spacing: root.portSpacing

        Repeater {
            model: root.portsCount
            Port {
                width: root.portWidth
                height: root.portHeight
                direction: root.direction
                color: root.color
            }
        }
    }
}
