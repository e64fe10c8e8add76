import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A title-bar button of DecoratedWindow.
ToolButton {
    implicitWidth: 30
    implicitHeight: 30
    padding: 6
    icon.width: 16
    icon.height: 16
    focusPolicy: Qt.NoFocus
}
