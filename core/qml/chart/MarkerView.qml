import QtQuick 2.15
import IconShortcuts 1.0

// The markers of one trace over the plot: user markers (draggable along x),
// the reference marker and the moving reference marker with its band.
// Marker objects carry x (following their arg) and visible; their curve
// point is the trace's y at x.
Item {
    id: view

    property bool visibleUserMarkers: false
    property var domain: null
    property color color: "white"
    property var markers: []
    property var referenceMarker: null
    property var movingReferenceMarker: null
    property var trace: null
    property bool active: true
    property url imageSourceActive: Icons.marker
    property url imageSourceInactive: Icons.inactive_marker
    property url imageMarkSource: Icons.mark

    // Raised to re-evaluate every marker position.
    property int bindingRevision: 0

    readonly property int iconSize: 18

    function updateMarkerBinding() {
        bindingRevision++
    }

    // Pixel x of a domain x (from the left edge).
    function pixelX(x) {
        if (!domain)
            return NaN
        return domain.domainToGeometryX(x)
    }

    // Pixel y from the top edge of the trace's curve at domain x.
    function curvePixelY(x) {
        if (!domain || !trace)
            return NaN
        return height - domain.domainToGeometryY(trace.domainY(x))
    }

    function clamp(value, low, high) {
        return Math.min(Math.max(value, low), high)
    }

    function insidePlot(px) {
        return isFinite(px) && px >= 0 && px <= width
    }

    // A drag to pixel x moves the marker there; positions outside the plot
    // are ignored, so the marker stays at its last place inside.
    function dragMarker(marker, px) {
        if (!marker || !domain || !insidePlot(px))
            return false
        marker.arg = domain.geometryToDomainX(px)
        return true
    }

    Connections {
        target: view.domain
        ignoreUnknownSignals: true
        function onSizeChanged() { view.updateMarkerBinding() }
    }

    // User markers.
    Repeater {
        id: userMarkers
        objectName: "userMarkers"
        model: view.markers
        delegate: MarkerGeometry {
            id: userMarker
            markerView: view
            objectName: "userMarker"
            marker: modelData
            visible: view.visibleUserMarkers && marker && marker.visible !== false

            Text {
                objectName: "userMarkerLabel"
                x: userMarker.pointX - width / 2
                y: userMarkerIcon.y - height
                text: view.trace ? view.trace.name : ""
                font.pixelSize: 12
                color: view.color
            }
            TintedIcon {
                id: userMarkerIcon
                objectName: "userMarkerIcon"
                x: userMarker.pointX - width / 2
                y: userMarker.pointY - height
                source: view.imageSourceInactive
                tint: view.color

                MouseArea {
                    anchors.fill: parent
                    preventStealing: true
                    cursorShape: Qt.SizeHorCursor
                    onPositionChanged: if (pressed) view.dragMarker(userMarker.marker, mapToItem(view, mouse.x, mouse.y).x)
                }
            }
            TintedIcon {
                objectName: "userMarkerArgIcon"
                x: userMarker.argX - width / 2
                y: view.height
                rotation: 180
                source: view.imageMarkSource
                tint: view.color

                MouseArea {
                    anchors.fill: parent
                    preventStealing: true
                    cursorShape: Qt.SizeHorCursor
                    onPositionChanged: if (pressed) view.dragMarker(userMarker.marker, mapToItem(view, mouse.x, mouse.y).x)
                }
            }
        }
    }

    // The reference marker; fixed.
    MarkerGeometry {
        id: referenceGeometry
        markerView: view
        objectName: "referenceMarker"
        marker: view.referenceMarker
        visible: marker !== null && marker !== undefined && marker.visible !== false

        Text {
            x: referenceGeometry.pointX - width / 2
            y: referenceIcon.y - height
            text: qsTr("Ref")
            font.pixelSize: 12
            color: view.color
        }
        TintedIcon {
            id: referenceIcon
            objectName: "referenceMarkerIcon"
            x: referenceGeometry.pointX - width / 2
            y: referenceGeometry.pointY - height
            source: view.imageSourceActive
            tinted: false
        }
        TintedIcon {
            objectName: "referenceMarkerArgIcon"
            x: referenceGeometry.argX - width / 2
            y: view.height
            rotation: 180
            source: view.imageMarkSource
            tinted: false
        }
    }

    // The moving reference marker: a faint band from the left edge, a line
    // at the marker and a strip to drag it by.
    MarkerGeometry {
        id: movingGeometry
        markerView: view
        objectName: "movingReferenceMarker"
        marker: view.movingReferenceMarker
        visible: marker !== null && marker !== undefined && marker.visible === true

        Rectangle {
            objectName: "movingMarkerBand"
            x: 0
            width: movingGeometry.pointX
            height: view.height
            color: view.color
            opacity: 0.02
        }
        Rectangle {
            objectName: "movingMarkerLine"
            x: movingGeometry.pointX - 1
            width: 2
            height: view.height
            color: view.color
            opacity: 0.17
        }
        MouseArea {
            objectName: "movingMarkerHandle"
            property bool dragged: false
            x: movingGeometry.pointX - 5
            width: 10
            height: view.height
            preventStealing: true
            cursorShape: Qt.SizeHorCursor
            onPressed: dragged = false
            onPositionChanged: {
                if (pressed && view.dragMarker(movingGeometry.marker, mapToItem(view, mouse.x, mouse.y).x))
                    dragged = true
            }
            onReleased: {
                if (dragged && movingGeometry.marker)
                    movingGeometry.marker.onPositionChanged()
                dragged = false
            }
        }
    }
}
