import QtQuick 2.15
import QtTest 1.15
import com.korvel.chart 1.0
import "qrc:/core/qml/chart"

// The markers of one trace: where they sit on the curve and under the plot,
// how they follow the ranges, and how dragging moves them.
Item {
    id: testRoot
    width: 600
    height: 400

    Component {
        id: sceneComponent
        Item {
            id: scene
            x: 50
            y: 30
            width: 400
            height: 300
            property alias chart: chart
            property alias view: view
            property alias trace: curve
            property alias userMarker: userMarker
            property alias referenceMarker: referenceMarker
            property alias movingMarker: movingMarker

            // y = x over 0 .. 10.
            Trace {
                id: curve
                name: "curve"
                color: "#ED000A"
            }
            QtObject {
                id: userMarker
                property real arg: 5
                property real x: arg
                property bool visible: true
            }
            QtObject {
                id: referenceMarker
                property real arg: 2
                property real x: arg
                property bool visible: true
            }
            QtObject {
                id: movingMarker
                property real arg: 4
                property real x: arg
                property bool visible: false
                property int positionReports: 0
                function onPositionChanged() { positionReports++ }
            }
            // The chart gives the domain its size.
            Chart {
                id: chart
                anchors.fill: parent
            }
            MarkerView {
                id: view
                anchors.fill: parent
                trace: curve
                domain: curve.domain
                color: curve.color
                markers: [userMarker]
                referenceMarker: referenceMarker
                movingReferenceMarker: movingMarker
                visibleUserMarkers: true
            }
            Component.onCompleted: {
                curve.replaceOnPtrData(seriesStore.create([Qt.point(0, 0), Qt.point(10, 10)]))
                curve.domain.xRange = Qt.point(0, 10)
                curve.domain.yRange = Qt.point(0, 10)
                chart.addTrace(curve)
            }
        }
    }

    TestCase {
        name: "MarkerView"
        when: windowShown

        property var scene: null

        function init() {
            scene = createTemporaryObject(sceneComponent, testRoot)
            verify(scene)
            waitForRendering(scene)
        }

        function find(name) {
            return findChild(scene.view, name)
        }

        // Centre of an item in the view's coordinates.
        function centreOf(item) {
            return item.mapToItem(scene.view, item.width / 2, item.height / 2)
        }

        // Bottom centre (the tip of a marker icon).
        function tipOf(item) {
            return item.mapToItem(scene.view, item.width / 2, item.height)
        }

        function test_userMarkerSitsOnTheCurveAndItsArgumentUnderThePlot() {
            var icon = find("userMarkerIcon")
            verify(icon.visible)
            // x = 5 of 0 .. 10 over 400 pixels; y = 5 of 0 .. 10 over 300, from the bottom.
            fuzzyCompare(tipOf(icon).x, 200, 0.01)
            fuzzyCompare(tipOf(icon).y, 150, 0.01)
            var argIcon = find("userMarkerArgIcon")
            fuzzyCompare(centreOf(argIcon).x, 200, 0.01)
            verify(argIcon.mapToItem(scene.view, 0, 0).y >= 300)
            compare(find("userMarkerLabel").text, "curve")

            // The marker follows the curve and the ranges.
            scene.userMarker.arg = 8
            fuzzyCompare(tipOf(icon).x, 320, 0.01)
            fuzzyCompare(tipOf(icon).y, 60, 0.01)
            scene.trace.domain.xRange = Qt.point(0, 20)
            scene.trace.domain.yRange = Qt.point(0, 20)
            fuzzyCompare(tipOf(icon).x, 160, 0.01)
            fuzzyCompare(tipOf(icon).y, 180, 0.01)

            // Hidden with the switch.
            scene.view.visibleUserMarkers = false
            verify(!icon.visible)
        }

        function test_markerOutsideThePlotIsClampedAndTransparent() {
            var geometry = find("userMarker")
            compare(geometry.opacity, 1)
            scene.userMarker.arg = 12 // beyond x = 10
            compare(geometry.opacity, 0)
            var icon = find("userMarkerIcon")
            fuzzyCompare(tipOf(icon).x, 400, 0.01)
            // The curve holds its last y beyond its end: 10, the top edge.
            fuzzyCompare(tipOf(icon).y, 0, 0.01)
            scene.userMarker.arg = -3
            compare(geometry.opacity, 0)
            fuzzyCompare(tipOf(icon).x, 0, 0.01)
            fuzzyCompare(tipOf(icon).y, 300, 0.01)
        }

        function test_positionsFollowThePlotSize() {
            var icon = find("userMarkerIcon")
            scene.width = 200
            scene.height = 100
            fuzzyCompare(tipOf(icon).x, 100, 0.01)
            fuzzyCompare(tipOf(icon).y, 50, 0.01)
        }

        function test_draggingAUserMarkerMovesItsArgument_data() {
            return [{ tag: "curve icon", name: "userMarkerIcon" }, { tag: "axis icon", name: "userMarkerArgIcon" }]
        }

        // Moves the pressed mouse over item to x of the view.
        function moveTo(item, viewX) {
            var p = item.mapFromItem(scene.view, viewX, centreOf(item).y)
            mouseMove(item, p.x, p.y)
        }

        function releaseAt(item, viewX) {
            var p = item.mapFromItem(scene.view, viewX, centreOf(item).y)
            mouseRelease(item, p.x, p.y)
        }

        function test_draggingAUserMarkerMovesItsArgument(data) {
            var icon = find(data.name)
            mousePress(icon, icon.width / 2, icon.height / 2)
            moveTo(icon, 220)
            moveTo(icon, 240)
            // 240 pixels of 400: x = 6.
            fuzzyCompare(scene.userMarker.arg, 6, 1e-9)
            fuzzyCompare(scene.userMarker.x, 6, 1e-9)
            fuzzyCompare(centreOf(icon).x, 240, 0.01)
            // Beyond the right edge the marker stays at its last place inside.
            moveTo(icon, 398)
            fuzzyCompare(scene.userMarker.arg, 9.95, 1e-9)
            moveTo(icon, 450)
            fuzzyCompare(scene.userMarker.arg, 9.95, 1e-9)
            releaseAt(icon, 450)
            fuzzyCompare(scene.userMarker.arg, 9.95, 1e-9)
            // The drag did not reach the chart: no zoom.
            verify(!scene.chart.isZoomed)
        }

        function test_referenceMarkerIsShownAndFixed() {
            var geometry = find("referenceMarker")
            var icon = find("referenceMarkerIcon")
            verify(geometry.visible)
            fuzzyCompare(tipOf(icon).x, 80, 0.01)
            fuzzyCompare(tipOf(icon).y, 240, 0.01)
            fuzzyCompare(centreOf(find("referenceMarkerArgIcon")).x, 80, 0.01)
            mousePress(icon, icon.width / 2, icon.height / 2)
            mouseMove(icon, icon.width / 2 + 50, icon.height / 2)
            mouseRelease(icon, icon.width / 2 + 50, icon.height / 2)
            compare(scene.referenceMarker.arg, 2)
            scene.referenceMarker.visible = false
            verify(!geometry.visible)
        }

        function test_movingMarkerBandLineAndDrag() {
            var geometry = find("movingReferenceMarker")
            verify(!geometry.visible)
            scene.movingMarker.visible = true
            verify(geometry.visible)
            var band = find("movingMarkerBand")
            var line = find("movingMarkerLine")
            var handle = find("movingMarkerHandle")
            // x = 4: 160 pixels.
            compare(band.x, 0)
            fuzzyCompare(band.width, 160, 0.01)
            fuzzyCompare(band.opacity, 0.02, 1e-6)
            fuzzyCompare(line.x + line.width / 2, 160, 0.01)
            compare(line.width, 2)
            fuzzyCompare(line.opacity, 0.17, 1e-6)
            compare(handle.width, 10)
            fuzzyCompare(handle.x + handle.width / 2, 160, 0.01)

            // A click without a drag reports nothing.
            mouseClick(handle)
            compare(scene.movingMarker.positionReports, 0)

            mousePress(handle, 5, 100)
            moveTo(handle, 180)
            moveTo(handle, 200)
            fuzzyCompare(scene.movingMarker.arg, 5, 1e-9)
            fuzzyCompare(band.width, 200, 0.01)
            compare(scene.movingMarker.positionReports, 0)
            releaseAt(handle, 200)
            compare(scene.movingMarker.positionReports, 1)
        }

        function test_refreshReevaluatesPositionsAfterDataChange() {
            var icon = find("userMarkerIcon")
            fuzzyCompare(tipOf(icon).y, 150, 0.01)
            // New points: y = 10 - x. The view reads the curve again on refresh.
            scene.trace.replaceOnPtrData(seriesStore.create([Qt.point(0, 10), Qt.point(10, 0)]))
            scene.view.updateMarkerBinding()
            scene.userMarker.arg = 2
            fuzzyCompare(tipOf(icon).y, 300 - 8 * 30, 0.01)
        }
    }
}
