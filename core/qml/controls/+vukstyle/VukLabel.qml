import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import CoreMeasureEnums 1.0

// A label coloured by emphasis or by a check result.
Label {
    property bool primary: false
    property bool accented: false
    // A CoreMeasureEnums.RecommendedResult, or undefined for no result.
    property var type: undefined

    color: accented ? Material.accentColor
         : type === CoreMeasureEnums.RecommendedResult.Correct ? Color.successBackground
         : type === CoreMeasureEnums.RecommendedResult.Warning ? Color.alertBackground
         : type === CoreMeasureEnums.RecommendedResult.Error ? Color.errorBackground
         : primary ? Material.primaryTextColor
         : Material.secondaryTextColor
}
