import QtQuick 2.15
import QtQuick.Controls 2.15
import Color 1.0

// The device under test between two fixture drawings, as tall as the taller
// of them (at least 70).
Rectangle {
    id: root

    // The fixture drawings beside the box (any item with preferredHeight).
    property var a_fixture: null
    property var b_fixture: null

    function drawingHeight(drawing) {
        if (!drawing || !drawing.visible)
            return 0
        return drawing.preferredHeight !== undefined ? drawing.preferredHeight : drawing.height
    }

    implicitWidth: 60
    implicitHeight: Math.max(70, drawingHeight(a_fixture), drawingHeight(b_fixture))
    radius: 8
    color: Color.vukDUT
    border.color: enabled ? Color.vukFixture : Color.disabledLine
    border.width: 2

    Label {
        objectName: "dutText"
        anchors.centerIn: parent
        font.bold: true
        color: Color.vukDUTText
        text: "DUT"
    }
}
