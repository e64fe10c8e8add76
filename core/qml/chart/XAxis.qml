import QtQuick 2.15
import UnitFormatter 1.0

// Tick labels under the plot. The middle label is placed first; the others
// follow from left to right wherever they fit without overlapping.
Item {
    id: axis

    property string title: ""
    property bool deltaMode: false
    // Label values are decades: the text shows 10^value.
    property bool isLog: false
    // Maps an x value to a pixel x of the axis.
    property var domainToGeometryX: function(value) { return value }
    property var labels: []

    readonly property int middleIndex: labels.length > 0 ? Math.floor((labels.length - 1) / 2 + 0.5) : -1
    readonly property alias labelRepeater: labelRepeater

    function shownValue(index) {
        var value = Number(labels[index])
        return isLog ? Math.pow(10, value) : value
    }

    // The values the labels show: in delta mode every label but the
    // middle one shows its difference to the middle one.
    function shownValues() {
        var values = []
        for (var i = 0; i < labels.length; ++i) {
            var value = shownValue(i)
            if (deltaMode && i !== middleIndex)
                value = value - shownValue(middleIndex)
            values.push(value)
        }
        return values
    }

    // One prefix for the labels of a linear axis (for the differences alone
    // in delta mode); a log axis spans decades, each label keeps its own.
    readonly property var labelTexts: {
        var values = shownValues()
        var texts = []
        if (isLog) {
            for (var i = 0; i < values.length; ++i)
                texts.push(UnitFormatter.toNormalized(values[i], 11))
        } else if (deltaMode && middleIndex >= 0) {
            var deltas = values.filter(function(v, index) { return index !== middleIndex })
            texts = UnitFormatter.toNormalizedList(deltas, 11)
            texts.splice(middleIndex, 0, UnitFormatter.toNormalized(values[middleIndex], 11))
        } else {
            texts = UnitFormatter.toNormalizedList(values, 11)
        }
        return texts.map(function(text, index) {
            var value = values[index]
            if (!isFinite(value))
                return ""
            var sign = deltaMode && index !== middleIndex && value > 0 ? "+" : ""
            return sign + text.replace(/\s/g, "")
        })
    }

    function labelText(index) {
        if (index < 0 || index >= labelTexts.length)
            return ""
        return labelTexts[index]
    }

    // Positions the labels once the bindings of this frame have settled.
    function adjustView() {
        Qt.callLater(placeLabels)
    }

    function placeLabels() {
        var count = labelRepeater.count
        if (count !== labels.length)
            return // the repeater catches up and calls again
        var items = []
        for (var i = 0; i < count; ++i) {
            var item = labelRepeater.itemAt(i)
            if (!item)
                return
            item.shown = false
            items.push(item)
        }
        if (count === 0)
            return

        var fits = function(left, right) { return left >= 0 && right <= axis.width }
        var centre = function(item, index) {
            var px = domainToGeometryX(Number(labels[index]))
            item.x = isFinite(px) ? px - item.width / 2 : -item.width - 1
            return isFinite(px)
        }

        var middle = items[middleIndex]
        var middleShown = centre(middle, middleIndex) && fits(middle.x, middle.x + middle.width)
        middle.shown = middleShown
        var lastRight = -Infinity
        for (var j = 0; j < count; ++j) {
            if (j === middleIndex)
                continue
            var label = items[j]
            if (!centre(label, j))
                continue
            var left = label.x
            var right = label.x + label.width
            var clearOfMiddle = !middleShown || right < middle.x || left > middle.x + middle.width
            if (fits(left, right) && left > lastRight && clearOfMiddle) {
                label.shown = true
                lastRight = right
            }
        }
    }

    onLabelsChanged: adjustView()
    onWidthChanged: adjustView()
    onDeltaModeChanged: adjustView()
    onIsLogChanged: adjustView()
    onDomainToGeometryXChanged: adjustView()

    Repeater {
        id: labelRepeater
        model: axis.labels
        onCountChanged: axis.adjustView()
        delegate: Text {
            property bool shown: false
            y: 4
            visible: shown
            text: axis.labelText(index)
            font.pixelSize: 12
            color: "grey"
        }
    }

    Text {
        objectName: "xAxisTitle"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 2
        text: axis.title
        font.pixelSize: 12
        color: "grey"
    }
}
