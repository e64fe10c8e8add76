import QtQuick 2.15
import QtQuick.Controls 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Pane {
    property alias text: label.text
    property alias detail: detailLabel.text
    signal removeMe()

    Column {
        Label { id: label }
        Label { id: detailLabel }
    }
}
