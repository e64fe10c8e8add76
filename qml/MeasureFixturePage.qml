import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import IconShortcuts 1.0
import "qrc:/core/qml/controls"
import "measure_steps"

// Wizard step 5: the steps of each set-up, one at a time, each measured
// from the analyser or recalled from a Touchstone file.
VukPage {
    id: page

    readonly property var fixtureSetups: backend ? backend.getFixtureSetups() : null

    // True while a step measures (from its started() to its finished()).
    property bool isMeasuring: false
    // The steps that have started and not yet finished.
    property int runningSteps: 0
    signal showCharacterization()

    function stepStarted() {
        runningSteps += 1
        isMeasuring = true
    }

    function stepFinished() {
        runningSteps = Math.max(0, runningSteps - 1)
        isMeasuring = runningSteps > 0
    }

    name: qsTr("Fixture measurement")
    description: qsTr("Measure or recall the fixture according to the selected connections")
    icon: "qrc:/resources/icons/measurment.png"
    done: fixtureSetups ? fixtureSetups.allStepsMeasured : true
    // The wizard's mark: an error when any step of any set-up failed, else
    // a warning when the models of a step carry notices.
    property var hasError: !fixtureSetups ? undefined
                           : fixtureSetups.anyStepFailed ? CoreMeasureEnums.RecommendedResult.Error
                           : fixtureSetups.anyStepHasNotices ? CoreMeasureEnums.RecommendedResult.Warning
                           : undefined

    full_description: qsTr("<h2>Step 5. Fixture measurement</h2>"
        + "<p>The calculated fixture S-parameters are sent to the VNA software as *.s2p files, one file per VNA port; "
        + "parameters of the fixture marked Aux are not sent to the analyzer software.</p>"
        + "<p>So far the fixtures have been described, connected and assigned to the VNA ports, and the VNA has been set up and calibrated. "
        + "Now perform the measurement steps one after another with the arrows at the top.</p>"
        + "<h3>2xThrough</h3><ol>"
        + "<li>Connect the two fixtures to each other and press <b>Measure</b>, or press <b>Recall</b> to load a Touchstone file. "
        + "A recalled file supplies the raw S-parameters, the frequency grid and the impedance; a frequency grid that differs from the "
        + "VNA's is interpolated when the file is loaded.</li>"
        + "<li>The results are shown for every port: the electrical length, the fixture impedance and the impedance the model is converted to.</li>"
        + "<li><b>Delete data</b> clears the measurement.</li></ol>"
        + "<p>After a 2xThrough the electrical length of each half can be adjusted in two ways: enter the offsets manually, "
        + "or derive them from open/short measurements with the fixtures disconnected. Normally, the offset range is 0 to 10 ps.</p>"
        + "<h3>1xReflect</h3>"
        + "<p>Choose the open standard, the short standard or both, and measure or recall each of them. "
        + "The compensation of the maximum signal by the spline approximation is on by default.</p>"
        + "<h3>DUT</h3>"
        + "<p>The fixture models are corrected with a measurement of the DUT in the fixtures. This mode should be used with the utmost care.</p>"
        + "<h3>Characterization</h3>"
        + "<p><b>Edit characterization</b> shows four graphs of every fixture port: <b>Length</b> (the impulse response the electrical length is taken from), "
        + "<b>Gating</b> (the gated response, where the reference plane can be moved), <b>Impedance</b> (the impedance profile; an impedance deviating "
        + "by more than 5-10% from the reference distorts the DUT results) and <b>S-parameters</b>.</p>"
        + "<h3>Errors</h3>"
        + "<p>Problems are reported as <b>Warning</b> or <b>Critical error</b>; the details are listed in the notification panel.</p>")

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
            objectName: "measureTab"

            property var vukSetup: null
            readonly property int count: stepsRepeater.count
            property int currentIndex: -1
            readonly property bool done: vukSetup ? vukSetup.allStepsMeasured : true
            readonly property bool hasError: vukSetup ? vukSetup.anyStepFailed : false
            readonly property var steps: vukSetup ? vukSetup.stepModel.toVector : []
            readonly property var currentStep: currentIndex >= 0 && currentIndex < steps.length
                                               ? steps[currentIndex] : null
            readonly property var currentStatus: currentStep ? currentStep.getMeasureStatus : undefined
            // What the step's calculation found doubtful, one per port.
            readonly property var currentNotices: currentStep && currentStep.notices ? currentStep.notices : []

            onCountChanged: {
                if (count === 0)
                    currentIndex = -1
                else if (currentIndex === -1 || currentIndex >= count)
                    currentIndex = 0
            }

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                // Top bar: the step navigation.
                RowLayout {
                    objectName: "stepNavigation"
                    Layout.fillWidth: true
                    Layout.margins: 6

                    Item { Layout.fillWidth: true }

                    ToolButton {
                        objectName: "previousStepButton"
                        icon.source: Icons.left
                        enabled: tab.currentIndex > 0
                        onClicked: tab.currentIndex -= 1
                    }

                    Label {
                        objectName: "stepCounter"
                        font.pixelSize: 16
                        text: qsTr("Step ") + (tab.currentIndex + 1) + qsTr(" of ") + tab.count
                    }

                    ToolButton {
                        objectName: "nextStepButton"
                        icon.source: Icons.right
                        enabled: tab.currentIndex < tab.count - 1
                        onClicked: tab.currentIndex += 1
                    }

                    Item { Layout.fillWidth: true }
                }

                // The step views, one per step.
                StackLayout {
                    id: stack
                    objectName: "stepStack"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    currentIndex: tab.currentIndex

                    Repeater {
                        id: stepsRepeater
                        model: tab.vukSetup ? tab.vukSetup.stepModel : null

                        Loader {
                            id: stepLoader
                            readonly property var step: model.value
                            // This step started and has not finished yet.
                            property bool running: false
                            sourceComponent: !step ? null
                                             : step.isDut !== undefined ? dutView
                                             : step.measureType === MeasureEnums.MeasureType.TRANSMISSION ? transmissionView
                                             : step.measureType === MeasureEnums.MeasureType.REFLECT ? reflectionView
                                             : null
                            onLoaded: item.vukStep = Qt.binding(function() { return stepLoader.step })

                            Connections {
                                target: stepLoader.step
                                ignoreUnknownSignals: true
                                function onStarted() {
                                    if (!stepLoader.running) {
                                        stepLoader.running = true
                                        page.stepStarted()
                                    }
                                }
                                function onFinished() {
                                    if (stepLoader.running) {
                                        stepLoader.running = false
                                        page.stepFinished()
                                    }
                                }
                            }

                            Connections {
                                target: stepLoader.item
                                ignoreUnknownSignals: true
                                function onShowCharacterization() { page.showCharacterization() }
                            }

                            // A step taken away while it measures no longer
                            // holds the page in its measuring state.
                            Component.onDestruction: {
                                if (running)
                                    page.stepFinished()
                            }
                        }
                    }
                }

                // Bottom bar: the state of the current step.
                Pane {
                    objectName: "statusBar"
                    Layout.fillWidth: true
                    visible: !!tab.currentStep
                    padding: 6

                    RowLayout {
                        anchors.centerIn: parent
                        width: Math.min(implicitWidth, parent.width)
                        spacing: 10

                        VukLabel {
                            objectName: "stepStatus"
                            font.pixelSize: 14
                            type: tab.currentStatus === MeasureEnums.MeasureStatus.MEASURED
                                  ? CoreMeasureEnums.RecommendedResult.Correct
                                  : tab.currentStatus === MeasureEnums.MeasureStatus.Error
                                    ? CoreMeasureEnums.RecommendedResult.Error : undefined
                            text: tab.currentStatus === MeasureEnums.MeasureStatus.MEASURED ? qsTr("Step is complete")
                                                                                           : qsTr("Step is not complete")
                        }

                        // The step's models carry notices: the mark, how many,
                        // and their first lines on hover.
                        VukWarning {
                            objectName: "stepNoticeMark"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            visible: tab.currentNotices.length > 0
                            type: CoreMeasureEnums.RecommendedResult.Warning
                            toolTip.description: tab.currentNotices.map(function(notice) {
                                return notice.summary
                            }).join("<br><br>")
                        }

                        VukLabel {
                            objectName: "stepNoticeText"
                            Layout.fillWidth: true
                            visible: tab.currentNotices.length > 0
                            font.pixelSize: 14
                            elide: Text.ElideRight
                            type: CoreMeasureEnums.RecommendedResult.Warning
                            text: qsTr("The models carry warnings (%1): see the notification panel")
                                  .arg(tab.currentNotices.length)
                        }
                    }
                }
            }
        }
    }

    Component {
        id: transmissionView
        TransmissionStep {}
    }

    Component {
        id: reflectionView
        ReflectionStep {}
    }

    Component {
        id: dutView
        DutStep {}
    }
}
