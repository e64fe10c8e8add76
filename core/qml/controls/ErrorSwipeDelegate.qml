import QtQuick 2.15
import QtQuick.Controls 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Pane {
    property alias text: label.text
    signal removeMe()

    Label { id: label }
}
