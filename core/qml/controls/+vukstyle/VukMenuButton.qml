import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

// A tab of the main menu: an icon above a wrapped caption.
T.TabButton {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 12
    topPadding: 5
    bottomPadding: 5
    spacing: 6
    autoExclusive: true
    font.pixelSize: 14
    font.capitalization: Font.MixedCase

    icon.width: 26
    icon.height: 26
    icon.color: caption.color

    contentItem: Column {
        spacing: control.spacing

        IconImage {
            anchors.horizontalCenter: parent.horizontalCenter
            name: control.icon.name
            source: control.icon.source
            sourceSize: Qt.size(control.icon.width, control.icon.height)
            color: control.icon.color
            visible: source.toString() !== "" || name !== ""
        }

        Text {
            id: caption
            width: parent.width
            text: control.text
            font: control.font
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            color: control.checked || control.down || control.hovered ? control.Material.primaryTextColor
                                                                      : control.Material.secondaryTextColor
        }
    }

    background: Ripple {
        implicitHeight: control.Material.touchTarget
        clip: true
        pressed: control.pressed
        anchor: control
        active: control.down || control.visualFocus || control.hovered
        color: control.Material.rippleColor
    }
}
