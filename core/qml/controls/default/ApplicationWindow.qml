import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls.Material 2.15

// The main window's base: a templates window painted in the Material colours.
T.ApplicationWindow {
    id: window

    color: Material.backgroundColor

    overlay.modal: Rectangle {
        color: window.Material.backgroundDimColor
        Behavior on opacity { NumberAnimation { duration: 150 } }
    }

    overlay.modeless: Rectangle {
        color: window.Material.backgroundDimColor
        Behavior on opacity { NumberAnimation { duration: 150 } }
    }
}
