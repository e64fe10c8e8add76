import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15

// A button that shows a busy indicator instead of its label while its action
// runs.
Button {
    id: control

    property bool inProgress: false

    function setCorrect() { inProgress = false }
    function setError() { inProgress = false }

    contentItem: Item {
        implicitWidth: label.implicitWidth
        implicitHeight: label.implicitHeight

        IconLabel {
            id: label
            anchors.fill: parent
            visible: !control.inProgress
            spacing: control.spacing
            mirrored: control.mirrored
            display: control.display
            icon: control.icon
            text: control.text
            font: control.font
            color: !control.enabled ? control.Material.hintTextColor
                 : control.highlighted ? (control.flat ? control.Material.accentColor
                                                       : control.Material.backgroundColor)
                 : control.Material.foreground
        }

        BusyIndicator {
            objectName: "busyIndicator"
            anchors.centerIn: parent
            height: parent.height
            width: height
            padding: 0
            visible: control.inProgress
            running: control.inProgress
        }
    }
}
