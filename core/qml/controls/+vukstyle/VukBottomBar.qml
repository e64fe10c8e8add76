import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

ToolBar {
    Material.background: "black"
    Material.foreground: "gray"
}
