import QtQuick 2.15
import QtTest 1.15
import com.korvel.chart 1.0
import "qrc:/core/qml/chart"

// The tick labels of the two axes: texts, which x labels are shown where,
// and the y labels' rows.
Item {
    id: testRoot
    width: 600
    height: 400

    Component {
        id: xAxisComponent
        XAxis {
            width: 400
            height: 40
        }
    }

    Component {
        id: yAxisComponent
        YAxis {
            width: 80
            height: 200
        }
    }

    TestCase {
        name: "Axes"
        when: windowShown

        function makeXAxis(labels, toPixel, properties) {
            var props = properties || {}
            props.labels = labels
            props.domainToGeometryX = toPixel
            var axis = createTemporaryObject(xAxisComponent, testRoot, props)
            verify(axis)
            return axis
        }

        function label(axis, index) {
            return axis.labelRepeater.itemAt(index)
        }

        // Waits for the deferred placement of the labels.
        function placed(axis) {
            tryVerify(function() {
                for (var i = 0; i < axis.labelRepeater.count; ++i)
                    if (label(axis, i).shown)
                        return true
                return axis.labelRepeater.count === 0
            }, 2000)
        }

        function shownIndices(axis) {
            var shown = []
            for (var i = 0; i < axis.labelRepeater.count; ++i)
                if (label(axis, i).shown)
                    shown.push(i)
            return shown
        }

        function test_labelTexts_data() {
            return [
                // One prefix for the whole axis, the largest label's.
                { tag: "plain", labels: [0, 500, 1000, 1500], props: {}, texts: ["0", "0.5k", "1k", "1.5k"] },
                { tag: "below one", labels: [0.8, 0.6, 0.4, 0.2, 0], props: {},
                  texts: ["0.8", "0.6", "0.4", "0.2", "0"] },
                { tag: "frequencies", labels: [5e8, 1e9, 1.5e9, 2e9], props: {}, texts: ["0.5G", "1G", "1.5G", "2G"] },
                // A log axis spans decades: each label its own prefix.
                { tag: "log", labels: [0, 1, 2, 3], props: { isLog: true }, texts: ["1", "10", "100", "1k"] },
                // The middle label (index 1) keeps its value; the others show the difference.
                { tag: "delta", labels: [1e9, 1.5e9, 2e9], props: { deltaMode: true },
                  texts: ["-500M", "1.5G", "+500M"] },
                { tag: "deltaShared", labels: [0.2e9, 0.6e9, 1e9, 1.4e9, 1.8e9], props: { deltaMode: true },
                  texts: ["-0.8G", "-0.4G", "1G", "+0.4G", "+0.8G"] },
                { tag: "deltaLog", labels: [0, 1, 2], props: { deltaMode: true, isLog: true },
                  texts: ["-9", "10", "+90"] },
                { tag: "nonFinite", labels: [NaN, 1, 400], props: { isLog: true }, texts: ["", "10", ""] },
            ]
        }

        function test_labelTexts(data) {
            var axis = makeXAxis(data.labels, function(v) { return v }, data.props)
            compare(axis.labelRepeater.count, data.texts.length)
            for (var i = 0; i < data.texts.length; ++i)
                compare(label(axis, i).text, data.texts[i], "label " + i)
        }

        function test_labelsThatFitAreCentredOnTheirValues() {
            // Values 0 .. 9 at 20 .. 380 pixels, wide apart.
            var toPixel = function(v) { return 20 + 40 * v }
            var axis = makeXAxis([0, 1, 2, 3, 4, 5, 6, 7, 8, 9], toPixel)
            placed(axis)
            compare(shownIndices(axis), [0, 1, 2, 3, 4, 5, 6, 7, 8, 9])
            for (var i = 0; i < 10; ++i) {
                var item = label(axis, i)
                fuzzyCompare(item.x + item.width / 2, toPixel(i), 0.01)
                verify(item.visible)
            }
        }

        function test_labelsOutsideTheAxisAreHidden() {
            // The first label is centred on the left edge, the last one beyond
            // the right edge: neither fits.
            var axis = makeXAxis([0, 1, 2, 3, 4], function(v) { return 100 * v + (v === 4 ? 10 : 0) })
            placed(axis)
            compare(shownIndices(axis), [1, 2, 3])
            verify(!label(axis, 0).visible)
        }

        function test_crowdedLabelsGiveWayToTheMiddleAndToTheirLeftNeighbour() {
            // Eleven wide labels 30 pixels apart: the middle one (index 5)
            // always shows; the others show from the left while they clear
            // the last shown one and the middle one.
            var values = []
            for (var i = 0; i < 11; ++i)
                values.push(111111 + i * 11111.1)
            var toPixel = function(v) { return 50 + (v - 111111) / 11111.1 * 30 }
            var axis = makeXAxis(values, toPixel)
            placed(axis)
            var shown = shownIndices(axis)
            verify(shown.indexOf(5) >= 0)
            verify(shown.length < 11)
            var middle = label(axis, 5)
            for (var j = 0; j < 11; ++j) {
                var item = label(axis, j)
                fuzzyCompare(item.x + item.width / 2, toPixel(values[j]), 0.01)
                if (j === 5)
                    continue
                var overlapsMiddle = item.x + item.width >= middle.x && item.x <= middle.x + middle.width
                var inside = item.x >= 0 && item.x + item.width <= axis.width
                // The last shown label left of this one.
                var left = null
                for (var k = j - 1; k >= 0; --k)
                    if (k !== 5 && label(axis, k).shown) {
                        left = label(axis, k)
                        break
                    }
                var clearOfLeft = left === null || item.x > left.x + left.width
                compare(item.shown, inside && !overlapsMiddle && clearOfLeft, "label " + j)
            }
            // The labels are wider than their spacing, so neighbours never both show.
            verify(label(axis, 0).width > 30)
            for (j = 1; j < 11; ++j)
                verify(!(label(axis, j).shown && label(axis, j - 1).shown), "labels " + (j - 1) + " and " + j)
        }

        function test_placementFollowsWidthAndLabels() {
            var axis = makeXAxis([0, 1, 2], function(v) { return v * axis.width / 2 })
            placed(axis)
            compare(shownIndices(axis), [1])
            fuzzyCompare(label(axis, 1).x + label(axis, 1).width / 2, 200, 0.01)
            axis.width = 300
            tryCompare(label(axis, 1), "x", 150 - label(axis, 1).width / 2)
            axis.labels = [0.5, 1, 1.5]
            tryVerify(function() { return shownIndices(axis).length === 3 }, 2000)
            // The axis shares the plain unit of its largest label.
            compare(label(axis, 0).text, "0.5")
        }

        function test_yLabelsSitOnEvenRowsFromTopToBottom() {
            var axis = createTemporaryObject(yAxisComponent, testRoot, { yRange: Qt.point(0, 10) })
            compare(axis.labels.length, 11)
            compare(axis.divisions, 11)
            compare(axis.labels[0], 10)
            compare(axis.labels[10], 0)
            var view = axis.pathView_
            compare(view.count, 11)
            waitForRendering(axis)
            var rows = 0
            for (var i = 0; i < view.children.length; ++i) {
                var item = view.children[i]
                if (item.text === undefined)
                    continue
                // Whole numbers without a prefix: the number and a blank, 0 alone.
                var value = parseFloat(item.text)
                compare(item.text, value === 0 ? "0" : value + " ")
                var centre = item.y + item.height / 2
                fuzzyCompare(centre, (10 - value) * 20, 0.5)
                // Labels end just left of the plot.
                verify(item.x + item.width <= axis.width && item.x + item.width > axis.width - 10)
                ++rows
            }
            compare(rows, 11)
        }

        // One prefix for every label of the axis, where label by label the
        // small ones would take milli.
        function test_yLabelsShareOnePrefix_data() {
            return [
                { tag: "below one", range: Qt.point(0, 0.8), texts: ["0.8 ", "0.6 ", "0.4 ", "0.2 ", "0"] },
                { tag: "milli", range: Qt.point(-0.004, 0.004),
                  texts: ["4 m", "2 m", "0", "-2 m", "-4 m"] },
                { tag: "kilo", range: Qt.point(200, 1000),
                  texts: ["1 k", "0.8 k", "0.6 k", "0.4 k", "0.2 k"] },
            ]
        }

        function test_yLabelsShareOnePrefix(data) {
            var axis = createTemporaryObject(yAxisComponent, testRoot, { yRange: data.range })
            axis.labels = NiceLabels.looseLabels(data.range.x, data.range.y, 5)
            compare(axis.labelTexts, data.texts)
        }

        function test_yLabelsFollowTheRange() {
            var axis = createTemporaryObject(yAxisComponent, testRoot, { yRange: Qt.point(-8, 13) })
            compare(axis.labels, [15, 10, 5, 0, -5, -10])
            axis.yRange = Qt.point(0, 100)
            compare(axis.labels.length, 11)
            compare(axis.labels[0], 100)
            compare(axis.divisions, 11)
            // An empty range has no labels.
            axis.yRange = Qt.point(5, 5)
            compare(axis.divisions, 0)
        }
    }
}
