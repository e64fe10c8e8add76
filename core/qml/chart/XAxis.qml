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

    function labelText(index) {
        if (index < 0 || index >= labels.length)
            return ""
        var value = shownValue(index)
        var sign = ""
        if (deltaMode && index !== middleIndex) {
            value = value - shownValue(middleIndex)
            if (value > 0)
                sign = "+"
        }
        if (!isFinite(value))
            return ""
        return sign + UnitFormatter.toNormalized(value, 11).replace(/\s/g, "")
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
