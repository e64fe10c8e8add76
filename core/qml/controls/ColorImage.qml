import QtQuick 2.15
import QtGraphicalEffects 1.12

// A single-colour picture drawn in `color`.
Item {
    id: root

    property alias source: image.source
    property alias sourceSize: image.sourceSize
    property alias color: overlay.color

    Image {
        id: image
        anchors.fill: parent
        visible: false
        smooth: true
        rotation: root.rotation
        fillMode: Image.PreserveAspectFit
    }

    ColorOverlay {
        id: overlay
        anchors.fill: image
        source: image
    }
}
