import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A vertically scrolling pane whose content column sits centred while it is
// smaller than the pane.
Pane {
    id: pane

    default property alias content: column.data
    property int aligment: Qt.AlignCenter

    clip: true
    padding: 0

    Flickable {
        id: flickable
        objectName: "flickable"
        anchors.fill: parent
        flickableDirection: Flickable.VerticalFlick
        boundsBehavior: Flickable.StopAtBounds
        contentWidth: Math.max(inner.implicitWidth, width)
        contentHeight: Math.max(inner.implicitHeight, height)

        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        Pane {
            id: inner
            objectName: "innerPane"
            anchors.centerIn: parent

            ColumnLayout {
                id: column
            }
        }
    }
}
