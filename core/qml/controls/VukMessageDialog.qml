import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// A question with a discard and an accept button.
Dialog {
    id: dialog

    property string informativeText
    property alias acceptText: acceptButton.text
    property alias discardText: discardButton.text

    // A column, not a layout: the wrapped text is as wide as the dialog's
    // content and only its height follows from it, so a change of the
    // dialog's width while it is open does not feed back into its height.
    contentItem: Column {
        spacing: 20

        Label {
            width: parent.width
            text: dialog.informativeText
            wrapMode: Text.WordWrap
            color: dialog.Material.secondaryTextColor
        }

        RowLayout {
            anchors.right: parent.right
            Material.foreground: dialog.Material.primaryColor

            Button {
                id: discardButton
                objectName: "discardButton"
                flat: true
                text: qsTr("Discard")
                onClicked: dialog.discarded()
            }

            Button {
                id: acceptButton
                objectName: "acceptButton"
                highlighted: true
                text: qsTr("Accept")
                onClicked: dialog.accepted()
            }
        }
    }
}
