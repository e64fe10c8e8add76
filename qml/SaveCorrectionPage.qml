import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Dialogs 1.3
import QtQuick.Layouts 1.15
import CoreMeasureEnums 1.0
import "qrc:/core/qml/controls"
import "filepaths.js" as FilePaths

// Wizard step 6: hands the calculated fixtures to the analyser software and
// saves them, the setup and the raw data.
VukPage {
    id: page
    objectName: "saveCorrectionPage"

    property var hasError: undefined

    property alias touchstoneDialog: touchstoneDialog
    property alias stateDialog: stateDialog

    // What the Touchstone dialog saves: correction files or raw data.
    readonly property int correctionFiles: 0
    readonly property int rawDataFiles: 1

    // The Touchstone dialog's filters for the two purposes; raw data are
    // Touchstone files of any port count.
    readonly property var correctionFilters: [qsTr("Touchstone files (*.s2p)")]
    readonly property var rawDataFilters: [qsTr("Raw data files (*.s*p)")]

    function askCorrectionFiles() {
        touchstoneDialog.purpose = correctionFiles
        touchstoneDialog.nameFilters = correctionFilters
        touchstoneDialog.open()
    }

    function askRawDataFiles() {
        touchstoneDialog.purpose = rawDataFiles
        touchstoneDialog.nameFilters = rawDataFilters
        touchstoneDialog.open()
    }

    // The dialogs' answers; the writers number their files from a base
    // path, the setup writer adds ".sta" itself when it is missing.
    function saveTouchstone(purpose, url) {
        if (!backend)
            return
        var base = FilePaths.touchstoneBasePath(url)
        if (purpose === rawDataFiles)
            backend.saveRawDataFiles(base)
        else
            backend.saveCorrectionFiles(base)
    }

    function saveSetup(url) {
        if (backend)
            backend.saveState(FilePaths.localPath(url))
    }

    name: qsTr("Results")
    description: qsTr("Apply and save measurement and calculation results")
    icon: "qrc:/resources/icons/save_result.png"
    full_description: qsTr("<h2>Step 6. Results</h2>"
        + "<p><b>Apply</b> hands the calculated fixture files (*.s2p) to the VNA software, which then "
        + "de-embeds them from the measurements. Port 1 (S11) of every file faces the VNA port.</p>"
        + "<p><b>Save correction files</b> stores the calculated fixture files for later use; one file is "
        + "written per VNA port, numbered after it.</p>"
        + "<p><b>Save setup</b> stores a state file (*.sta) with the choices of the description, fixture "
        + "connection, VNA setup and VNA calibration steps.</p>"
        + "<p><b>Save raw data</b> stores the measured data; they can be recalled on the fixture "
        + "measurement page instead of a new measurement.</p>")

    // One row per action: the button in the pane, its title and
    // explanation beside it.
    readonly property int rowHeight: 80

    // The notices of the models Apply would hand over (backend), each
    // {port, summary, detail}; read again whenever they may have changed.
    property var notices: []
    function refreshNotices() {
        notices = backend ? backend.correctionNotices() : []
    }
    onVisibleChanged: if (visible) refreshNotices()
    Component.onCompleted: refreshNotices()

    Connections {
        target: backend
        ignoreUnknownSignals: true
        function onCorrectionNoticesChanged() { page.refreshNotices() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 20

            VukShadowPane {
                id: buttonPane
                objectName: "buttonPane"
                // Buttons of 185 in a pane of 200, both wider where a
                // translation needs the room.
                property real buttonWidth: 185
                Layout.preferredWidth: buttonWidth + 15
                Layout.alignment: Qt.AlignTop
                padding: 0

                Column {
                    width: parent.width

                    Repeater {
                        model: [
                            { name: "applyButton", text: qsTr("Apply") },
                            { name: "saveCorrectionButton", text: qsTr("Save correction files...") },
                            { name: "saveSetupButton", text: qsTr("Save setup...") },
                            { name: "saveRawDataButton", text: qsTr("Save raw data") }
                        ]

                        delegate: Item {
                            width: parent.width
                            height: page.rowHeight

                            Button {
                                objectName: modelData.name
                                anchors.centerIn: parent
                                width: buttonPane.buttonWidth
                                height: 32
                                font.capitalization: Font.MixedCase
                                font.bold: false
                                text: modelData.text
                                Component.onCompleted: buttonPane.buttonWidth = Math.max(buttonPane.buttonWidth,
                                                                                         implicitWidth)
                                onClicked: {
                                    switch (index) {
                                    case 0:
                                        if (backend)
                                            backend.applyCorrection()
                                        break
                                    case 1:
                                        page.askCorrectionFiles()
                                        break
                                    case 2:
                                        stateDialog.open()
                                        break
                                    case 3:
                                        page.askRawDataFiles()
                                        break
                                    }
                                }
                            }
                        }
                    }
                }
            }

            Column {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop

                Repeater {
                    model: [
                        { title: qsTr("Apply results"),
                          text: qsTr("To transmit the calculated data to the VNA software \n and apply them for de-embedding") },
                        { title: qsTr("Save correction files (.sNp)"), text: qsTr("For future use if desired") },
                        { title: qsTr("Save setup"),
                          text: qsTr("To save the current Vukelan settings \n VUK & VNA configuration files") },
                        { title: qsTr("Save raw data"), text: qsTr("To save the raw data") }
                    ]

                    delegate: Item {
                        width: parent.width
                        height: page.rowHeight

                        Column {
                            anchors.verticalCenter: parent.verticalCenter
                            width: parent.width
                            spacing: 2

                            Label {
                                objectName: "title"
                                width: parent.width
                                font.bold: true
                                font.pixelSize: 14
                                text: modelData.title
                            }
                            Label {
                                objectName: "explanation"
                                width: parent.width
                                wrapMode: Text.WordWrap
                                text: modelData.text
                            }
                        }
                    }
                }
            }
        }

        // The warnings of the models to apply, before Apply.
        VukShadowPane {
            objectName: "correctionNotices"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // The title and at least the first notice, on the smallest page.
            Layout.minimumHeight: 110
            visible: page.notices.length > 0
            padding: 10

            ColumnLayout {
                anchors.fill: parent
                spacing: 8

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    VukWarning {
                        Layout.preferredWidth: 20
                        Layout.preferredHeight: 20
                        type: CoreMeasureEnums.RecommendedResult.Warning
                        enableHover: false
                    }
                    Label {
                        objectName: "correctionNoticesTitle"
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        font.bold: true
                        font.pixelSize: 14
                        text: qsTr("Warnings of the fixture models Apply hands to the VNA software (%1):")
                              .arg(page.notices.length)
                    }
                }

                ListView {
                    id: noticeList
                    objectName: "correctionNoticeList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    spacing: 10
                    boundsBehavior: Flickable.StopAtBounds
                    model: page.notices
                    ScrollBar.vertical: ScrollBar {
                        id: noticeScrollBar
                        policy: noticeList.contentHeight > noticeList.height ? ScrollBar.AlwaysOn
                                                                             : ScrollBar.AlwaysOff
                    }

                    delegate: Column {
                        objectName: "correctionNotice"
                        width: noticeList.width - (noticeScrollBar.policy === ScrollBar.AlwaysOn
                                                   ? noticeScrollBar.width + 4 : 0)
                        spacing: 2

                        Label {
                            objectName: "summary"
                            width: parent.width
                            wrapMode: Text.Wrap
                            font.bold: true
                            text: modelData.summary
                        }
                        Label {
                            objectName: "detail"
                            width: parent.width
                            wrapMode: Text.Wrap
                            visible: text.length > 0
                            text: modelData.detail
                        }
                    }
                }
            }
        }

        Item {
            Layout.fillHeight: true
            visible: page.notices.length === 0
        }
    }

    FileDialog {
        id: touchstoneDialog
        property int purpose: page.correctionFiles
        title: qsTr("Save Files")
        selectExisting: false
        nameFilters: [qsTr("Touchstone files (*.s2p)")]
        onAccepted: page.saveTouchstone(purpose, fileUrl)
    }

    FileDialog {
        id: stateDialog
        title: qsTr("Save State File")
        selectExisting: false
        nameFilters: [qsTr("State files (*.sta)")]
        onAccepted: page.saveSetup(fileUrl)
    }
}
