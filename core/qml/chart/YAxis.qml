import QtQuick 2.15
import UnitFormatter 1.0
import com.korvel.chart 1.0 as KChart

// Tick labels left of the plot: nice labels of the y range, the highest at
// the top edge and the lowest at the bottom edge, with the title reading
// from bottom to top.
Item {
    id: axis

    property string title: ""
    property alias pathView_: pathView
    property bool highlightAllLabels: false
    property point yRange: Qt.point(0, 1)
    property var labels: KChart.NiceLabels.looseLabels(yRange.x, yRange.y)
    property int divisions: labels.length

    // One prefix for every label of the axis.
    readonly property var labelTexts: UnitFormatter.toNormalizedList(labels, 2)

    readonly property int titleWidth: 20
    readonly property real step: divisions > 1 ? height / (divisions - 1) : 0
    readonly property int labelWidth: width - titleWidth - 6
    // Labels end 6 pixels left of the plot.
    readonly property real labelCentreX: titleWidth + labelWidth / 2

    Text {
        objectName: "yAxisTitle"
        anchors.centerIn: titleBox
        rotation: -90
        text: axis.title
        font.pixelSize: 12
        color: "grey"
    }

    Item {
        id: titleBox
        width: axis.titleWidth
        height: parent.height
    }

    PathView {
        id: pathView
        anchors.fill: parent
        interactive: false
        model: axis.labels
        pathItemCount: Math.max(1, axis.divisions)
        // The path runs one step past the bottom so that the n labels sit
        // on the n evenly spaced grid rows from the top to the bottom edge.
        path: Path {
            startX: axis.labelCentreX
            startY: 0
            PathLine {
                x: axis.labelCentreX
                y: pathView.height + axis.step
            }
        }
        delegate: Text {
            width: axis.labelWidth
            horizontalAlignment: Text.AlignRight
            text: index < axis.labelTexts.length ? axis.labelTexts[index] : ""
            font.pixelSize: 12
            font.bold: axis.highlightAllLabels
            color: axis.highlightAllLabels ? "#2239FF" : "grey"
        }
    }
}
