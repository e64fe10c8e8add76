pragma Singleton
import QtQuick 2.15

// Addresses of the icons the controls and pages show.
QtObject {
    readonly property string back: "qrc:/core/icons/arrow_back_black_24dp.svg"
    readonly property string detach: "qrc:/core/icons/detach.svg"
    readonly property string questionMark: "qrc:/core/icons/questionMark.svg"
    readonly property string settings: "qrc:/core/icons/settings.svg"
    readonly property string list: "qrc:/core/icons/list.svg"
    readonly property string plus: "qrc:/core/icons/plus.svg"
    readonly property string cross: "qrc:/core/icons/cross.png"
    readonly property string checkMark: "qrc:/core/icons/check.svg"
    readonly property string left: "qrc:/core/icons/left.png"
    readonly property string right: "qrc:/core/icons/right.png"
    readonly property string error: "qrc:/core/icons/Error.svg"
    readonly property string warning: "qrc:/core/icons/warning.svg"
    readonly property string marker: "qrc:/core/icons/marker.svg"
    readonly property string inactive_marker: "qrc:/core/icons/inactive-marker.svg"
    readonly property string mark: "qrc:/core/icons/mark.svg"
}
