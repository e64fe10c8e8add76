import QtQuick 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"

// The drawing of a two-sided step: the left side, optionally the DUT, and
// the right side, both as tall as the taller one.
Item {
    id: root

    // The step's ConnectionTransmisson.
    property var connection: null
    // The gap between the two fixture drawings.
    property real fixtures_spacing: 0
    property bool isDut: false

    readonly property real drawingHeight: Math.max(leftSide.preferredHeight, rightSide.preferredHeight)

    implicitWidth: layout.implicitWidth
    implicitHeight: drawingHeight

    RowLayout {
        id: layout
        anchors.centerIn: parent
        spacing: root.fixtures_spacing

        StepFixture {
            id: leftSide
            objectName: "leftSide"
            Layout.preferredHeight: root.drawingHeight
            vnaFixtureConnection: root.connection ? root.connection.left : null
            direction: Port.Direction.Left
        }

        VukDUT {
            objectName: "dutBox"
            visible: root.isDut
            Layout.preferredWidth: 60
            Layout.preferredHeight: root.drawingHeight
            a_fixture: leftSide
            b_fixture: rightSide
        }

        StepFixture {
            id: rightSide
            objectName: "rightSide"
            Layout.preferredHeight: root.drawingHeight
            vnaFixtureConnection: root.connection ? root.connection.right : null
            direction: Port.Direction.Right
        }
    }
}
