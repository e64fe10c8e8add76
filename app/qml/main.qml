import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A minimal main window: the analyser's connection state and the
// notification list of the backend's actions.
ApplicationWindow {
    id: window

    readonly property var vna: backend.getVnaDevice()

    title: qsTr("Quentaro Vukelan")
    minimumWidth: 700
    minimumHeight: 650
    visible: true

    ListModel {
        id: notifications
    }

    Connections {
        target: backend
        function onError(error) {
            notifications.insert(0, { "text": error, "type": "error" })
        }
        function onMessage(message) {
            notifications.insert(0, { "text": message, "type": "message" })
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 16

        Label {
            objectName: "connectionState"
            Layout.alignment: Qt.AlignHCenter
            font.pixelSize: 28
            text: window.vna.isConnected
                  ? qsTr("VNA connected at %1:%2").arg(window.vna.address).arg(window.vna.port)
                  : qsTr("Waiting for VNA")
        }

        BusyIndicator {
            Layout.alignment: Qt.AlignHCenter
            running: !window.vna.isConnected
            visible: running
        }

        ListView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: notifications
            delegate: Label {
                width: ListView.view.width
                wrapMode: Text.Wrap
                color: model.type === "error" ? "#d32f2f" : palette.text
                text: model.text
            }
        }

        Label {
            Layout.alignment: Qt.AlignRight
            opacity: 0.6
            text: qsTr("Version %1").arg(backend.getProjectVersion())
        }
    }
}
