import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import "qrc:/core/qml/controls"

// The decorative lizard, in the accent colour.
Item {
    id: root

    readonly property alias hovered: hover.hovered

    opacity: 0.4
    Behavior on opacity { NumberAnimation { duration: 400 } }

    HoverHandler { id: hover }

    ColorImage {
        anchors.fill: parent
        source: "qrc:/core/icons/lizard.svg"
        sourceSize: Qt.size(811, 601)
        color: root.Material.accentColor
    }
}
