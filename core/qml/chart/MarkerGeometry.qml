import QtQuick 2.15

// Where one marker of a marker view lies: its curve point and its argument,
// in pixels of the view, clamped into the plot. A marker whose x lies
// outside the plot is transparent.
Item {
    id: geometry

    property Item markerView: null
    property var marker: null

    // Read so that positions follow ranges, sizes, data and refreshes.
    readonly property var dependencies: markerView ? [markerView.bindingRevision, markerView.width,
        markerView.height, markerView.domain ? markerView.domain.xRange : 0,
        markerView.domain ? markerView.domain.yRange : 0,
        markerView.trace ? markerView.trace.dataRevision : 0] : []
    readonly property real rawX: { dependencies; return marker && markerView ? markerView.pixelX(marker.x) : NaN }
    readonly property real rawArgX: { dependencies; return marker && markerView ? markerView.pixelX(marker.arg) : NaN }
    readonly property real rawY: { dependencies; return marker && markerView ? markerView.curvePixelY(marker.x) : NaN }
    readonly property real pointX: isFinite(rawX) ? clamp(rawX, 0, width) : 0
    readonly property real argX: isFinite(rawArgX) ? clamp(rawArgX, 0, width) : 0
    readonly property real pointY: isFinite(rawY) ? clamp(rawY, 0, height) : height
    readonly property bool inside: isFinite(rawX) && rawX >= 0 && rawX <= width

    function clamp(value, low, high) {
        return Math.min(Math.max(value, low), high)
    }

    anchors.fill: parent
    opacity: inside ? 1 : 0
}
