import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import Color 1.0
import IconShortcuts 1.0

// A notification entry for an error.
Pane {
    id: entry

    property alias text: label.text
    signal removeMe()

    padding: 16
    rightPadding: 0
    topPadding: 0
    verticalPadding: 8
    spacing: 16
    Material.foreground: Material.backgroundColor
    // At least one delegate high; a long text makes the entry taller.
    implicitHeight: Math.max(Material.delegateHeight, contentHeight + topPadding + bottomPadding)

    background: Rectangle { color: Color.alertBackground }

    HoverHandler { id: hover }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: 30

            ToolButton {
                objectName: "removeButton"
                anchors.right: parent.right
                width: 30
                height: 30
                flat: true
                visible: hover.hovered
                icon.source: Icons.cross
                icon.color: Color.alertForeground
                onClicked: entry.removeMe()
            }
        }

        Label {
            id: label
            objectName: "text"
            Layout.fillWidth: true
            Layout.rightMargin: 8
            wrapMode: Text.Wrap
            color: entry.enabled ? Color.alertForeground : entry.Material.hintTextColor
        }
    }
}
