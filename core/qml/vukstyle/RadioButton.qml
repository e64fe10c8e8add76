import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

T.RadioButton {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding,
                             implicitIndicatorHeight + topPadding + bottomPadding)

    spacing: 8
    padding: 8
    verticalPadding: padding + 6

    font.pixelSize: 14
    font.weight: Font.Medium

    indicator: Rectangle {
        id: ring

        x: control.text ? (control.mirrored ? control.width - width - control.rightPadding : control.leftPadding)
                        : control.leftPadding + (control.availableWidth - width) / 2
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 19
        implicitHeight: 19

        radius: 13
        color: "transparent"
        border.width: 2
        border.color: control.hovered ? "#FFDED7DB" : "#FF9B9699"
        opacity: control.enabled ? 1.0 : 0.3

        Rectangle {
            objectName: "dot"
            anchors.centerIn: parent
            width: 9
            height: 9
            radius: 7
            color: ring.border.color
            visible: control.checked
        }

        Ripple {
            x: (parent.width - width) / 2
            y: (parent.height - height) / 2
            width: 28; height: 28

            z: -1
            anchor: control
            pressed: control.pressed
            active: control.down || control.visualFocus || control.hovered
            color: control.checked ? control.Material.highlightedRippleColor : control.Material.rippleColor
        }
    }

    contentItem: Text {
        leftPadding: control.indicator && !control.mirrored ? control.indicator.width + control.spacing + 5 : 0
        rightPadding: control.indicator && control.mirrored ? control.indicator.width + control.spacing + 5 : 0

        text: control.text
        font: control.font
        color: "#FF9B9699"
        opacity: control.enabled ? 1.0 : 0.3
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
}
