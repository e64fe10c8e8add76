import QtQuick 2.15

// The parameter table's base: a narrow first column (the check mark), the
// other columns share the rest of the width. Row 0 is the header row. The
// table scrolls (wheel included) only when its rows do not fit.
TableView {
    id: table

    property var hasError: model ? model.hasError : undefined

    property real headerRowHeight: 56
    // The height of a row, unless a cell's text needs more (a long text
    // wrapped in a narrow window or in a longer translation).
    property real rowHeight: 48
    // The height each cell's content needs, by row and column, as the cells
    // report it (needRowHeight); a row is as high as its highest cell.
    property var _neededHeights: ({})
    property int _neededHeightsRevision: 0

    function needRowHeight(row, column, height) {
        var needs = _neededHeights[row] || {}
        if (needs[column] === height)
            return
        needs[column] = height
        _neededHeights[row] = needs
        _neededHeightsRevision += 1
        Qt.callLater(table.forceLayout)
    }

    function heightOfRow(row) {
        if (row === 0)
            return headerRowHeight
        var height = rowHeight
        var needs = _neededHeights[row] || {}
        for (var column in needs)
            height = Math.max(height, needs[column])
        return height
    }

    // The height that shows every row without scrolling.
    readonly property real fullHeight: {
        var revision = _neededHeightsRevision
        var height = 0
        for (var row = 0; row < rows; ++row)
            height += heightOfRow(row)
        return height
    }

    function columnX(column) {
        return column === 0 ? 0 : 48 + (column - 1) * columnWidthProvider(1)
    }

    columnWidthProvider: function(column) {
        return column === 0 ? 48 : (table.width - 48) / Math.max(1, table.columns - 1)
    }
    rowHeightProvider: function(row) {
        return table.heightOfRow(row)
    }

    // Re-laid out after the change: a width change can arrive in the middle
    // of a layout pass, where an immediate re-layout is refused.
    onWidthChanged: Qt.callLater(table.forceLayout)
    onColumnsChanged: Qt.callLater(table.forceLayout)

    // Known from the row heights (the view would estimate it from the rows
    // it has loaded).
    contentHeight: fullHeight
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: fullHeight > height + 0.5
}
