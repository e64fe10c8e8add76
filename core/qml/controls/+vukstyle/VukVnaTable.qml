import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls/default" as Default

// A parameter table (BaseTableModel): row 0 is the header, column 0 the check
// mark, column 2 the value (editable where the row has a setter); a row whose
// check fails is tinted with the alert or error colour.
Default.VnaTable {
    id: table

    // The header stays in place while the rows scroll under it: it covers
    // the table's own row 0 with the same texts.
    Rectangle {
        id: header
        objectName: "header"
        parent: table
        z: 2
        width: table.width
        height: table.headerRowHeight
        visible: table.rows > 0
        color: table.Material.backgroundColor

        VukShadowPane {
            objectName: "headerBackground"
            width: parent.width
            height: 51
        }

        Repeater {
            model: Math.max(0, table.columns)

            Label {
                objectName: "headerLabel"
                x: table.columnX(index)
                width: table.columnWidthProvider(index)
                height: header.height
                padding: 5
                leftPadding: 15
                bottomPadding: 10
                text: index === 0 || !table.model ? "" : table.model.data(table.model.index(0, index), 0)
                font.bold: true
                font.pixelSize: 14
                verticalAlignment: Text.AlignVCenter
                horizontalAlignment: Text.AlignLeft
                wrapMode: Text.WordWrap
            }
        }
    }

    // Shown only while the rows do not fit: a bar over all of them would
    // look like one that scrolls.
    ScrollBar.vertical: ScrollBar {
        id: verticalBar
        objectName: "scrollBar"
        parent: table
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        topInset: 51
        topPadding: 51
        policy: table.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
    }

    delegate: Rectangle {
        id: cell
        objectName: "cell"

        readonly property int cellRow: row
        readonly property int cellColumn: column

        // The row's model object: writing its display role edits the row.
        readonly property var cellModel: model
        readonly property bool hasEnumeration: enumerationValues !== undefined && enumerationValues !== null
                                               && enumerationValues.length > 0
        readonly property string unitsText: units !== undefined && units !== null ? units : ""
        readonly property string displayText: display !== undefined && display !== null ? display : ""

        implicitWidth: 140
        implicitHeight: row === 0 ? 56 : 48
        color: "transparent"

        // A cell taken for another row reports what that row needs.
        TableView.onReused: {
            if (content.item && content.item.report)
                content.item.report()
        }

        Loader {
            id: content
            objectName: "cellContent"
            anchors.fill: parent
            anchors.margins: 5
            sourceComponent: column === 0 ? (row === 0 ? null : warningCell)
                           : column === 2 && row > 0 ? (cell.hasEnumeration ? choiceCell : valueCell)
                           : textCell
        }

        Rectangle {
            objectName: "tint"
            anchors.fill: parent
            opacity: 0.2
            color: row === 0 ? "transparent"
                 : recommended === CoreMeasureEnums.RecommendedResult.Warning ? Color.alertBackground
                 : recommended === CoreMeasureEnums.RecommendedResult.Error ? Color.errorBackground
                 : "transparent"
        }

        Component {
            id: warningCell
            Pane {
                padding: 0
                background: null
                VukWarning {
                    anchors.centerIn: parent
                    type: recommended
                    enabled: recommended !== undefined && recommended !== null
                             && recommended !== CoreMeasureEnums.RecommendedResult.Correct
                    toolTip.description: cell.displayText
                    toolTip.contentWidth: 250
                    toolTip.font.pixelSize: 17
                    toolTip.topPadding: 20
                }
            }
        }

        Component {
            id: choiceCell
            ComboBox {
                model: enumerationValues
                currentIndex: enumerationValues.indexOf(cell.displayText)
                onCurrentTextChanged: {
                    if (currentText !== cell.displayText)
                        cell.cellModel.display = currentText
                }
            }
        }

        Component {
            id: valueCell
            VukErrorTextField {
                text: cell.displayText + cell.unitsText
                font.pixelSize: 14
                placeholderText: qsTr("---")
                readOnly: edit !== true
                verticalAlignment: TextInput.AlignVCenter
                horizontalAlignment: TextInput.AlignLeft
                leftPadding: 10
                result: recommended !== undefined && recommended !== null ? recommended : CoreMeasureEnums.RecommendedResult.Correct
                onAccepted: cell.cellModel.display = text
            }
        }

        Component {
            id: textCell
            Label {
                text: cell.displayText
                font.bold: row === 0
                font.pixelSize: 14
                verticalAlignment: Text.AlignVCenter
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignLeft
                leftPadding: 10
                // The last column's text wraps before the scroll bar that
                // lies over the table's right edge.
                rightPadding: column === table.columns - 1 ? verticalBar.width : 0
                bottomPadding: row === 0 ? 5 : 0

                // The row grows to the lines of a long text (the cell's
                // margins around it).
                readonly property real neededHeight: implicitHeight + 10
                function report() {
                    if (row > 0)
                        table.needRowHeight(row, column, neededHeight)
                }
                onNeededHeightChanged: report()
                Component.onCompleted: report()
            }
        }
    }
}
