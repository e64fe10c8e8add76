import QtQuick 2.15
import "qrc:/core/qml/controls/default" as Default

// Plain variant: the interface only; the styled one is in +vukstyle/.
Default.VnaTable {
}
