import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// The help toggle and a description as a pane of its own.
Pane {
    id: pane

    property alias description: descriptionField.text
    property var helper_drawer: null

    padding: 5
    Material.elevation: 0

    RowLayout {
        anchors.fill: parent
        spacing: 5

        VukShadowPane {
            Layout.preferredWidth: 48
            Layout.preferredHeight: 35
            padding: 0
            Material.elevation: 1

            ToolButton {
                objectName: "helpButton"
                anchors.centerIn: parent
                width: 35
                height: 35
                icon.source: Icons.questionMark
                checked: pane.helper_drawer ? pane.helper_drawer.visible : false
                onClicked: {
                    var drawer = pane.helper_drawer
                    if (!drawer)
                        return
                    drawer.state = "docked"
                    drawer.visible = !drawer.visible
                }
            }
        }

        VukShadowPane {
            Layout.fillWidth: true
            Layout.preferredHeight: 35
            padding: 0
            Material.elevation: 1

            TextField {
                id: descriptionField
                anchors.fill: parent
                readOnly: true
                hoverEnabled: false
                visible: text !== ""
                font.pixelSize: 14
                wrapMode: TextInput.WordWrap
                horizontalAlignment: TextInput.AlignLeft
                leftPadding: 15
            }
        }
    }
}
