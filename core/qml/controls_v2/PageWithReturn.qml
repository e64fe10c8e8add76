import QtQuick 2.15
import QtQuick.Controls 2.15
import IconShortcuts 1.0

// A side page with a return button in its header.
Page {
    id: page

    property string returnAdditionalText: ""
    signal returnMe()

    header: Pane {
        padding: 0

        ToolButton {
            objectName: "returnButton"
            anchors.left: parent.left
            height: parent.height
            font.capitalization: Font.MixedCase
            icon.source: Icons.back
            text: page.returnAdditionalText === "" ? qsTr("Return")
                                                   : qsTr("Return to ") + page.returnAdditionalText
            onClicked: page.returnMe()
        }
    }
}
