import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Color 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"

// The analyser port of every port of one fixture connection: one "VNA port"
// choice per fixture port, beside the fixture drawing, each with a mark when
// the chosen port cannot be used (taken by a connection of `check`, chosen
// twice here, or beyond the analyser's ports).
Item {
    id: root

    // The VNAFixtureConnection shown.
    property var vnaFixtureConn: null
    // Port.Direction.Left: the choices stand left of the drawing.
    property int direction: Port.Direction.Left
    // The other VNAFixtureConnections whose ports must not clash with these.
    property var check: []
    // The analyser's port count.
    property int portsCount: 1
    readonly property bool hasError: errorRows().length > 0
    property color color: enabled ? Color.vukFixture : Color.disabledLine
    readonly property real rowHeight: 56
    readonly property real portHeight: 26
    property real preferredHeight: Math.max(drawing.preferredHeight, rowsRepeater.count * rowHeight)

    // The attached analyser ports (0-based), one per fixture port.
    readonly property var ports: vnaFixtureConn ? vnaFixtureConn.attachedPorts.toVector : []

    // The analyser ports held by the connections of `check`.
    function portsOfOthers() {
        var taken = []
        var others = check || []
        for (var i = 0; i < others.length; ++i) {
            var other = others[i]
            if (!other || other === vnaFixtureConn)
                continue
            var list = other.attachedPorts.toVector
            for (var k = 0; k < list.length; ++k)
                taken.push(list[k])
        }
        return taken
    }

    function rowHasError(row, taken) {
        var port = ports[row]
        if (port === undefined || port < 0 || port >= portsCount)
            return true
        if (taken.indexOf(port) >= 0)
            return true
        return ports.indexOf(port) !== row || ports.lastIndexOf(port) !== row
    }

    function errorRows() {
        var taken = portsOfOthers()
        var rows = []
        for (var i = 0; i < ports.length; ++i) {
            if (rowHasError(i, taken))
                rows.push(i)
        }
        return rows
    }

    function portChoices(count) {
        var list = []
        for (var i = 1; i <= count; ++i)
            list.push(i)
        return list
    }

    implicitWidth: layout.implicitWidth
    implicitHeight: preferredHeight

    RowLayout {
        id: layout
        anchors.fill: parent
        spacing: 4
        layoutDirection: root.direction === Port.Direction.Right ? Qt.RightToLeft : Qt.LeftToRight

        Column {
            id: rows
            Layout.alignment: Qt.AlignVCenter

            Repeater {
                id: rowsRepeater
                objectName: "portRows"
                model: root.vnaFixtureConn ? root.vnaFixtureConn.attachedPorts : null

                delegate: Item {
                    id: rowItem
                    objectName: "portRow" + index
                    readonly property alias comboBox: combo
                    readonly property alias mark: mark
                    // The row's 0-based analyser port, read and written
                    // through the model's "value" role.
                    readonly property var portValue: model.value
                    function choosePort(choice) { model.value = choice }
                    width: rowLayout.implicitWidth
                    height: root.rowHeight

                    RowLayout {
                        id: rowLayout
                        anchors.verticalCenter: parent.verticalCenter
                        layoutDirection: root.direction === Port.Direction.Right ? Qt.RightToLeft
                                                                                 : Qt.LeftToRight
                        spacing: 4

                        VukWarning {
                            id: mark
                            objectName: "clashMark"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            type: CoreMeasureEnums.RecommendedResult.Error
                            // Kept in the layout so the rows stay aligned.
                            opacity: root.rowHasError(index, root.portsOfOthers()) ? 1 : 0
                            enableHover: opacity > 0
                            toolTip.description: qsTr("<p align=justify>It is necessary to reassign the ports. This fixture cannot be connected to the VNA.</p>")
                        }

                        ComboBox {
                            id: combo
                            objectName: "vnaPortCombo"
                            Layout.preferredWidth: 110
                            label: qsTr("VNA port")
                            model: root.portChoices(root.portsCount)
                            currentIndex: rowItem.portValue !== undefined ? rowItem.portValue : -1
                            onActivated: function(choice) { rowItem.choosePort(choice) }
                        }
                    }
                }
            }
        }

        VukFixture {
            id: drawing
            objectName: "fixtureDrawing"
            Layout.preferredWidth: 130
            Layout.preferredHeight: preferredHeight
            Layout.alignment: Qt.AlignVCenter
            fixture: root.vnaFixtureConn ? root.vnaFixtureConn.fixture : null
            direction: root.direction
            portHeight: root.portHeight
            portSpacing: root.rowHeight - root.portHeight
            color: root.color
        }
    }
}
