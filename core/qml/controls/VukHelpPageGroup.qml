import QtQuick 2.15

// Plain variant: the interface only; the styled one is in +vukstyle/.
Item {
    property var pages: []
    property var activePage: null
    property var main_window: null
    property var helper_window: null

    function addPage(page) {
        pages = pages.concat([page])
    }
}
