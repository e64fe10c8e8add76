import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

T.Button {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    topInset: 6
    bottomInset: 6
    padding: 12
    horizontalPadding: padding - 4
    spacing: 6

    font.pixelSize: 14
    font.capitalization: Font.MixedCase
    autoRepeat: false

    icon.width: 24
    icon.height: 24
    icon.color: !control.enabled ? control.Material.hintTextColor
         : control.highlighted ? (control.flat ? control.Material.accentColor
                                               : control.Material.backgroundColor)
         : control.Material.foreground

    Material.elevation: flat ? (down || hovered ? 2 : 0) : (down ? 8 : 2)
    Material.background: flat ? "transparent" : undefined

    contentItem: IconLabel {
        spacing: control.spacing
        mirrored: control.mirrored
        display: control.display

        icon: control.icon
        text: control.text
        font: control.font
        // A flat button has no fill of its own, so a highlighted one cannot
        // draw its text in the background colour: it would vanish.
        color: !control.enabled ? control.Material.hintTextColor
             : control.highlighted ? (control.flat ? control.Material.accentColor
                                                   : control.Material.backgroundColor)
             : control.Material.foreground
    }

    background: Rectangle {
        implicitWidth: 170
        implicitHeight: control.Material.buttonHeight

        radius: 3
        color: !control.enabled ? control.Material.buttonDisabledColor
             : control.highlighted ? control.Material.highlightedButtonColor
             : control.Material.buttonColor
        border.width: 2
        border.color: !control.flat && control.activeFocus ? control.Material.accentColor : "transparent"

        // No shadow without a visible fill (a flat button is transparent).
        layer.enabled: control.enabled && control.Material.buttonColor.a > 0
        layer.effect: ElevationEffect {
            elevation: control.Material.elevation
        }

        Ripple {
            clipRadius: 2
            width: parent.width
            height: parent.height
            pressed: control.pressed
            anchor: control
            active: control.down || control.visualFocus || control.hovered || control.checked
            color: control.flat && control.highlighted ? control.Material.highlightedRippleColor
                                                       : control.Material.rippleColor
        }
    }
}
