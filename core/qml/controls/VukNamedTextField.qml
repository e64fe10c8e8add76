import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A text field with a title above it.
Pane {
    property alias title: titleLabel.text
    property alias text_field: field

    padding: 0

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Label { id: titleLabel }

        TextField {
            id: field
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 150
            Layout.preferredHeight: 32
        }
    }
}
