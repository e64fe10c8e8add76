import QtQuick 2.15
import "qrc:/core/qml/controls"

// Plain variant: the interface only; the drawing is in +vukstyle/.
Item {
    property var fixture: null
    property int direction: Port.Direction.Left
    property real portSpacing: 10
    property real portHeight: 26
    property color color: "black"
    property int heightPorts: 0
    property real preferredHeight: 70
    property string text: fixture ? fixture.name : ""
}
