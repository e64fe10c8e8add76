import QtQuick 2.15
import "qrc:/core/qml/controls"

// Stands in for the measurement page: the flags and the signal the wizard
// reads, set by the test.
VukPage {
    name: "Stub measurement"
    property bool isMeasuring: false
    property var hasError: undefined
    signal showCharacterization()
}
