import QtQuick 2.15

// One step of a Stepper: what its indicator and caption show.
Item {
    property string text
    property bool done: false
    property bool optional: false
    property string alertMessage
    property string supportingText
    // A CoreMeasureEnums.RecommendedResult, or undefined for no result.
    property var hasError: undefined
}
