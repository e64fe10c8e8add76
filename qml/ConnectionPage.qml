import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import Color 1.0
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/core/qml/controls"

// Wizard step 2: the measurement arrangements of a set-up (A-B, A-A, B-B
// thru, reflect, DUT step) and the analyser port of every fixture port.
VukPage {
    id: page

    readonly property var fixtureSetups: backend ? backend.getFixtureSetups() : null
    readonly property var vna: backend ? backend.getVnaDevice() : null
    // The analyser's port count, taken as 1 while it has not reported it.
    readonly property int vnaPortsCount: vna && vna.portsCount !== undefined && vna.portsCount !== null
                                         ? vna.portsCount : 1

    readonly property string thruText: qsTr("Transmission measurement<br>2xThrough method")
    readonly property string reflectText: qsTr("Reflection measurement<br>1xReflect method")

    // True when a tab of a set-up shows a connection or a port error.
    function anyTabHasError() {
        for (var i = 0; i < tabsRepeater.count; ++i) {
            var loader = tabsRepeater.itemAt(i)
            if (loader && loader.item && (loader.item.connectionError || loader.item.portError))
                return true
        }
        return false
    }

    // The 1-based analyser ports of a connection, comma-separated.
    function portList(connection) {
        if (!connection)
            return ""
        var ports = connection.attachedPorts.toVector
        var texts = []
        for (var i = 0; i < ports.length; ++i)
            texts.push(ports[i] + 1)
        return texts.join(", ")
    }

    name: qsTr("Fixture connection")
    description: qsTr("Point out the required fixture connections and assign the VNA ports. This is a preparation step for performing the fixture measurements")
    icon: "qrc:/resources/icons/connection.png"
    // The wizard's mark of the page once it is done.
    property var hasError: done && anyTabHasError() ? CoreMeasureEnums.RecommendedResult.Error : undefined

    readonly property color tableBorder: Color.isDark ? "#545454" : "#f2f2f2"
    full_description: qsTr("<h2>Step 2. Fixture connection</h2>"
        + "<p>Point out the fixture connections for the measurement steps and assign a VNA port to every fixture port.</p>"
        + "<h3>Measurement steps</h3>"
        + "<table border=1 cellpadding=4 style='border-color:%1'>"
        + "<tr><th>Fixtures</th><th>Steps</th><th>Methods</th></tr>"
        + "<tr><td>A or B alone</td><td>1</td><td>1xReflect</td></tr>"
        + "<tr><td>A and B connected together</td><td>1</td><td>2xThrough</td></tr>"
        + "<tr><td>A and B, each alone</td><td>2</td><td>1xReflect or 2xThrough for each</td></tr>"
        + "<tr><td>Any of the above plus the DUT</td><td>2 or 3</td><td>the above and the DUT step</td></tr>"
        + "</table>"
        + "<h3>Methods</h3>"
        + "<p><b>1xReflect</b>: the fixture is terminated by an open and/or a short standard.</p>"
        + "<p><b>2xThrough</b>: two fixtures are connected to each other. "
        + "The number of input and output ports of two connected fixtures should be the same.</p>"
        + "<h3>Options</h3>"
        + "<p><b>A - B Connection</b>: fixtures A and B are connected directly (2xThrough).</p>"
        + "<p><b>A - A Connection</b> and <b>B - B Connection</b>: two identical fixtures A (or B) are connected as a THRU. "
        + "ON means 2xThrough, OFF means 1xReflect.</p>"
        + "<p><b>CAL \u2260 DUT</b>: the calibration fixture and the DUT fixture are different; an extra DUT step is added. "
        + "This mode is available only with the time gating method.</p>"
        + "<h3>Port assignment</h3>"
        + "<p>Choose the VNA port of every fixture port. A port used twice is marked: reassign the ports before measuring.</p>")
        .arg(tableBorder)

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        VukFixtureTabBar {
            id: tabBar
            objectName: "setupTabBar"
            Layout.fillWidth: true
            visible: false
            currentIndex: page.fixtureSetups ? page.fixtureSetups.selected : -1

            Repeater {
                model: page.fixtureSetups ? page.fixtureSetups.count : 0
                TabButton {
                    text: qsTr("Configuration ") + (index + 1)
                    onClicked: page.fixtureSetups.selected = index
                }
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
            objectName: "connectionTab"

            property var vukSetup: null
            readonly property var connA: vukSetup ? vukSetup.leftFixtureConn : null
            readonly property var connAAux: vukSetup ? vukSetup.leftFixtureAuxConn : null
            readonly property var connB: vukSetup ? vukSetup.rightFixtureConn : null
            readonly property var connBAux: vukSetup ? vukSetup.rightFixtureAuxConn : null
            readonly property bool aEnabled: vukSetup ? vukSetup.leftFixtureEnabled : false
            readonly property bool bEnabled: vukSetup ? vukSetup.rightFixtureEnabled : false
            readonly property bool abThru: vukSetup ? vukSetup.abThruConnectionEnabled : false
            readonly property bool aa: vukSetup ? vukSetup.aaConnectionEnabled : false
            readonly property bool bb: vukSetup ? vukSetup.bbConnectionEnabled : false
            readonly property bool abDut: vukSetup ? vukSetup.abDutConnectionEnabled : false
            readonly property int aPorts: connA ? connA.fixture.portsCount : 0
            readonly property int bPorts: connB ? connB.fixture.portsCount : 0
            // The set-up applies the method rules (a side measured by
            // 1xReflect that the method cannot calculate, the DUT step).
            readonly property bool aConnectionError: vukSetup ? vukSetup.leftReflectUnsupported : false
            readonly property bool bConnectionError: vukSetup ? vukSetup.rightReflectUnsupported : false
            readonly property bool dutAvailable: vukSetup ? vukSetup.dutStepAvailable : false
            readonly property bool connectionError: aConnectionError || bConnectionError

            // A port clash on any shown and enabled connection of an enabled
            // side (from the arrangement, not from the items' visibility,
            // which follows the page being shown).
            readonly property bool portError:
                (aEnabled && abThru && abA.hasError)
                || (aEnabled && abThru && bEnabled && abB.hasError)
                || (aEnabled && !abThru && ownA.hasError)
                || (aEnabled && !abThru && aa && ownAAux.hasError)
                || (bEnabled && !abThru && ownB.hasError)
                || (bEnabled && !abThru && bb && ownBAux.hasError)

            function only(list) {
                var result = []
                for (var i = 0; i < list.length; ++i) {
                    if (list[i])
                        result.push(list[i])
                }
                return result
            }

            RowLayout {
                anchors.fill: parent
                anchors.margins: 10
                spacing: 20

                // Left part: the arrangements of the set-up.
                ScrollView {
                    id: arrangements
                    objectName: "arrangements"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    // A width of its own for the layout: its implicit width
                    // follows the content width, which follows its width,
                    // and the row would lay itself out again and again.
                    Layout.preferredWidth: 400
                    // Never narrower than its widest arrangement, whose port
                    // choices would be cut at the edge.
                    Layout.minimumWidth: arrangementColumn.implicitWidth + leftPadding + rightPadding
                    clip: true
                    contentWidth: availableWidth

                    ColumnLayout {
                        id: arrangementColumn
                        width: arrangements.availableWidth
                        spacing: 24

                        // A-B thru.
                        ColumnLayout {
                            objectName: "abThruArrangement"
                            visible: tab.aEnabled && tab.abThru
                            Layout.alignment: Qt.AlignHCenter
                            spacing: 6

                            Label {
                                objectName: "caption"
                                textFormat: Text.StyledText
                                text: qsTr("Connection 1. ") + page.thruText
                            }

                            RowLayout {
                                spacing: 0
                                VukVNAFixtureConnection {
                                    id: abA
                                    objectName: "connectionA"
                                    vnaFixtureConn: tab.connA
                                    direction: Port.Direction.Left
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.bEnabled ? tab.connB : null])
                                }
                                Rectangle {
                                    objectName: "bar"
                                    Layout.preferredWidth: 40
                                    Layout.preferredHeight: 8
                                    color: Color.vukFixture
                                }
                                VukVNAFixtureConnection {
                                    id: abB
                                    objectName: "connectionB"
                                    visible: tab.bEnabled
                                    vnaFixtureConn: tab.connB
                                    direction: Port.Direction.Right
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.aEnabled ? tab.connA : null])
                                }
                            }
                        }

                        // A alone: A-A thru or reflect.
                        ColumnLayout {
                            objectName: "aArrangement"
                            visible: tab.aEnabled && !tab.abThru
                            Layout.alignment: Qt.AlignHCenter
                            spacing: 6

                            Label {
                                objectName: "caption"
                                textFormat: Text.StyledText
                                text: qsTr("Connection 1. ") + (tab.aa ? page.thruText : page.reflectText)
                            }

                            RowLayout {
                                spacing: 0
                                VukVNAFixtureConnection {
                                    id: ownA
                                    objectName: "connectionA"
                                    vnaFixtureConn: tab.connA
                                    direction: Port.Direction.Left
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.bEnabled ? tab.connB : null, tab.aa ? tab.connAAux : null])
                                }
                                Rectangle {
                                    objectName: "bar"
                                    Layout.preferredWidth: 40
                                    Layout.preferredHeight: 8
                                    color: tab.aa ? Color.vukFixture : "transparent"
                                }
                                VukVNAFixtureConnection {
                                    id: ownAAux
                                    objectName: "connectionAAux"
                                    enabled: tab.aa
                                    vnaFixtureConn: tab.connAAux
                                    direction: Port.Direction.Right
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.connA])
                                }
                            }
                        }

                        // B alone: B-B thru or reflect.
                        ColumnLayout {
                            objectName: "bArrangement"
                            visible: tab.bEnabled && !tab.abThru
                            Layout.alignment: Qt.AlignHCenter
                            spacing: 6

                            Label {
                                objectName: "caption"
                                textFormat: Text.StyledText
                                text: qsTr("Connection ") + (tab.aEnabled ? 2 : 1) + ". "
                                      + (tab.bb ? page.thruText : page.reflectText)
                            }

                            RowLayout {
                                spacing: 0
                                VukVNAFixtureConnection {
                                    id: ownB
                                    objectName: "connectionB"
                                    vnaFixtureConn: tab.connB
                                    direction: Port.Direction.Left
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.aEnabled ? tab.connA : null, tab.bb ? tab.connBAux : null])
                                }
                                Rectangle {
                                    objectName: "bar"
                                    Layout.preferredWidth: 40
                                    Layout.preferredHeight: 8
                                    color: tab.bb ? Color.vukFixture : "transparent"
                                }
                                VukVNAFixtureConnection {
                                    id: ownBAux
                                    objectName: "connectionBAux"
                                    enabled: tab.bb
                                    vnaFixtureConn: tab.connBAux
                                    direction: Port.Direction.Right
                                    portsCount: page.vnaPortsCount
                                    check: tab.only([tab.connB])
                                }
                            }
                        }

                        // The DUT step.
                        ColumnLayout {
                            objectName: "dutArrangement"
                            visible: tab.abDut
                            Layout.alignment: Qt.AlignHCenter
                            spacing: 6

                            Label {
                                objectName: "caption"
                                textFormat: Text.StyledText
                                text: qsTr("Connection ")
                                      + ((tab.abThru ? 1 : (tab.aEnabled ? 1 : 0) + (tab.bEnabled ? 1 : 0)) + 1)
                                      + qsTr(". DUT in-fixture measurement setup")
                            }

                            RowLayout {
                                spacing: 0

                                Label {
                                    objectName: "portsA"
                                    visible: tab.aEnabled
                                    rightPadding: 8
                                    text: qsTr("Ports: ") + "\n" + page.portList(tab.connA)
                                }
                                VukFixture {
                                    id: dutA
                                    objectName: "dutFixtureA"
                                    visible: tab.aEnabled
                                    Layout.preferredWidth: 130
                                    Layout.preferredHeight: preferredHeight
                                    fixture: tab.connA ? tab.connA.fixture : null
                                    direction: Port.Direction.Left
                                }
                                VukDUT {
                                    objectName: "dutBox"
                                    Layout.preferredWidth: 60
                                    Layout.preferredHeight: implicitHeight
                                    a_fixture: dutA
                                    b_fixture: dutB
                                }
                                VukFixture {
                                    id: dutB
                                    objectName: "dutFixtureB"
                                    visible: tab.bEnabled
                                    Layout.preferredWidth: 130
                                    Layout.preferredHeight: preferredHeight
                                    fixture: tab.connB ? tab.connB.fixture : null
                                    direction: Port.Direction.Right
                                }
                                Label {
                                    objectName: "portsB"
                                    visible: tab.bEnabled
                                    leftPadding: 8
                                    text: qsTr("Ports: ") + "\n" + page.portList(tab.connB)
                                }
                            }
                        }
                    }
                }

                // Right column: the arrangement switches.
                ColumnLayout {
                    Layout.preferredWidth: 300
                    Layout.maximumWidth: 340
                    Layout.alignment: Qt.AlignTop
                    spacing: 8

                    Label {
                        objectName: "noFixtureWarning"
                        Layout.fillWidth: true
                        visible: !tab.aEnabled && !tab.bEnabled
                        wrapMode: Text.WordWrap
                        color: Color.alertBackground
                        text: qsTr("Warning: You must select one/more fixtures")
                    }

                    ColumnLayout {
                        visible: tab.aEnabled && tab.bEnabled && tab.aPorts === tab.bPorts
                        Label {
                            // Wraps within the column where a translation is longer.
                            Layout.maximumWidth: 300
                            wrapMode: Text.WordWrap
                            text: qsTr("Connect directly:")
                        }
                        Switch {
                            objectName: "abSwitch"
                            text: qsTr("A - B Connection")
                            enabled: tab.aPorts === tab.bPorts
                            checked: tab.abThru
                            onCheckedChanged: if (tab.vukSetup) tab.vukSetup.abThruConnectionEnabled = checked
                        }
                    }

                    ColumnLayout {
                        visible: tab.aEnabled
                        Label {
                            Layout.maximumWidth: 300
                            wrapMode: Text.WordWrap
                            text: qsTr("Use 2 Fixtures A as THRU:")
                        }
                        RowLayout {
                            Switch {
                                objectName: "aaSwitch"
                                text: qsTr("A - A Connection")
                                checked: tab.aa
                                onCheckedChanged: if (tab.vukSetup) tab.vukSetup.aaConnectionEnabled = checked
                            }
                            VukWarning {
                                objectName: "aaErrorMark"
                                Layout.preferredWidth: 20
                                Layout.preferredHeight: 20
                                visible: tab.aConnectionError
                                type: CoreMeasureEnums.RecommendedResult.Error
                                toolTip.description: qsTr("The bisection method does not support the 1xReflect setup. It requires a direct connection of two fixtures.")
                            }
                        }
                    }

                    ColumnLayout {
                        visible: tab.bEnabled
                        Label {
                            Layout.maximumWidth: 300
                            wrapMode: Text.WordWrap
                            text: qsTr("Use 2 Fixtures B as THRU:")
                        }
                        RowLayout {
                            Switch {
                                objectName: "bbSwitch"
                                text: qsTr("B - B Connection")
                                checked: tab.bb
                                onCheckedChanged: if (tab.vukSetup) tab.vukSetup.bbConnectionEnabled = checked
                            }
                            VukWarning {
                                objectName: "bbErrorMark"
                                Layout.preferredWidth: 20
                                Layout.preferredHeight: 20
                                visible: tab.bConnectionError
                                type: CoreMeasureEnums.RecommendedResult.Error
                                toolTip.description: qsTr("The bisection method does not support the 1xReflect setup. It requires a direct connection of two fixtures.")
                            }
                        }
                    }

                    ColumnLayout {
                        visible: tab.dutAvailable
                        enabled: visible
                        Label {
                            Layout.maximumWidth: 300
                            wrapMode: Text.WordWrap
                            text: qsTr("CAL fixture and DUT fixture are different:")
                        }
                        Switch {
                            objectName: "dutSwitch"
                            text: qsTr("CAL \u2260 DUT")
                            checked: tab.abDut
                            onCheckedChanged: if (tab.vukSetup) tab.vukSetup.abDutConnectionEnabled = checked
                        }
                    }
                }
            }
        }
    }
}
