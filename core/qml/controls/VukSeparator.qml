import QtQuick 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Rectangle {
    implicitWidth: 8
    implicitHeight: 8
}
