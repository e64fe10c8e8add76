import QtQuick 2.15

// The parameter table's base: a narrow first column (the check mark), the
// other columns share the rest of the width.
TableView {
    id: table

    property var hasError: model ? model.hasError : undefined

    columnWidthProvider: function(column) {
        return column === 0 ? 48 : (table.width - 48) / Math.max(1, table.columns - 1)
    }

    // Re-laid out after the change: a width change can arrive in the middle
    // of a layout pass, where an immediate re-layout is refused.
    onWidthChanged: Qt.callLater(table.forceLayout)
    onColumnsChanged: Qt.callLater(table.forceLayout)

    flickableDirection: Flickable.VerticalFlick
}
