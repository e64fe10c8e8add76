import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import Color 1.0
import "qrc:/core/qml/controls"

// The list of running jobs: one row per ProgressWatcher of the model (the
// progress manager's), with its title and progress bar.
VukShadowPane {
    id: view

    property alias model: list.model

    Material.elevation: 10
    spacing: 0
    contentWidth: list.width
    contentHeight: list.height

    ListView {
        id: list
        objectName: "progressList"

        // The list is as wide as its widest entry.
        property real entryWidth: 0

        function updateEntryWidth() {
            var widest = 0
            for (var i = 0; i < contentItem.children.length; ++i) {
                var entry = contentItem.children[i]
                if (entry.isProgressEntry === true)
                    widest = Math.max(widest, entry.implicitWidth)
            }
            entryWidth = widest
        }

        width: entryWidth
        height: contentHeight
        interactive: false
        onCountChanged: Qt.callLater(updateEntryWidth)

        delegate: ColumnLayout {
            id: entry

            readonly property bool isProgressEntry: true
            readonly property var watcher: model.value
            readonly property color barColor: watcher && watcher.isCanceled ? Color.errorBackground
                                                                             : Color.successBackground
            readonly property bool finished: watcher ? watcher.isFinished : false
            property alias title: title
            property alias bar: bar

            width: ListView.view.width
            spacing: 0
            onImplicitWidthChanged: Qt.callLater(list.updateEntryWidth)
            Component.onCompleted: Qt.callLater(list.updateEntryWidth)

            Label {
                id: title
                objectName: "title"
                Layout.fillWidth: true
                Layout.minimumWidth: 50
                text: entry.watcher ? entry.watcher.name : ""
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                font.pixelSize: 12
            }

            ProgressBar {
                id: bar
                objectName: "bar"

                property string text: entry.watcher ? entry.watcher.progressText : ""
                readonly property color color: entry.barColor

                Layout.fillWidth: true
                // Room for the title and for the bar's own text.
                Layout.preferredWidth: Math.max(title.implicitWidth, title.Layout.minimumWidth,
                                                barText.implicitWidth) + 50
                implicitHeight: 12
                from: entry.watcher ? entry.watcher.progressMinimum : 0
                to: entry.watcher ? entry.watcher.progressMaximum : 0
                value: entry.watcher ? entry.watcher.progressValue : 0

                background: Rectangle {
                    implicitWidth: 200
                    implicitHeight: 12
                    color: Qt.rgba(bar.Material.accentColor.r, bar.Material.accentColor.g,
                                   bar.Material.accentColor.b, 0.25)
                }

                contentItem: Item {
                    implicitWidth: 200
                    implicitHeight: 12

                    Rectangle {
                        id: fill
                        objectName: "fill"
                        width: bar.visualPosition * parent.width
                        height: parent.height
                        color: bar.color
                        clip: true

                        // A light band runs along the bar while the job is
                        // not finished.
                        Rectangle {
                            id: shine
                            objectName: "shine"
                            width: bar.width / 2
                            height: parent.height
                            gradient: Gradient {
                                orientation: Gradient.Horizontal
                                GradientStop { position: 0.0; color: bar.color }
                                GradientStop {
                                    position: 0.5
                                    color: entry.finished ? bar.color : Qt.lighter(bar.color, 2.0)
                                }
                                GradientStop { position: 1.0; color: bar.color }
                            }

                            NumberAnimation on x {
                                objectName: "shineAnimation"
                                from: -shine.width
                                to: bar.width
                                duration: 3000
                                loops: Animation.Infinite
                                running: !entry.finished
                            }
                        }
                    }

                    Text {
                        id: barText
                        objectName: "barText"
                        anchors.centerIn: parent
                        text: bar.text
                        font.pixelSize: 10
                        color: Color.successForeground
                    }
                }
            }
        }
    }
}
