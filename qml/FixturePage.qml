import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import QtQuick.Dialogs 1.3
import Color 1.0
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/core/qml/controls"
import "filepaths.js" as FilePaths

// Wizard step 1: which fixtures a set-up uses and how many ports each has,
// the correction method of all set-ups, recalling a saved setup and the
// program preset.
VukPage {
    id: page

    readonly property var fixtureSetups: backend ? backend.getFixtureSetups() : null
    readonly property var vna: backend ? backend.getVnaDevice() : null
    // The analyser's port count, taken as 1 while it has not reported it.
    readonly property int vnaPortsCount: vna && vna.portsCount !== undefined && vna.portsCount !== null
                                         ? vna.portsCount : 1
    readonly property var methodValues: [MeasureEnums.CorrectionMethod.TIME_GATING,
                                         MeasureEnums.CorrectionMethod.FILTERING,
                                         MeasureEnums.CorrectionMethod.BISECT]

    // The number of fixture ports a set-up needs on the analyser.
    function fixturePortsCount(setup) {
        if (!setup)
            return 0
        return (setup.leftFixtureEnabled ? setup.leftFixtureConn.fixture.portsCount : 0)
                + (setup.rightFixtureEnabled ? setup.rightFixtureConn.fixture.portsCount : 0)
    }

    function hasPortsError(setup) {
        var n = fixturePortsCount(setup)
        return n > vnaPortsCount || n < 1
    }

    function anySetupHasPortsError() {
        if (!fixtureSetups)
            return false
        var model = fixtureSetups.setups
        for (var i = 0; i < model.size; ++i) {
            if (hasPortsError(model.get(i)))
                return true
        }
        return false
    }

    name: qsTr("Description")
    description: qsTr("Configure fixtures")
    icon: "qrc:/resources/icons/description.png"
    // The wizard's mark of the page once it is done.
    property var hasError: done && anySetupHasPortsError() ? CoreMeasureEnums.RecommendedResult.Error : undefined

    full_description: qsTr("<h2>Step 1. Description</h2>"
        + "<p>Each configuration tab selects the fixtures used for the measurement, the number of their ports "
        + "and the method of the fixture parameters calculation.</p>"
        + "<p>Confirm the fixture configuration and make sure that the VNA has enough ports for the fixture connection.</p>"
        + "<h3>Procedure</h3><ol>"
        + "<li>Check the fixture ports and connectors.</li>"
        + "<li>Choose the number of ports of fixture A and fixture B, or disable one of the fixtures.</li>"
        + "<li>Choose the method of the fixture parameters calculation.</li></ol>"
        + "<h3>Methods</h3>"
        + "<p><b>Time Gating</b> suits fixtures with long leading lines or measurements at high frequencies. "
        + "It supports the 2xThrough and the 1xReflect setups. Use it when the electrical fixture length is greater than 4x the rise time.</p>"
        + "<p><b>Filtering</b> is the most accurate method when the signals of the fixture and the DUT overlap in time. "
        + "It supports the 2xThrough and the 1xReflect setups. Use it when the electrical fixture length is greater than or close to 4x the rise time "
        + "and there are no impedance variations along the fixture length.</p>"
        + "<p><b>Bisection</b> suits fixtures with short leading lines and needs no time-domain processing. "
        + "Bisection method supports 2xThrough only.</p>"
        + "<p>Only single-ended fixture ports (SE) are supported.</p>"
        + "<p>When the fixture ports outnumber the available VNA ports, a warning is shown: further measurements would lead to incorrect results.</p>"
        + "<p><b>Recall setup</b> loads a *.sta file with the VNA settings, the calibration and the settings of the first four tabs "
        + "(description, connection, VNA setup and VNA calibration).</p>"
        + "<p><b>Plug-in preset</b> deletes all measured data without saving it and returns the plug-in to its initial state.</p>"
        + "<h3>Errors</h3>"
        + "<p>Problems are reported in two categories: <b>Warning</b> (the result may be inaccurate) and <b>Critical error</b> "
        + "(the measurement cannot be performed correctly). The details are listed in the notification panel.</p>")

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // The set-up tabs; hidden while the program offers one set-up.
        RowLayout {
            objectName: "setupTabsHeader"
            Layout.fillWidth: true
            visible: false

            VukFixtureTabBar {
                id: tabBar
                objectName: "setupTabBar"
                Layout.fillWidth: true
                currentIndex: page.fixtureSetups ? page.fixtureSetups.selected : -1

                Repeater {
                    model: page.fixtureSetups ? page.fixtureSetups.count : 0
                    TabButton {
                        text: qsTr("Configuration ") + (index + 1)
                        onClicked: page.fixtureSetups.selected = index
                    }
                }
            }

            ToolButton {
                objectName: "addSetupButton"
                text: "+"
                onClicked: page.fixtureSetups.addSetup()
            }
        }

        SwipeView {
            id: swipe
            objectName: "setupSwipe"
            Layout.fillWidth: true
            Layout.fillHeight: true
            interactive: false
            clip: true
            currentIndex: page.fixtureSetups ? page.fixtureSetups.selected : -1

            Repeater {
                id: tabsRepeater
                model: page.fixtureSetups ? page.fixtureSetups.setups : null

                Loader {
                    readonly property var setup: model.value
                    active: !!setup
                    sourceComponent: tabComponent
                    onLoaded: item.vukSetup = Qt.binding(function() { return setup })
                }
            }
        }
    }

    Component {
        id: tabComponent

        Item {
            id: tab
            objectName: "fixtureTab"

            property var vukSetup: null
            readonly property var fixtureA: vukSetup ? vukSetup.leftFixtureConn.fixture : null
            readonly property var fixtureB: vukSetup ? vukSetup.rightFixtureConn.fixture : null
            readonly property bool aEnabled: vukSetup ? vukSetup.leftFixtureEnabled : false
            readonly property bool bEnabled: vukSetup ? vukSetup.rightFixtureEnabled : false
            readonly property int fixturePorts: page.fixturePortsCount(vukSetup)
            readonly property bool portsError: page.hasPortsError(vukSetup)

            RowLayout {
                anchors.fill: parent
                anchors.margins: 10
                spacing: 20

                // Left part: the fixtures and their drawing.
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 10

                    GridLayout {
                        columns: 2
                        columnSpacing: 30
                        Layout.alignment: Qt.AlignHCenter

                        Repeater {
                            // A, then B.
                            model: 2

                            ColumnLayout {
                                readonly property bool isA: index === 0
                                readonly property var fixture: isA ? tab.fixtureA : tab.fixtureB
                                objectName: isA ? "fixtureAColumn" : "fixtureBColumn"

                                CheckBox {
                                    objectName: "fixtureCheckBox"
                                    text: qsTr("Fixture ") + (parent.fixture ? parent.fixture.name : "")
                                    checked: parent.isA ? tab.aEnabled : tab.bEnabled
                                    onCheckedChanged: {
                                        if (!tab.vukSetup)
                                            return
                                        if (parent.isA)
                                            tab.vukSetup.leftFixtureEnabled = checked
                                        else
                                            tab.vukSetup.rightFixtureEnabled = checked
                                    }
                                }

                                ComboBox {
                                    objectName: "portsCountCombo"
                                    Layout.preferredWidth: 150
                                    label: qsTr("Num of ports")
                                    enabled: parent.isA ? tab.aEnabled : tab.bEnabled
                                    // Never shorter than the fixture's own count, so
                                    // an analyser that went away (count unknown)
                                    // leaves the shown count as it is.
                                    model: {
                                        var list = []
                                        var last = Math.max(page.vnaPortsCount,
                                                            parent.fixture ? parent.fixture.portsCount : 1)
                                        for (var i = 1; i <= last; ++i)
                                            list.push(i)
                                        return list
                                    }
                                    currentIndex: parent.fixture ? parent.fixture.portsCount - 1 : -1
                                    // A new list resets the index to its first
                                    // entry: show the fixture's count again.
                                    onModelChanged: currentIndex = Qt.binding(function() {
                                        return parent.fixture ? parent.fixture.portsCount - 1 : -1
                                    })
                                    // Only the user's choice is written: a list that
                                    // changes under the combo never writes back.
                                    onActivated: {
                                        var count = parseInt(textAt(index))
                                        if (parent.fixture && !isNaN(count))
                                            parent.fixture.portsCount = count
                                    }
                                }

                                ComboBox {
                                    objectName: "topologyCombo"
                                    visible: false
                                    label: qsTr("Topology")
                                    model: [qsTr("Single ended"), qsTr("Balanced")]
                                }
                            }
                        }
                    }

                    Item {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        Layout.minimumHeight: drawing.implicitHeight

                        RowLayout {
                            id: drawing
                            objectName: "fixtureDrawing"
                            anchors.centerIn: parent
                            spacing: 0

                            Column {
                                objectName: "portLabelsA"
                                enabled: tab.aEnabled
                                spacing: drawingA.portSpacing
                                Layout.alignment: Qt.AlignVCenter
                                Repeater {
                                    model: tab.fixtureA ? tab.fixtureA.portsCount : 0
                                    Label {
                                        height: drawingA.portHeight
                                        verticalAlignment: Text.AlignVCenter
                                        rightPadding: 4
                                        text: "SE"
                                    }
                                }
                            }

                            VukFixture {
                                id: drawingA
                                objectName: "drawingA"
                                Layout.preferredWidth: 130
                                Layout.preferredHeight: preferredHeight
                                enabled: tab.aEnabled
                                fixture: tab.fixtureA
                                direction: Port.Direction.Left
                                text: qsTr("FIXTURE %1\nIN").arg(tab.fixtureA ? tab.fixtureA.name : "")
                            }

                            VukDUT {
                                objectName: "drawingDut"
                                Layout.preferredWidth: 60
                                Layout.preferredHeight: implicitHeight
                                a_fixture: drawingA
                                b_fixture: drawingB
                            }

                            VukFixture {
                                id: drawingB
                                objectName: "drawingB"
                                Layout.preferredWidth: 130
                                Layout.preferredHeight: preferredHeight
                                enabled: tab.bEnabled
                                fixture: tab.fixtureB
                                direction: Port.Direction.Right
                                text: qsTr("FIXTURE %1\nOUT").arg(tab.fixtureB ? tab.fixtureB.name : "")
                            }

                            Column {
                                objectName: "portLabelsB"
                                enabled: tab.bEnabled
                                spacing: drawingB.portSpacing
                                Layout.alignment: Qt.AlignVCenter
                                Repeater {
                                    model: tab.fixtureB ? tab.fixtureB.portsCount : 0
                                    Label {
                                        height: drawingB.portHeight
                                        verticalAlignment: Text.AlignVCenter
                                        leftPadding: 4
                                        text: "SE"
                                    }
                                }
                            }
                        }
                    }
                }

                // Right column: method, recall, port counts and preset.
                ColumnLayout {
                    Layout.preferredWidth: 320
                    Layout.maximumWidth: 360
                    Layout.fillHeight: true
                    spacing: 12

                    Label {
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: qsTr("Select the method for fixture parameters calculation")
                    }

                    ComboBox {
                        objectName: "methodCombo"
                        Layout.fillWidth: true
                        label: qsTr("Method")
                        model: [qsTr("Time Gating"), qsTr("Filtering"), qsTr("Bisection")]
                        currentIndex: page.fixtureSetups
                                      ? page.methodValues.indexOf(page.fixtureSetups.correctionMethod) : -1
                        onActivated: function(choice) {
                            page.fixtureSetups.correctionMethod = page.methodValues[choice]
                        }
                    }

                    Label {
                        Layout.fillWidth: true
                        Layout.topMargin: 10
                        wrapMode: Text.WordWrap
                        text: qsTr("Recall the saved configuration setup where applicable")
                    }

                    Button {
                        objectName: "recallSetupButton"
                        Layout.preferredWidth: Math.max(185, implicitContentWidth + leftPadding + rightPadding)
                        text: qsTr("Recall setup")
                        onClicked: stateDialog.open()
                    }

                    Label {
                        objectName: "availablePortsLabel"
                        Layout.topMargin: 10
                        text: qsTr("Available VNA ports: ") + page.vnaPortsCount
                    }

                    RowLayout {
                        spacing: 8

                        Label {
                            objectName: "fixturePortsLabel"
                            text: qsTr("Fixture ports: ") + tab.fixturePorts
                        }

                        VukWarning {
                            objectName: "portsErrorMark"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            visible: tab.portsError
                            type: CoreMeasureEnums.RecommendedResult.Error
                            toolTip.description: qsTr("<p align=justify>VNA ports are not enough for the fixture connection. Further measurements will lead to incorrect results.</p>")
                        }
                    }

                    Item { Layout.fillHeight: true }

                    Button {
                        objectName: "presetButton"
                        // 185 wide, wider where a translation needs it.
                        Layout.preferredWidth: Math.max(185, implicitContentWidth + leftPadding + rightPadding)
                        text: qsTr("Plug-in preset")
                        onClicked: presetDialog.open()
                    }
                }
            }
        }
    }

    FileDialog {
        id: stateDialog
        objectName: "stateDialog"
        title: qsTr("Open State File")
        nameFilters: [qsTr("State files (*.sta)")]
        selectExisting: true
        onAccepted: backend.loadState(FilePaths.localPath(fileUrl))
    }

    VukMessageDialog {
        id: presetDialog
        objectName: "presetDialog"
        anchors.centerIn: parent
        width: Math.min(page.width - 40, 460)
        modal: true
        title: qsTr("Plug-in preset")
        informativeText: qsTr("The preset deletes all measured data without saving it and returns the plug-in to its initial state. Perform the plug-in preset?")
        acceptText: qsTr("Perform")
        discardText: qsTr("Cancel")
        onAccepted: {
            close()
            backend.preset()
        }
        onDiscarded: close()
    }
}
