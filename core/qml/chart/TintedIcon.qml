import QtQuick 2.15
import QtGraphicalEffects 1.15

// An 18-pixel marker icon, tinted with a colour unless `tinted` is off.
Item {
    id: root

    property url source
    property color tint: "white"
    property bool tinted: true

    width: 18
    height: 18

    Image {
        id: icon
        anchors.fill: parent
        source: root.source
        sourceSize.width: root.width
        sourceSize.height: root.height
        visible: !root.tinted
    }

    ColorOverlay {
        anchors.fill: icon
        source: icon
        color: root.tint
        visible: root.tinted
    }
}
