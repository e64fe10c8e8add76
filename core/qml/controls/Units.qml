pragma Singleton
import QtQuick 2.15

// Unit texts shown after numbers.
QtObject {
    readonly property string secondsUnit: "s"
    readonly property string resistanceUnit: "\u2126"
    readonly property string decibelUnit: "dB"
    readonly property string frequencyUnit: "Hz"
}
