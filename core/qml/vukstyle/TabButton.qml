import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

T.TabButton {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 12
    spacing: 6
    font.capitalization: Font.MixedCase

    icon.width: 24
    icon.height: 24
    icon.color: !control.enabled ? control.Material.secondaryTextColor
         : control.checked || control.down ? control.Material.accentColor
         : control.hovered ? control.Material.primaryTextColor
         : control.Material.secondaryTextColor

    contentItem: IconLabel {
        rightPadding: 30
        spacing: control.spacing
        mirrored: control.mirrored
        display: control.display
        opacity: control.enabled ? 1.0 : 0.3

        icon: control.icon
        text: control.text
        font: control.font
        color: !control.enabled ? control.Material.secondaryTextColor
             : control.checked || control.down ? control.Material.accentColor
             : control.hovered ? control.Material.primaryTextColor
             : control.Material.secondaryTextColor
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
