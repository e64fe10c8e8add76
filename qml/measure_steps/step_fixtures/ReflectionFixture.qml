import QtQuick 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"
import "../../vukSpecific_controls"

// The drawing of a one-sided step: the fixture and, for the DUT step, the
// device on it.
Item {
    id: root

    // The step's ConnectionReflect.
    property var connection: null
    property bool isDut: false

    implicitWidth: layout.implicitWidth
    implicitHeight: Math.max(70, side.preferredHeight)

    RowLayout {
        id: layout
        anchors.centerIn: parent
        spacing: 0

        StepFixture {
            id: side
            objectName: "side"
            Layout.preferredHeight: Math.max(70, side.preferredHeight)
            vnaFixtureConnection: root.connection ? root.connection.fixt : null
            direction: Port.Direction.Left
        }

        Dut {
            objectName: "dutBox"
            visible: root.isDut
            Layout.preferredWidth: 55
            Layout.preferredHeight: Math.max(70, side.preferredHeight)
        }
    }
}
