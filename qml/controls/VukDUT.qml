import QtQuick 2.15

// Plain variant: the properties and a plain outlined box.
Rectangle {
    property var a_fixture: null
    property var b_fixture: null

    implicitWidth: 60
    implicitHeight: 70
    color: "transparent"
    border.color: "black"

    Text {
        anchors.centerIn: parent
        text: "DUT"
    }
}
