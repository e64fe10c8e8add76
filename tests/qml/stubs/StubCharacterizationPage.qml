import QtQuick 2.15
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"

// Stands in for the characterization page: a return page with its help page.
PageWithReturn {
    property alias vukPage: inner
    VukPage {
        id: inner
        anchors.fill: parent
        name: "Stub characterization"
    }
}
