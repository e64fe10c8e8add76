import QtQuick 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Item {
    readonly property alias hovered: hover.hovered

    HoverHandler { id: hover }
}
