import QtQuick 2.15
import QtQuick.Controls 2.15

// A tool tip with a heading above its text.
ToolTip {
    property string title
    property string description

    contentWidth: 250
    font.pixelSize: 16
    topPadding: 20
    text: "<h3>" + title + "</h3><br>" + description
}
