import QtQuick 2.15
import QtQuick.Window 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Window {
    default property alias content: contentArea.data
    property int borderWidth: 5
    readonly property int titleBarHeight: 30

    Item {
        id: contentArea
        anchors.fill: parent
    }
}
