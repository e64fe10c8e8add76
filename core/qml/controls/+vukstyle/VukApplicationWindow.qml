import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import "qrc:/core/qml/controls/default" as Default

// The main window: sets the colour theme that every item inherits through
// the Material attached properties, and keeps the Color palette in step.
Default.ApplicationWindow {
    id: window

    enum UiTheme {
        Dark = 0,
        Light = 1
    }

    property int theme: VukApplicationWindow.UiTheme.Dark

    Material.theme: theme === VukApplicationWindow.UiTheme.Light ? Material.Light : Material.Dark
    Material.primary: "#6CA7EB"
    Material.accent: "#EEA260"
    Material.background: theme === VukApplicationWindow.UiTheme.Light ? "#FFFFFF" : "#121212"
    Material.foreground: theme === VukApplicationWindow.UiTheme.Light ? "#212121" : "#E0E0E0"

    Material.onThemeChanged: Color.theme = Material.theme
    Component.onCompleted: Color.theme = Material.theme
}
