import QtQuick 2.15
import QtQuick.Controls 2.15

// One read-out line of the chart tab's marker panels: a few texts side by
// side in the colour of their trace.
Item {
    id: root

    property var texts: []
    property color textColor: "white"

    width: parent ? parent.width : 0
    height: 20

    Row {
        anchors.fill: parent
        spacing: 8

        Repeater {
            model: root.texts
            delegate: Label {
                anchors.verticalCenter: parent.verticalCenter
                text: modelData
                font.pixelSize: 14
                color: root.textColor
            }
        }
    }
}
