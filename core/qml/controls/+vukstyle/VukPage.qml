import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// A wizard page: a header with the help toggle and the page's description.
// The help group (VukHelpPageGroup) hands it the help window and drawer.
Page {
    id: page

    property string name
    property alias description: descriptionField.text
    property string icon: Icons.questionMark
    property string full_description: ""
    property var helper_window: null
    property var helper_drawer: null
    property bool active: false
    property bool done: false
    // The height the page's content needs to be shown whole (0: no more
    // than the window's smallest size offers); the main window scrolls to it.
    property real minimumContentHeight: 0

    function _fitDrawer() {
        if (!active || !helper_drawer)
            return
        helper_drawer.preferredWidth = Qt.binding(function() { return headerPane.width })
        helper_drawer.preferredHeight = Qt.binding(function() { return page.height - headerPane.height })
        if (helper_drawer.state === "docked") {
            helper_drawer.width = Qt.binding(function() { return headerPane.width })
            helper_drawer.height = Qt.binding(function() { return page.height - headerPane.height })
            helper_drawer.y = Qt.binding(function() { return headerPane.height })
        }
    }

    onActiveChanged: _fitDrawer()
    onHelper_drawerChanged: _fitDrawer()

    header: Pane {
        id: headerPane
        padding: 5
        Material.elevation: 0

        RowLayout {
            anchors.fill: parent
            spacing: 5

            VukShadowPane {
                Layout.preferredWidth: 48
                Layout.preferredHeight: 35
                Layout.alignment: Qt.AlignTop
                padding: 0
                Material.elevation: 1

                ToolButton {
                    id: helpButton
                    objectName: "helpButton"
                    anchors.centerIn: parent
                    width: 35
                    height: 35
                    checkable: true
                    checked: page.helper_drawer ? page.helper_drawer.visible : false
                    icon.source: Icons.questionMark

                    onCheckedChanged: {
                        var drawer = page.helper_drawer
                        if (!page.active || !drawer)
                            return
                        if (checked && drawer.state === "docked") {
                            drawer.width = headerPane.width
                            drawer.height = page.height - headerPane.height
                            drawer.y = headerPane.y + headerPane.height
                        }
                        drawer.visible = checked
                        // A click replaces the binding; the button keeps
                        // following the drawer afterwards.
                        checked = Qt.binding(function() {
                            return page.helper_drawer ? page.helper_drawer.visible : false
                        })
                    }
                }
            }

            // As high as the description's lines: a translation or a
            // narrow window wraps it.
            VukShadowPane {
                Layout.fillWidth: true
                Layout.preferredHeight: Math.max(35, descriptionField.visible ? descriptionField.implicitHeight : 0)
                padding: 0
                Material.elevation: 1

                TextField {
                    id: descriptionField
                    objectName: "descriptionField"
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
}
