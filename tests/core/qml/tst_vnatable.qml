import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import Color 1.0
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"

// The parameter table over a small table model with the program's roles.
Item {
    id: stage
    width: 600
    height: 400

    TestCase {
        id: testCase
        name: "VnaTable"
        when: windowShown

        Component {
            id: tableComponent
            VukVnaTable { width: 500; height: 300; model: tableFixture }
        }

        function colorIs(actual, expected, what) {
            verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
        }

        function cell(table, row, column) {
            var found = null
            tryVerify(function() {
                var children = table.contentItem.children
                for (var i = 0; i < children.length; ++i) {
                    var c = children[i]
                    if (c.objectName === "cell" && c.cellRow === row && c.cellColumn === column) {
                        found = c
                        return true
                    }
                }
                return false
            }, 2000, "cell " + row + "," + column)
            return found
        }
        function content(table, row, column) {
            return findChild(cell(table, row, column), "cellContent").item
        }

        function test_columnWidthsAndRowHeights() {
            var table = createTemporaryObject(tableComponent, stage)
            compare(cell(table, 1, 0).width, 48)
            for (var c = 1; c < 4; ++c)
                fuzzyCompare(cell(table, 1, c).width, (500 - 48) / 3, 0.5)
            compare(cell(table, 0, 1).height, 56)
            compare(cell(table, 1, 1).height, 48)
            compare(findChild(table, "headerBackground").height, 51)
            compare(table.hasError, 2)

            table.width = 400
            tryVerify(function() { return Math.abs(cell(table, 1, 2).width - (400 - 48) / 3) < 0.5 })
        }

        function test_rowsAreTintedByTheirCheck_data() {
            return [
                { tag: "header", row: 0, colour: "transparent" },
                { tag: "warning", row: 1, colour: "#FFD60A" },
                { tag: "correct", row: 2, colour: "transparent" },
                { tag: "error", row: 3, colour: "#FF453A" }
            ]
        }

        function test_rowsAreTintedByTheirCheck(data) {
            var table = createTemporaryObject(tableComponent, stage)
            for (var c = 0; c < 4; ++c) {
                var tint = findChild(cell(table, data.row, c), "tint")
                colorIs(tint.color, data.colour, "row " + data.row + " column " + c)
                compare(tint.opacity, 0.2)
            }
        }

        function test_checkMarkColumn() {
            var table = createTemporaryObject(tableComponent, stage)
            compare(content(table, 0, 0), null)

            var warningMark = findChild(content(table, 1, 0), "picture").parent
            verify(warningMark.enabled)
            compare(warningMark.type, CoreMeasureEnums.RecommendedResult.Warning)
            compare(warningMark.toolTip.description, "More than 20000 points slow the measurement")
            compare(warningMark.toolTip.font.pixelSize, 17)
            verify(findChild(warningMark, "picture").visible)

            var correctMark = findChild(content(table, 2, 0), "picture").parent
            verify(!correctMark.enabled, "a Correct row shows no mark")
            verify(!findChild(correctMark, "picture").visible)
        }

        function test_textCells() {
            var table = createTemporaryObject(tableComponent, stage)
            var header = content(table, 0, 1)
            compare(header.text, "Settings")
            verify(header.font.bold)
            compare(header.bottomPadding, 5)
            var name = content(table, 1, 1)
            compare(name.text, "Points")
            verify(!name.font.bold)
            compare(name.font.pixelSize, 14)
            compare(content(table, 0, 2).text, "Value")
            compare(content(table, 1, 3).text, "20000")
        }

        function test_readOnlyValueCellShowsUnits() {
            var table = createTemporaryObject(tableComponent, stage)
            var field = content(table, 2, 2)
            compare(field.text, "1 kHz")
            verify(field.readOnly)
            compare(field.result, CoreMeasureEnums.RecommendedResult.Correct)
            compare(field.placeholderText, "---")
        }

        function test_enterSendsTheWholeText() {
            var table = createTemporaryObject(tableComponent, stage)
            var field = content(table, 1, 2)
            compare(field.text, "20001")
            verify(!field.readOnly)
            compare(field.result, CoreMeasureEnums.RecommendedResult.Warning)
            var edits = tableFixture.editCount
            field.forceActiveFocus()
            field.selectAll()
            keyClick(Qt.Key_1)
            keyClick(Qt.Key_5)
            keyClick(Qt.Key_Return)
            compare(tableFixture.editCount, edits + 1)
            compare(tableFixture.lastEditRow, 1)
            compare(tableFixture.lastEditColumn, 2)
            compare(tableFixture.lastEditValue, "15")
            tryCompare(field, "text", "15")

            field.text = "20001"
            keyClick(Qt.Key_Enter)
            compare(tableFixture.lastEditValue, "20001")
        }

        function test_choiceCellWritesTheChosenValue() {
            var table = createTemporaryObject(tableComponent, stage)
            var edits = tableFixture.editCount
            var combo = content(table, 3, 2)
            compare(combo.model, ["MEAS", "BASE"])
            compare(combo.currentText, "BASE")
            compare(tableFixture.editCount, edits, "showing the value writes nothing")

            combo.currentIndex = 0
            compare(tableFixture.editCount, edits + 1)
            compare(tableFixture.lastEditRow, 3)
            compare(tableFixture.lastEditColumn, 2)
            compare(tableFixture.lastEditValue, "MEAS")

            combo.currentIndex = 1
            compare(tableFixture.lastEditValue, "BASE")
        }
    }
}
