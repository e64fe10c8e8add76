import QtQuick 2.15

// The parameter table's base: a narrow first column (the check mark), the
// other columns share the rest of the width. Row 0 is the header row. The
// table scrolls (wheel included) only when its rows do not fit.
TableView {
    id: table

    property var hasError: model ? model.hasError : undefined

    property real headerRowHeight: 56
    property real rowHeight: 48
    // The height that shows every row without scrolling.
    readonly property real fullHeight: rows > 0 ? headerRowHeight + (rows - 1) * rowHeight : 0

    function columnX(column) {
        return column === 0 ? 0 : 48 + (column - 1) * columnWidthProvider(1)
    }

    columnWidthProvider: function(column) {
        return column === 0 ? 48 : (table.width - 48) / Math.max(1, table.columns - 1)
    }
    rowHeightProvider: function(row) {
        return row === 0 ? table.headerRowHeight : table.rowHeight
    }

    // Re-laid out after the change: a width change can arrive in the middle
    // of a layout pass, where an immediate re-layout is refused.
    onWidthChanged: Qt.callLater(table.forceLayout)
    onColumnsChanged: Qt.callLater(table.forceLayout)

    // Known exactly from the fixed row heights (the view would estimate it
    // from the rows it has loaded).
    contentHeight: fullHeight
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    interactive: fullHeight > height + 0.5
}
