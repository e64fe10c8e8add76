import QtQuick 2.15
import QtQuick.Controls 2.15

// The device under test on a single (reflection) fixture.
Rectangle {
    implicitWidth: 55
    implicitHeight: 70
    radius: 8
    color: "#2D5B3A"
    border.color: "#6CC264"
    border.width: 2

    Label {
        objectName: "dutText"
        anchors.centerIn: parent
        font.bold: true
        color: "#b1b2b2"
        text: "DUT"
    }
}
