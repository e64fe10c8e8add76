import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.impl 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15
import CoreMeasureEnums 1.0

// The value field of a table cell. The cell sets `result`; the row tint shows
// it, the field's own look does not depend on it.
T.TextField {
    id: control

    property int result: CoreMeasureEnums.RecommendedResult.Correct

    implicitWidth: implicitBackgroundWidth + leftInset + rightInset
                   || Math.max(contentWidth, placeholder.implicitWidth) + leftPadding + rightPadding
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding,
                             placeholder.implicitHeight + topPadding + bottomPadding)

    padding: 6
    font.pixelSize: 14
    color: Material.foreground
    selectByMouse: true
    selectionColor: Material.textSelectionColor
    selectedTextColor: Material.foreground
    placeholderTextColor: Material.hintTextColor
    horizontalAlignment: TextInput.AlignHCenter
    verticalAlignment: TextInput.AlignVCenter
    hoverEnabled: !readOnly

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
        color: "transparent"

        Rectangle {
            objectName: "hoverOverlay"
            anchors.fill: parent
            color: control.Material.rippleColor
            visible: control.hovered && control.enabled
        }
    }
}
