pragma Singleton
import QtQuick 2.15
import QtQuick.Controls.Material 2.15

// The shared palette. `theme` follows the Material theme of the main window
// (VukApplicationWindow copies it here), the rest derives from it.
QtObject {
    property int theme: Material.Dark
    readonly property bool isDark: theme === Material.Dark

    readonly property color errorBackground: "#FF453A"
    readonly property color errorForeground: "#212121"
    readonly property color alertBackground: "#FFD60A"
    readonly property color alertForeground: "#212121"
    readonly property color successBackground: "#32D74B"
    readonly property color successForeground: "#212121"

    readonly property color vukFixture: "#6CC264"
    readonly property color vukDUT: "#2D5B3A"
    readonly property color vukDUTText: isDark ? "white" : "#b1b2b2"

    readonly property color primary: "#B87333"

    readonly property color disabledTextLight: "#60000000"
    readonly property color disabledTextDark: "#60FFFFFF"
    readonly property color disabledText: isDark ? disabledTextDark : disabledTextLight
    readonly property color disabledLine: disabledText

    readonly property color focusedLineLight: primary
    readonly property color focusedLineDark: Qt.lighter(primary, 1.62)
    readonly property color focusedLine: isDark ? focusedLineDark : focusedLineLight
    readonly property color hoveredLine: focusedLine

    readonly property color enabledLineLight: "#1F000000"
    readonly property color enabledLineDark: "#1FFFFFFF"
    readonly property color enabledLine: isDark ? enabledLineDark : enabledLineLight

    readonly property color textHighEmphasisLight: "#DE000000"
    readonly property color textHighEmphasisDark: "#DEFFFFFF"
    readonly property color textHighEmphasis: isDark ? textHighEmphasisDark : textHighEmphasisLight

    readonly property color textMedEmphasisLight: "#99000000"
    readonly property color textMedEmphasisDark: "#9AFFFFFF"
    readonly property color textMedEmphasis: isDark ? textMedEmphasisDark : textMedEmphasisLight
}
