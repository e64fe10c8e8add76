import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"
import "qrc:/core/qml/controls_v2"

// The program's settings: theme, saved user setup, the analyser's address,
// the remote-control listener and the display scaling.
PageWithReturn {
    id: page
    objectName: "settingsPage"

    readonly property var vna: backend ? backend.getVnaDevice() : null
    readonly property var server: backend ? backend.serverControl : null

    property alias darkThemeSwitch: darkTheme
    property alias saveUserSetupSwitch: saveUserSetup
    property alias ipField: ipField
    property alias portField: portField
    property alias serverSwitch: serverSwitch
    property alias serverPortField: serverPortField
    property alias serverStatus: serverStatus
    property alias restartDialog: restartDialog
    property alias scalingGroup: scalingGroup

    // What the switches show: the dark theme unless it is switched off, the
    // user setup while a name for it is held.
    function darkThemeSetting() {
        return !settings || settings.darkTheme === undefined || settings.darkTheme === null
                || settings.darkTheme === true
    }

    function saveUserSetupSetting() {
        return !!settings && settings.loadedStateFile !== undefined && settings.loadedStateFile !== null
    }

    // Only real changes are written: a switch that follows the setting
    // does not write it back while it follows.
    function storeDarkTheme(on) {
        if (settings && settings.darkTheme !== on)
            settings.darkTheme = on
    }

    function storeSaveUserSetup(on) {
        var name = on ? "loadedStateFile" : undefined
        if (settings && settings.loadedStateFile !== name)
            settings.loadedStateFile = name
    }

    // A default typed in for the user: the field then follows its source
    // again.
    function resetField(field, text, source) {
        field.text = text
        field.text = Qt.binding(source)
    }

    // The analyser's address and port as the fields show them go to the
    // settings and to the analyser link at once.
    function storeAddress() {
        if (!ipField.acceptableInput)
            return
        if (settings)
            settings.ipAddress = ipField.text
        if (vna && vna.address !== ipField.text)
            vna.address = ipField.text
    }

    function storePort() {
        if (!portField.acceptableInput)
            return
        var port = Number(portField.text)
        if (settings)
            settings.port = port
        if (vna && vna.port !== port)
            vna.port = port
    }

    // The page's first state is stored too: opening the page saves the
    // analyser's address and port and the switches' defaults.
    Component.onCompleted: {
        storeAddress()
        storePort()
    }

    function chooseScaling(value) {
        if (backend)
            backend.setScaling(value)
        restartDialog.open()
    }

    title: qsTr("SETTINGS")
    returnAdditionalText: qsTr("plug-in")

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 20

        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 160
            Layout.fillWidth: false
            spacing: 0

            Label {
                Layout.bottomMargin: 10
                font.pixelSize: 20
                font.bold: true
                text: page.title
            }

            ButtonGroup { id: tabs }

            TabButton {
                id: settingsTab
                objectName: "settingsTab"
                Layout.fillWidth: true
                ButtonGroup.group: tabs
                checkable: true
                checked: true
                text: qsTr("Settings")
            }

            TabButton {
                id: displayTab
                objectName: "displayTab"
                Layout.fillWidth: true
                ButtonGroup.group: tabs
                checkable: true
                text: qsTr("Display")
            }
        }

        StackLayout {
            objectName: "settingsContent"
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: displayTab.checked ? 1 : 0

            Flickable {
                clip: true
                contentHeight: settingsColumn.implicitHeight
                boundsBehavior: Flickable.StopAtBounds

                ColumnLayout {
                    id: settingsColumn
                    width: Math.min(parent.width, 520)
                    spacing: 20

                    GroupBox {
                        Layout.fillWidth: true
                        title: qsTr("General")

                        ColumnLayout {
                            anchors.fill: parent

                            // Both switches follow their setting through the
                            // handlers below rather than a binding, because a
                            // change of either one writes the setting.
                            Switch {
                                id: darkTheme
                                objectName: "darkThemeSwitch"
                                // Set once the page has stored its first state.
                                property bool ready: false
                                font.bold: false
                                text: qsTr("Dark theme")
                                onCheckedChanged: if (ready) page.storeDarkTheme(checked)
                                Component.onCompleted: {
                                    checked = page.darkThemeSetting()
                                    if (checked)
                                        page.storeDarkTheme(true)
                                    ready = true
                                }
                            }

                            Switch {
                                id: saveUserSetup
                                objectName: "saveUserSetupSwitch"
                                property bool ready: false
                                font.bold: false
                                text: qsTr("Save user setup")
                                onCheckedChanged: if (ready) page.storeSaveUserSetup(checked)
                                Component.onCompleted: {
                                    checked = page.saveUserSetupSetting()
                                    if (checked)
                                        page.storeSaveUserSetup(true)
                                    ready = true
                                }
                            }

                            Connections {
                                target: settings
                                function onDarkThemeChanged() { darkTheme.checked = page.darkThemeSetting() }
                                function onLoadedStateFileChanged() {
                                    saveUserSetup.checked = page.saveUserSetupSetting()
                                }
                            }
                        }
                    }

                    GroupBox {
                        Layout.fillWidth: true
                        title: qsTr("VNA Network")

                        GridLayout {
                            anchors.fill: parent
                            columns: 3
                            columnSpacing: 10

                            Label {
                                font.bold: false
                                font.pixelSize: 13
                                text: qsTr("IP")
                            }
                            Label {
                                font.bold: false
                                font.pixelSize: 13
                                text: qsTr("Port")
                            }
                            Item { Layout.fillWidth: true }

                            TextField {
                                id: ipField
                                font.bold: false
                                objectName: "ipField"
                                Layout.preferredWidth: 150
                                Layout.preferredHeight: 30
                                text: page.vna ? page.vna.address : ""
                                // Up to four numbers from 0 to 255, dot-separated.
                                validator: RegularExpressionValidator {
                                    regularExpression: /^(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){0,3}$/
                                }
                                // A half-typed address ("192.") reaches neither the
                                // settings nor the analyser link.
                                onTextChanged: page.storeAddress()
                            }

                            TextField {
                                id: portField
                                font.bold: false
                                objectName: "portField"
                                Layout.preferredWidth: 65
                                Layout.preferredHeight: 30
                                text: page.vna ? String(page.vna.port) : ""
                                validator: IntValidator { bottom: 0; top: 65535 }
                                // An emptied field is no port: nothing changes until a
                                // number is typed.
                                onTextChanged: page.storePort()
                            }

                            Button {
                                objectName: "networkDefaultButton"
                                font.bold: false
                                Layout.preferredWidth: 125
                                Layout.preferredHeight: 30
                                text: qsTr("Default")
                                onClicked: {
                                    page.resetField(ipField, "127.0.0.1",
                                                    function() { return page.vna ? page.vna.address : "" })
                                    page.resetField(portField, "5025",
                                                    function() { return page.vna ? String(page.vna.port) : "" })
                                }
                            }
                        }
                    }

                    GroupBox {
                        Layout.fillWidth: true
                        title: qsTr("Network remote control settings")

                        GridLayout {
                            anchors.fill: parent
                            columns: 3
                            columnSpacing: 10

                            Switch {
                                id: serverSwitch
                                font.bold: false
                                objectName: "serverSwitch"
                                Layout.columnSpan: 3
                                text: qsTr("Socket server")
                                checked: page.server !== null && page.server.enabled
                                onToggled: if (page.server) page.server.enabled = checked
                            }

                            // Where the listener listens, or why it cannot.
                            Label {
                                id: serverStatus
                                objectName: "serverStatus"
                                Layout.columnSpan: 3
                                Layout.fillWidth: true
                                wrapMode: Text.Wrap
                                font.bold: false
                                font.pixelSize: 13
                                readonly property bool failed: page.server !== null && page.server.enabled
                                                               && !page.server.listening
                                color: failed ? Material.color(Material.Red) : Material.foreground
                                text: page.server ? page.server.status : ""
                            }

                            Label {
                                font.bold: false
                                font.pixelSize: 13
                                text: qsTr("Port")
                            }

                            TextField {
                                id: serverPortField
                                font.bold: false
                                objectName: "serverPortField"
                                Layout.preferredWidth: 65
                                Layout.preferredHeight: 30
                                text: page.server ? String(page.server.port) : ""
                                validator: IntValidator { bottom: 0; top: 65535 }
                                onTextChanged: {
                                    if (acceptableInput && page.server && page.server.port !== Number(text))
                                        page.server.port = Number(text)
                                }
                            }

                            Button {
                                objectName: "serverDefaultButton"
                                font.bold: false
                                Layout.preferredWidth: 125
                                Layout.preferredHeight: 30
                                text: qsTr("Default")
                                onClicked: page.resetField(serverPortField, "5026",
                                                           function() { return page.server ? String(page.server.port) : "" })
                            }
                        }
                    }
                }
            }

            Item {
                GroupBox {
                    id: scalingGroup
                    objectName: "scalingGroup"
                    width: Math.min(parent.width, 520)
                    title: qsTr("Display propeties")

                    readonly property var choice: settings ? settings.scalingFactor : undefined

                    ColumnLayout {
                        anchors.fill: parent

                        Repeater {
                            model: [
                                { text: qsTr("Small"), value: "1.0" },
                                { text: qsTr("Medium"), value: "1.25" },
                                { text: qsTr("Large"), value: "1.5" }
                            ]

                            delegate: RadioButton {
                                font.bold: false
                                objectName: "scaling" + modelData.value
                                text: modelData.text
                                checked: scalingGroup.choice === modelData.value
                                         || (index === 0 && (scalingGroup.choice === undefined
                                                             || scalingGroup.choice === null))
                                onClicked: page.chooseScaling(modelData.value)
                            }
                        }
                    }
                }
            }
        }
    }

    VukMessageDialog {
        id: restartDialog
        objectName: "restartDialog"
        anchors.centerIn: parent
        modal: true
        title: qsTr("Restart required")
        informativeText: qsTr("The display scaling change will take effect after restart.")
        acceptText: qsTr("Restart now")
        discardText: qsTr("Later")
        onAccepted: if (backend) backend.restart()
        onDiscarded: close()
    }
}
