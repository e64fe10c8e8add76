import QtQuick 2.15
import QtQuick.Controls.Material 2.15

Rectangle {
    implicitWidth: 8
    implicitHeight: 8
    color: Material.hintTextColor
}
