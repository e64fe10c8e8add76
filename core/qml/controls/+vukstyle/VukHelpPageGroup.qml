import QtQuick 2.15
import QtQml 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// The help of a set of pages: one drawer that shows the active page's help,
// docked into that page or detached into a window of its own.
Item {
    id: group

    property var pages: []
    property var activePage: null
    property var main_window: null
    property var helper_window: null

    function addPage(page) {
        pages = pages.concat([page])
    }

    function _handOver() {
        for (var i = 0; i < pages.length; ++i) {
            var page = pages[i]
            if (!page)
                continue
            page.helper_window = helper_window
            page.helper_drawer = helpDrawer
            if (page.active)
                activePage = page
        }
    }

    onPagesChanged: _handOver()
    onHelper_windowChanged: _handOver()

    Component.onCompleted: helper_window = windowComponent.createObject(group)

    Instantiator {
        model: group.pages
        delegate: Connections {
            target: modelData
            ignoreUnknownSignals: true
            function onActiveChanged() {
                if (target.active)
                    group.activePage = target
            }
        }
    }

    Connections {
        target: group.main_window
        ignoreUnknownSignals: true
        function onClosing(close) {
            if (group.helper_window)
                group.helper_window.close()
        }
    }

    Component {
        id: windowComponent

        Window {
            id: helpWindow
            title: qsTr("Vukelan")
            flags: Qt.Window
            width: 400
            height: 400
            visible: false
            color: Material.backgroundColor

            Material.accent: group.Material.accent
            Material.theme: group.Material.theme
            Material.primary: group.Material.primary
            Material.foreground: group.Material.foreground
            Material.background: group.Material.background

            // The drawer, a shadow pane, reads its new parent's palette
            // when it moves in; the content item gets its palette first,
            // so that reading it does not re-enter the move.
            Component.onCompleted: contentItem.Material.background = Qt.binding(function() {
                return helpWindow.Material.background
            })

            onClosing: {
                if (helpDrawer.state === "undocked")
                    helpDrawer.visible = false
            }
        }
    }

    // While detached the window shows exactly when the help does.
    Binding {
        target: group.helper_window
        property: "visible"
        value: helpDrawer.visible
        when: helpDrawer.state === "undocked" && group.helper_window !== null
        restoreMode: Binding.RestoreNone
    }

    VukShadowPane {
        id: helpDrawer
        objectName: "helpDrawer"

        property real preferredWidth: 0
        property real preferredHeight: 0
        property real preferredX: 0
        property real preferredY: 45

        function toggleDock() {
            state = state === "docked" ? "undocked" : "docked"
        }

        visible: false
        padding: 0
        Material.elevation: 24

        state: "docked"
        states: [
            State {
                name: "docked"
                PropertyChanges {
                    target: helpDrawer
                    parent: group.activePage
                    width: helpDrawer.preferredWidth
                    height: helpDrawer.preferredHeight
                    x: helpDrawer.preferredX
                    y: helpDrawer.preferredY
                }
                StateChangeScript {
                    script: if (group.helper_window) group.helper_window.hide()
                }
            },
            State {
                name: "undocked"
                PropertyChanges {
                    target: helpDrawer
                    parent: group.helper_window ? group.helper_window.contentItem : null
                    x: 0
                    y: 0
                    width: group.helper_window ? group.helper_window.width : 0
                    height: group.helper_window ? group.helper_window.height : 0
                }
                StateChangeScript {
                    script: if (group.helper_window) group.helper_window.show()
                }
            }
        ]

        RowLayout {
            anchors.fill: parent
            spacing: 20

            Rectangle {
                Layout.preferredWidth: 14
                Layout.fillHeight: true
                color: helpDrawer.Material.accentColor
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true

                ToolButton {
                    objectName: "dockButton"
                    Layout.preferredWidth: 30
                    Layout.preferredHeight: 30
                    Layout.alignment: Qt.AlignRight
                    Layout.rightMargin: 14
                    icon.source: helpDrawer.state === "docked" ? Icons.detach : "qrc:/core/icons/attach.svg"
                    onClicked: helpDrawer.toggleDock()
                }

                ScrollView {
                    id: helpScroll
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    // A help longer than the drawer shows its bar at rest.
                    ScrollBar.vertical.policy: contentHeight > availableHeight ? ScrollBar.AlwaysOn
                                                                               : ScrollBar.AsNeeded

                    TextArea {
                        objectName: "helpText"
                        readOnly: true
                        textFormat: TextEdit.RichText
                        font.pixelSize: 14
                        wrapMode: TextEdit.Wrap
                        rightPadding: 20
                        text: group.activePage ? group.activePage.full_description : ""
                    }
                }
            }
        }
    }
}
