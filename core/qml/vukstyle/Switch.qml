import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

// Text first, switch after it; the handle still moves from left (off) to
// right (on).
T.Switch {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding,
                             implicitIndicatorHeight + topPadding + bottomPadding)

    padding: 8
    spacing: 8

    indicator: Item {
        id: track

        readonly property alias handle: knob

        implicitWidth: 38
        implicitHeight: 32
        x: control.text ? (control.mirrored ? control.leftPadding : control.width - width - control.rightPadding)
                        : control.leftPadding + (control.availableWidth - width) / 2
        y: control.topPadding + (control.availableHeight - height) / 2

        Material.elevation: 1

        Rectangle {
            width: parent.width
            height: 14
            radius: height / 2
            y: parent.height / 2 - height / 2
            color: control.enabled ? (control.checked ? control.Material.switchCheckedTrackColor
                                                      : control.Material.switchUncheckedTrackColor)
                                   : control.Material.switchDisabledTrackColor
        }

        Rectangle {
            id: knob
            x: Math.max(0, Math.min(track.width - width, control.position * track.width - width / 2))
            y: (parent.height - height) / 2
            width: 20
            height: 20
            radius: width / 2
            color: control.enabled ? (control.checked ? control.Material.switchCheckedHandleColor
                                                      : control.Material.switchUncheckedHandleColor)
                                   : control.Material.switchDisabledHandleColor

            Behavior on x {
                enabled: !control.pressed
                SmoothedAnimation { duration: 300 }
            }
            layer.enabled: track.Material.elevation > 0
            layer.effect: ElevationEffect {
                elevation: track.Material.elevation
            }
        }

        Ripple {
            x: knob.x + knob.width / 2 - width / 2
            y: knob.y + knob.height / 2 - height / 2
            width: 28; height: 28
            pressed: control.pressed
            active: control.down || control.visualFocus || control.hovered
            color: control.checked ? control.Material.highlightedRippleColor : control.Material.rippleColor
        }
    }

    contentItem: Text {
        leftPadding: control.indicator && control.mirrored ? control.indicator.width + control.spacing : 0
        rightPadding: control.indicator && !control.mirrored ? control.indicator.width + control.spacing : 0

        text: control.text
        font: control.font
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
}
