import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"

// A frameless window that draws its own title bar (drag it to move the
// window) and resize borders.
Window {
    id: window

    default property alias content: contentArea.data
    property int borderWidth: 5
    readonly property int titleBarHeight: 30

    flags: Qt.Window | Qt.FramelessWindowHint
    color: Material.backgroundColor

    Rectangle {
        id: titleBar
        objectName: "titleBar"
        x: window.borderWidth
        y: window.borderWidth
        width: window.width - 2 * window.borderWidth
        height: window.titleBarHeight
        color: Qt.darker(window.Material.backgroundColor, window.Material.theme === Material.Dark ? 0.8 : 1.05)

        DragHandler {
            target: null
            onActiveChanged: if (active) window.startSystemMove()
        }

        Label {
            anchors.verticalCenter: parent.verticalCenter
            x: 10
            text: window.title
            elide: Text.ElideRight
            width: parent.width - buttons.width - 20
        }

        Row {
            id: buttons
            anchors.right: parent.right
            height: parent.height

            WindowButton {
                objectName: "minimizeButton"
                icon.source: "qrc:/core/icons/minimize.svg"
                onClicked: window.showMinimized()
            }
            WindowButton {
                objectName: "maximizeButton"
                icon.source: "qrc:/core/icons/expand.svg"
                onClicked: window.visibility === Window.Maximized ? window.showNormal() : window.showMaximized()
            }
            WindowButton {
                objectName: "closeButton"
                icon.source: "qrc:/core/icons/close.svg"
                onClicked: window.close()
            }
        }
    }

    Item {
        id: contentArea
        x: window.borderWidth
        y: titleBar.y + titleBar.height
        width: window.width - 2 * window.borderWidth
        height: window.height - y - window.borderWidth
    }

    // Resize borders: edges and corners start the system's resize.
    Repeater {
        model: [
            { edges: Qt.LeftEdge, cursor: Qt.SizeHorCursor },
            { edges: Qt.RightEdge, cursor: Qt.SizeHorCursor },
            { edges: Qt.TopEdge, cursor: Qt.SizeVerCursor },
            { edges: Qt.BottomEdge, cursor: Qt.SizeVerCursor },
            { edges: Qt.LeftEdge | Qt.TopEdge, cursor: Qt.SizeFDiagCursor },
            { edges: Qt.RightEdge | Qt.BottomEdge, cursor: Qt.SizeFDiagCursor },
            { edges: Qt.RightEdge | Qt.TopEdge, cursor: Qt.SizeBDiagCursor },
            { edges: Qt.LeftEdge | Qt.BottomEdge, cursor: Qt.SizeBDiagCursor }
        ]

        delegate: MouseArea {
            readonly property int edges: modelData.edges
            readonly property bool onLeft: edges & Qt.LeftEdge
            readonly property bool onRight: edges & Qt.RightEdge
            readonly property bool onTop: edges & Qt.TopEdge
            readonly property bool onBottom: edges & Qt.BottomEdge
            readonly property int b: window.borderWidth

            x: onRight ? window.width - b : 0
            y: onBottom ? window.height - b : 0
            width: onLeft || onRight ? b : window.width
            height: onTop || onBottom ? b : window.height
            z: onLeft !== onRight && onTop !== onBottom ? 2 : 1
            cursorShape: modelData.cursor
            acceptedButtons: Qt.LeftButton
            onPressed: window.startSystemResize(edges)
        }
    }
}
