import QtQuick 2.15
import QtQuick.Controls 2.15
import CoreMeasureEnums 1.0

// Plain variant: the interface only; the styled one is in +vukstyle/.
TextField {
    property int result: CoreMeasureEnums.RecommendedResult.Correct
}
