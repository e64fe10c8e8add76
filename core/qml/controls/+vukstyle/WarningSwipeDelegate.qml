import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import Color 1.0
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// A notification entry for a doubtful fixture model: a warning, not an
// error. Its first line says what and where; the detail follows below it.
Pane {
    id: entry

    property alias text: label.text
    property alias detail: detailLabel.text
    signal removeMe()

    padding: 16
    leftPadding: 12
    rightPadding: 0
    topPadding: 0
    verticalPadding: 8
    // At least one delegate high; a long text makes the entry taller.
    implicitHeight: Math.max(Material.delegateHeight, contentHeight + topPadding + bottomPadding)

    background: Rectangle {
        color: entry.Material.dialogColor
        border.width: 1
        border.color: Color.alertBackground

        // The warning colour along the leading edge.
        Rectangle {
            width: 4
            height: parent.height
            color: Color.alertBackground
        }
    }

    HoverHandler { id: hover }

    ColumnLayout {
        anchors.fill: parent
        spacing: 4

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            ColorImage {
                objectName: "warningIcon"
                Layout.preferredWidth: 18
                Layout.preferredHeight: 18
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 6
                source: Icons.warning
                color: Color.alertBackground
            }

            Label {
                id: label
                objectName: "summary"
                Layout.fillWidth: true
                Layout.topMargin: 6
                wrapMode: Text.Wrap
                font.bold: true
                color: entry.enabled ? entry.Material.foreground : entry.Material.hintTextColor
            }

            ToolButton {
                objectName: "removeButton"
                Layout.preferredWidth: 30
                Layout.preferredHeight: 30
                Layout.alignment: Qt.AlignTop
                flat: true
                opacity: hover.hovered ? 1 : 0
                enabled: hover.hovered
                icon.source: Icons.cross
                onClicked: entry.removeMe()
            }
        }

        Label {
            id: detailLabel
            objectName: "detail"
            Layout.fillWidth: true
            Layout.leftMargin: 26
            Layout.rightMargin: 8
            visible: text.length > 0
            wrapMode: Text.Wrap
            color: entry.enabled ? entry.Material.secondaryTextColor : entry.Material.hintTextColor
        }
    }
}
