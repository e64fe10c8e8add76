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

    contentItem: ColumnLayout {
        Label {
            Layout.fillWidth: true
            Layout.bottomMargin: 20
            text: dialog.informativeText
            wrapMode: Text.WordWrap
            color: dialog.Material.secondaryTextColor
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
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
