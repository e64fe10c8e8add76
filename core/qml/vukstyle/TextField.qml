import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

T.TextField {
    id: control

    implicitWidth: implicitBackgroundWidth + leftInset + rightInset
                   || Math.max(contentWidth, placeholder.implicitWidth) + leftPadding + rightPadding
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding,
                             placeholder.implicitHeight + topPadding + bottomPadding)

    padding: 6
    leftPadding: 10
    rightPadding: 10

    font.pixelSize: 14
    color: enabled ? Material.foreground : Material.hintTextColor
    selectByMouse: true
    selectionColor: Material.textSelectionColor
    selectedTextColor: Material.foreground
    placeholderTextColor: Material.hintTextColor
    horizontalAlignment: TextInput.AlignHCenter
    verticalAlignment: TextInput.AlignVCenter
    hoverEnabled: true

    // The frame and the ripple take the text colour, not the accent.
    Material.accent: Material.foreground

    cursorDelegate: CursorDelegate { }

    PlaceholderText {
        id: placeholder
        x: control.leftPadding
        y: control.topPadding
        width: control.width - (control.leftPadding + control.rightPadding)
        height: control.height - (control.topPadding + control.bottomPadding)
        text: control.placeholderText
        font: control.font
        color: control.placeholderTextColor
        horizontalAlignment: control.horizontalAlignment
        verticalAlignment: control.verticalAlignment
        elide: Text.ElideRight
        renderType: control.renderType
        visible: !control.length && !control.preeditText
    }

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 32
        color: "transparent"
        border.width: control.readOnly ? 0 : 1
        border.color: control.enabled ? control.Material.highlightedRippleColor : control.Material.rippleColor

        // A hover tint only: a text field has no pressed state (its
        // "pressed" is a signal, which as a value would hold the ripple's
        // press wave on for good).
        Ripple {
            objectName: "ripple"
            width: parent.width
            height: parent.height
            clip: true
            anchor: control
            active: control.enabled && control.hovered
            color: control.Material.rippleColor
        }
    }
}
