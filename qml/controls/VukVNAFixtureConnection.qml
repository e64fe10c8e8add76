import QtQuick 2.15
import "qrc:/core/qml/controls"

// Plain variant: the interface only; the control is in +vukstyle/.
Item {
    property var vnaFixtureConn: null
    property int direction: Port.Direction.Left
    property var check: []
    property int portsCount: 1
    property bool hasError: false
    property color color: "black"
    property real preferredHeight: 70
}
