import QtQuick 2.15
import QtQuick.Controls 2.15
import IconShortcuts 1.0

// Plain variant: the interface only; the styled one is in +vukstyle/.
Page {
    property string name
    property string description
    property string icon: Icons.questionMark
    property string full_description: ""
    property var helper_window: null
    property var helper_drawer: null
    property bool active: false
    property bool done: false
    property real minimumContentHeight: 0
}
