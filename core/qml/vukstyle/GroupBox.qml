import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15

T.GroupBox {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            contentWidth + leftPadding + rightPadding,
                            implicitLabelWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding)

    font.pixelSize: 14
    font.bold: true

    spacing: 6
    padding: 12
    leftPadding: 5
    bottomPadding: 12
    // The content starts just below the title.
    topPadding: 5 + (implicitLabelHeight > 0 ? implicitLabelHeight + spacing : 0)

    Material.elevation: 2

    label: Text {
        x: control.leftPadding
        y: 5
        width: control.width

        text: control.title
        font: control.font
        color: control.Material.foreground
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: 3
        color: control.Material.backgroundColor
        border.width: 0

        layer.enabled: control.enabled && control.Material.elevation > 0
        layer.effect: ElevationEffect {
            elevation: control.Material.elevation
        }
    }
}
