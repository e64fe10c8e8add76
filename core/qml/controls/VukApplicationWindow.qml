import QtQuick 2.15
import QtQuick.Controls 2.15

// Plain variant: the interface only.
ApplicationWindow {
    enum UiTheme {
        Dark = 0,
        Light = 1
    }

    property int theme: VukApplicationWindow.UiTheme.Dark
}
