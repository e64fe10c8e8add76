import QtQuick 2.15
import QtQuick.Controls 2.15
import UnitFormatter 1.0

// A number field: Enter converts the text (SI prefixes allowed), clamps it to
// [min, max] and hands it on with validated().
TextField {
    id: field

    required property real min
    required property real max

    signal validated(real validatedValue)

    function validate() {
        if (text === "")
            return
        var value = UnitFormatter.toMetric(text)
        // The converter answers 0 for text it cannot read; a zero is only
        // taken when the text itself starts with one.
        if (value === 0 && parseFloat(text) !== 0)
            return
        validated(Math.min(Math.max(value, min), max))
    }

    onAccepted: validate()
}
