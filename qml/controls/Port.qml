import QtQuick 2.15

// Plain variant: the interface only; the drawing is in +vukstyle/.
Item {
    enum Direction {
        Left,
        Right
    }

    property int direction: Port.Direction.Left
    property color color: "black"
}
