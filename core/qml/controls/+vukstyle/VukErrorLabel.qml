import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import Color 1.0

Label {
    property bool hasError: false

    color: !enabled ? Material.hintTextColor
         : hasError ? Color.errorBackground
         : Material.secondaryTextColor
}
