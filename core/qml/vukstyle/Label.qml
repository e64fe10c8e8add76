import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

T.Label {
    id: control

    color: enabled ? Material.secondaryTextColor : Material.hintTextColor
    linkColor: Material.accentColor
}
