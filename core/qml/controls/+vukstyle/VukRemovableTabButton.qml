import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15
import IconShortcuts 1.0

// A tab with a close button.
T.TabButton {
    id: control

    signal closeClicked()

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 12
    spacing: 6
    font.capitalization: Font.MixedCase
    // The current tab lies over its neighbours.
    z: checked ? 1 : 0

    icon.width: 24
    icon.height: 24
    icon.color: !control.enabled ? control.Material.secondaryTextColor
         : control.checked || control.down ? control.Material.accentColor
         : control.hovered ? control.Material.primaryTextColor
         : control.Material.secondaryTextColor

    contentItem: Row {
        spacing: control.spacing

        IconLabel {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            spacing: control.spacing
            mirrored: control.mirrored
            display: control.display
            opacity: control.enabled ? 1.0 : 0.3

            icon: control.icon
            text: control.text
            font: control.font
            color: control.icon.color
        }

        ToolButton {
            objectName: "closeButton"
            anchors.verticalCenter: parent.verticalCenter
            width: 30
            height: 30
            padding: 3
            icon.source: Icons.cross
            onClicked: control.closeClicked()
        }
    }

    background: Rectangle {
        implicitHeight: control.Material.touchTarget
        color: control.Material.theme === Material.Dark ? Qt.lighter(control.Material.backgroundColor, 1.7)
                                                        : control.Material.backgroundColor
        clip: true

        Ripple {
            width: parent.width
            height: parent.height
            clip: true
            pressed: control.pressed
            anchor: control
            active: control.down || control.visualFocus || control.hovered
            color: control.Material.rippleColor
        }
    }
}
