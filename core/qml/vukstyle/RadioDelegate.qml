import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

// A segment of a choice: the selected one is filled with the accent colour.
T.RadioDelegate {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 4
    spacing: 4

    font.pixelSize: 13
    font.weight: Font.Medium

    Material.elevation: pressed ? 8 : 2

    indicator: null

    contentItem: Text {
        text: control.text
        font: control.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        opacity: control.enabled ? 1.0 : 0.3
        color: control.checked && control.enabled ? control.Material.backgroundColor : control.Material.foreground
    }

    background: Rectangle {
        implicitHeight: control.Material.delegateHeight
        radius: 0
        color: control.checked && control.enabled ? control.Material.accentColor : control.Material.buttonColor

        layer.enabled: control.enabled && color.a > 0
        layer.effect: ElevationEffect {
            elevation: control.Material.elevation
        }

        Ripple {
            clipRadius: 2
            width: parent.width
            height: parent.height
            pressed: control.pressed
            anchor: control
            active: control.down || control.visualFocus || control.hovered
            color: control.Material.rippleColor
        }
    }
}
