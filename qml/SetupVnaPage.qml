import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import MeasureEnums 1.0
import TextDoubleValidator 1.0
import "qrc:/core/qml/controls"

// Wizard step 3: the analyser's sweep settings against the recommended
// values, the low-pass mode and the reference impedance after removal.
VukPage {
    id: page
    objectName: "setupVnaPage"

    readonly property var fixtureSetups: backend ? backend.getFixtureSetups() : null
    readonly property var algorithmsSetup: backend ? backend.getAlgorithmsSetup() : null
    readonly property var setupTable: backend ? backend.getSetupVnaTable() : null

    // The stepper's mark: the table's worst check once the page was seen.
    property var hasError: done ? table.hasError : undefined

    readonly property bool lowPassMode: algorithmsSetup !== null && algorithmsSetup.isLowPassMode === true
    readonly property int z0Conversion: fixtureSetups ? fixtureSetups.z0ConversionType
                                                      : MeasureEnums.Z0Conversion.None
    // The conversion the radio buttons chose last; restored when "Ignore
    // low pass" is turned off again.
    property int rememberedConversion: MeasureEnums.Z0Conversion.System

    property alias ignoreLowPassSwitch: ignoreLowPass
    property alias conversionPane: conversionPane
    property alias customZ0Field: customZ0.text_field

    function applyIgnoreLowPass(ignore) {
        if (setupTable)
            setupTable.lowPassCheck = !ignore
        if (fixtureSetups)
            fixtureSetups.z0ConversionType = ignore ? MeasureEnums.Z0Conversion.None : rememberedConversion
    }

    // A number as the validator accepted it (its locale's decimal point).
    function parseNumber(text, localeName) {
        try {
            return Number.fromLocaleString(Qt.locale(localeName), text)
        } catch (e) {
            return Number(text)
        }
    }

    function chooseConversion(value) {
        rememberedConversion = value
        if (fixtureSetups)
            fixtureSetups.z0ConversionType = value
    }

    name: qsTr("VNA setup")
    description: qsTr("Review the current VNA settings and adjust to the recommended values to achieve optimal results")
    icon: "qrc:/resources/icons/vna_setup.png"
    padding: 5
    full_description: qsTr("<h2>Step 3. VNA setup</h2>"
        + "<p>Review the sweep settings of the active VNA channel and adjust them to the recommended values.</p>"
        + "<p><b>Low pass mode</b> (Fstart = Fstep): the start frequency equals the frequency step. "
        + "This mode is required for the impedance calculation and the impedance conversion, and it gives "
        + "a better time resolution of the impulse response for time gating. "
        + "<b>Band pass mode</b> (Fstart &ne; Fstep): any other linear grid.</p>"
        + "<p>Measure the fixture over the widest possible frequency range. Only linear sweeps are supported.</p>"
        + "<p>Buttons:</p><ul>"
        + "<li><b>VNA preset</b> returns the VNA to its preset state.</li>"
        + "<li><b>Low pass mode</b> sets Fstart = Fstep by changing the start frequency; the number of points is kept.</li>"
        + "<li><b>10 MHz low pass mode</b> sets Fstart = Fstep = 10 MHz and the maximum stop frequency of the VNA.</li>"
        + "<li><b>Ignore low pass</b> turns the low pass check off; no impedance conversion is made.</li></ul>"
        + "<p><b>Warning:</b> more than 20,000 points significantly slow down the measurements and calculations.</p>"
        + "<p>An IF bandwidth between 1 and 10 kHz is usually appropriate. Do not exceed 0 dBm output power.</p>"
        + "<p>A value other than the recommended one raises a notification; the \u00abRecommended\u00bb column lists "
        + "the recommended values.</p>"
        + "<p>After the fixture removal the VNA calibration reference impedance Zo can be set to:</p><ul>"
        + "<li><b>System</b>: the system impedance of the VNA;</li>"
        + "<li><b>Fixture</b>: the impedance of the fixture;</li>"
        + "<li><b>Custom</b>: an arbitrary value.</li></ul>"
        + "<p>Errors fall into two categories, <b>Warning</b> and <b>Critical error</b>; "
        + "both are shown in the notification panel.</p>")

    // The side pane's switches and buttons, whole: the window scrolls to
    // them where a translation wraps its labels to more lines.
    minimumContentHeight: sidePane.implicitHeight

    Component.onCompleted: {
        rememberedConversion = z0Conversion !== MeasureEnums.Z0Conversion.None ? z0Conversion
                                                                              : MeasureEnums.Z0Conversion.System
        ignoreLowPass.checked = setupTable !== null && !setupTable.lowPassCheck
                                && z0Conversion === MeasureEnums.Z0Conversion.None
        ignoreLowPass.ready = true
        customZ0.text_field.text = fixtureSetups ? String(fixtureSetups.userZ0) : ""
    }

    Connections {
        target: page.setupTable
        function onLowPassCheckChanged() { ignoreLowPass.checked = !page.setupTable.lowPassCheck }
    }

    Connections {
        target: page.fixtureSetups
        function onZ0ConversionTypeChanged() {
            ignoreLowPass.checked = page.fixtureSetups.z0ConversionType === MeasureEnums.Z0Conversion.None
        }
        // A value set elsewhere (a recalled setup) replaces the text; the
        // user's own typing stays as typed.
        function onUserZ0Changed() {
            if (page.parseNumber(customZ0.text_field.text, customZ0Validator.locale) !== page.fixtureSetups.userZ0)
                customZ0.text_field.text = String(page.fixtureSetups.userZ0)
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 5

        VukVnaTable {
            id: table
            objectName: "setupTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 270
            model: page.setupTable
            clip: true
        }

        VukShadowPane {
            id: sidePane
            objectName: "sidePane"
            // 200 wide, wider where a translated switch text needs it.
            Layout.preferredWidth: Math.max(200, ignoreLowPass.implicitWidth + leftPadding + rightPadding)
            Layout.fillHeight: true
            topPadding: 7
            font.pixelSize: 14

            ColumnLayout {
                anchors.fill: parent
                spacing: 5

                Label {
                    Layout.preferredWidth: 190
                    text: qsTr("Current mode:")
                }

                Label {
                    objectName: "currentMode"
                    Layout.preferredWidth: 190
                    font.bold: true
                    wrapMode: Text.WordWrap
                    text: !page.algorithmsSetup ? "---"
                        : page.lowPassMode ? qsTr("Low pass (Fstart=Fstep)") : qsTr("Band pass (Fstart\u2260Fstep)")
                }

                Switch {
                    id: ignoreLowPass
                    objectName: "ignoreLowPass"
                    // Set once the page has taken the program's state, so
                    // that only later changes are written back.
                    property bool ready: false
                    // Wider than 180 only where a translation needs it.
                    Layout.preferredWidth: Math.max(180, implicitWidth)
                    text: qsTr("Ignore low pass")
                    onCheckedChanged: if (ready) page.applyIgnoreLowPass(checked)
                }

                Label {
                    Layout.preferredWidth: 190
                    wrapMode: Text.WordWrap
                    text: qsTr("Click to set low pass mode:")
                }

                Button {
                    objectName: "lowPassButton"
                    Layout.preferredWidth: 185
                    Layout.preferredHeight: 32
                    font.capitalization: Font.MixedCase
                    text: qsTr("Low pass mode")
                    onClicked: if (page.algorithmsSetup) page.algorithmsSetup.setLowPassMode()
                }

                Button {
                    objectName: "lowPass10MhzButton"
                    Layout.preferredWidth: 185
                    Layout.preferredHeight: 32
                    Layout.bottomMargin: 15
                    font.capitalization: Font.MixedCase
                    text: qsTr("10 MHz low pass mode")
                    onClicked: if (page.algorithmsSetup) page.algorithmsSetup.set10MhzLowPassMode()
                }

                Label {
                    Layout.preferredWidth: 190
                    wrapMode: Text.WordWrap
                    enabled: conversionPane.enabled
                    text: qsTr("After removal set \n VNA cal reference Zo to:")
                }

                Pane {
                    id: conversionPane
                    objectName: "conversionPane"
                    Layout.preferredWidth: 190
                    padding: 0
                    background: null
                    enabled: page.lowPassMode && page.z0Conversion !== MeasureEnums.Z0Conversion.None

                    // Three in a row while their texts fit the 62-pixel
                    // choices, otherwise one under the other, full width.
                    GridLayout {
                        id: conversionChoices
                        readonly property bool fitsInRow:
                            Math.max(systemRadio.contentItem.implicitWidth, fixtureRadio.contentItem.implicitWidth,
                                     customRadio.contentItem.implicitWidth) + 8 <= 62
                        readonly property int choiceWidth: fitsInRow ? 62 : 190
                        columns: fitsInRow ? 3 : 1
                        columnSpacing: 2
                        rowSpacing: 2

                        RadioDelegate {
                            id: systemRadio
                            objectName: "systemRadio"
                            Layout.preferredWidth: conversionChoices.choiceWidth
                            Layout.preferredHeight: 32
                            text: qsTr("System")
                            checked: page.z0Conversion === MeasureEnums.Z0Conversion.System
                            onClicked: page.chooseConversion(MeasureEnums.Z0Conversion.System)
                        }
                        RadioDelegate {
                            id: fixtureRadio
                            objectName: "fixtureRadio"
                            Layout.preferredWidth: conversionChoices.choiceWidth
                            Layout.preferredHeight: 32
                            text: qsTr("Fixture")
                            checked: page.z0Conversion === MeasureEnums.Z0Conversion.Fixture
                            onClicked: page.chooseConversion(MeasureEnums.Z0Conversion.Fixture)
                        }
                        RadioDelegate {
                            id: customRadio
                            objectName: "customRadio"
                            Layout.preferredWidth: conversionChoices.choiceWidth
                            Layout.preferredHeight: 32
                            text: qsTr("Custom")
                            checked: page.z0Conversion === MeasureEnums.Z0Conversion.User
                            onClicked: page.chooseConversion(MeasureEnums.Z0Conversion.User)
                        }
                    }
                }

                VukNamedTextField {
                    id: customZ0
                    objectName: "customZ0"
                    Layout.preferredWidth: 180
                    Layout.preferredHeight: 45
                    title: qsTr("Custom Zo")
                    enabled: page.lowPassMode && page.z0Conversion === MeasureEnums.Z0Conversion.User
                    text_field.validator: TextDoubleValidator {
                        id: customZ0Validator
                        bottom: 1
                        top: 1000
                        decimals: 2
                        notation: DoubleValidator.StandardNotation
                    }
                    // An empty field is no impedance: the set-ups keep theirs.
                    text_field.onTextChanged: {
                        if (page.fixtureSetups && customZ0.text_field.acceptableInput)
                            page.fixtureSetups.userZ0 = page.parseNumber(customZ0.text_field.text,
                                                                         customZ0Validator.locale)
                    }
                }

                Item {
                    Layout.fillHeight: true
                }

                Button {
                    objectName: "presetButton"
                    Layout.preferredWidth: 185
                    Layout.preferredHeight: 32
                    Layout.alignment: Qt.AlignHCenter
                    Layout.bottomMargin: 10
                    text: qsTr("VNA preset")
                    onClicked: if (backend) backend.getVnaDevice().preset()
                }
            }
        }
    }
}
