import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
// Qualified: the controls library's helpers include a "Color" of their own,
// which would hide the program's palette.
import QtQuick.Controls.impl 2.15 as Impl
import QtQuick.Controls.Material 2.15
import QtQuick.Controls.Material.impl 2.15
import QtGraphicalEffects 1.12
import Color 1.0

T.ComboBox {
    id: control

    // A caption drawn into the top-left of the border.
    property string label

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding,
                             implicitIndicatorHeight + topPadding + bottomPadding)

    topInset: 6
    bottomInset: 6

    leftPadding: padding + (!control.mirrored || !indicator || !indicator.visible ? 0 : indicator.width + spacing)
    rightPadding: padding + (control.mirrored || !indicator || !indicator.visible ? 0 : indicator.width + spacing)

    font.pixelSize: 14

    Material.elevation: flat ? (control.pressed || control.hovered ? 2 : 0)
                             : (control.pressed ? 8 : 2)
    Material.background: flat ? "transparent" : undefined
    Material.foreground: flat ? undefined : Material.primaryTextColor

    delegate: MenuItem {
        width: ListView.view.width
        text: control.textRole ? (Array.isArray(control.model) ? modelData[control.textRole] : model[control.textRole])
                               : modelData
        Material.foreground: control.currentIndex === index ? Color.textHighEmphasis : Color.textMedEmphasis
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled
    }

    indicator: Impl.ColorImage {
        x: control.mirrored ? control.padding : control.width - width - control.padding
        y: control.topPadding + (control.availableHeight - height) / 2
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        source: "qrc:/qt-project.org/imports/QtQuick/Controls.2/Material/images/drop-indicator.png"
    }

    contentItem: T.TextField {
        padding: 6
        leftPadding: control.editable ? 2 : control.mirrored ? 0 : 12
        rightPadding: control.editable ? 2 : control.mirrored ? 12 : 0

        text: control.editable ? control.editText : control.displayText

        enabled: control.editable
        autoScroll: control.editable
        readOnly: control.down
        inputMethodHints: control.inputMethodHints
        validator: control.validator
        selectByMouse: control.selectTextByMouse

        font: control.font
        color: control.enabled ? control.Material.foreground : control.Material.hintTextColor
        selectionColor: control.Material.accentColor
        selectedTextColor: control.Material.primaryHighlightedTextColor
        verticalAlignment: Text.AlignVCenter

        cursorDelegate: CursorDelegate { }
    }

    background: Rectangle {
        id: frame

        readonly property color borderColor: !control.enabled ? control.Material.hintTextColor
                                           : control.activeFocus || control.hovered ? control.Material.primaryTextColor
                                           : control.Material.secondaryTextColor

        implicitWidth: 192
        implicitHeight: control.Material.buttonHeight

        radius: 4
        color: "transparent"
        border.width: control.visualFocus ? 2 : 1
        border.color: borderColor

        // The patch hides the border line behind the caption.
        Rectangle {
            objectName: "labelPatch"
            visible: caption.visible
            x: caption.x - 3
            y: caption.y + 9
            width: caption.width + 6
            height: Math.max(0, caption.height - 9)
            color: control.Material.backgroundColor
        }

        Text {
            id: caption
            objectName: "label"
            x: 12
            y: -10
            visible: control.label.length > 0 && !control.popup.visible
            text: control.label
            font.pixelSize: 12
            color: frame.borderColor
        }
    }

    popup: T.Popup {
        y: control.editable ? control.height - 5 : 0
        width: control.width
        height: Math.min(contentItem.implicitHeight, control.Window.height - topMargin - bottomMargin)
        transformOrigin: Item.Top
        topMargin: 12
        bottomMargin: 12

        Material.theme: control.Material.theme
        Material.accent: control.Material.accent
        Material.primary: control.Material.primary

        enter: Transition {
            NumberAnimation { property: "opacity"; from: 0.0; to: 1.0; easing.type: Easing.OutCubic; duration: 150 }
        }

        exit: Transition {
            NumberAnimation { property: "opacity"; from: 1.0; to: 0.0; easing.type: Easing.OutCubic; duration: 150 }
        }

        contentItem: ListView {
            id: listView
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
            highlightMoveDuration: 0

            T.ScrollIndicator.vertical: ScrollIndicator { }

            layer.enabled: true
            layer.effect: OpacityMask {
                maskSource: Rectangle {
                    width: listView.width
                    height: listView.height
                    radius: 4
                }
            }
        }

        background: Rectangle {
            radius: 4
            color: parent.Material.dialogColor
            border.color: frame.borderColor

            layer.enabled: control.enabled
            layer.effect: ElevationEffect {
                elevation: 8
            }
        }
    }
}
