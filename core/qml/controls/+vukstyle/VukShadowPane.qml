import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A raised surface: lighter than its parent in the dark theme, a shadow in
// the light one.
Pane {
    id: pane

    Material.background: {
        var base = pane.parent ? pane.parent.Material.backgroundColor : "transparent"
        return pane.Material.theme === Material.Dark ? Qt.lighter(base, 1.9) : base
    }
    Material.elevation: Material.theme === Material.Dark ? 0 : 2
}
