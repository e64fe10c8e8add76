import QtQuick 2.15
import QtTest 1.15
import QtQuick.Controls.Material 2.15
import Color 1.0
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "qrc:/qml"
import "measurepagesupport.js" as Support

// The analyser setup, calibration and test-mode pages over the real tables,
// the algorithm set-up and the simulated analyser.
TestCase {
    id: testCase
    name: "TablePages"
    when: windowShown
    visible: true
    width: 1200
    height: 800

    Component { id: setupComponent; SetupVnaPage { width: testCase.width; height: testCase.height } }
    Component { id: calibrationComponent; CalibrateVnaPage { width: testCase.width; height: testCase.height } }
    Component { id: testModeComponent; TestModePage { width: testCase.width; height: testCase.height } }

    readonly property var vna: backend.getVnaDevice()
    readonly property var setups: backend.getFixtureSetups()
    readonly property var algorithms: backend.getAlgorithmsSetup()
    readonly property var setupTable: backend.getSetupVnaTable()

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
    }

    // Every test starts from the analyser's preset grid (band pass, 201
    // points) and the program's defaults.
    function init() {
        harness.analyserExecute("SYST:PRES")
        harness.analyserExecute("SIM:CAL1:CLE")
        // The table reads the proxy's cache, which the poll refills.
        tryVerify(function() {
            return !algorithms.isLowPassMode && String(setupTable.data(setupTable.index(4, 2))) === "201"
                   && setupTable.data(setupTable.index(6, 2)) === "10 k"
        }, 10000)
        setupTable.lowPassCheck = true
        setups.z0ConversionType = MeasureEnums.Z0Conversion.System
        setups.userZ0 = 50
    }

    function open(component) {
        var page = createTemporaryObject(component, testCase)
        verify(page)
        waitForRendering(page)
        return page
    }

    // The visible cells of a table and those of the row named `name`, left
    // to right.
    function cells(table) {
        var list = []
        var children = table.contentItem.children
        for (var i = 0; i < children.length; ++i)
            if (children[i].cellModel !== undefined && children[i].visible)
                list.push(children[i])
        return list
    }

    function rowCells(table, name) {
        var all = cells(table)
        var named = all.filter(function(cell) { return cell.displayText === name && cell.x > 0 })
        verify(named.length === 1, "no row " + name)
        return all.filter(function(cell) { return cell.y === named[0].y })
                  .sort(function(a, b) { return a.x - b.x })
    }

    function content(cell) {
        return findChild(cell, "cellContent").item
    }

    function warningOf(cell) {
        var pane = content(cell)
        for (var i = 0; i < pane.contentChildren.length; ++i)
            if (pane.contentChildren[i].enableHover !== undefined)
                return pane.contentChildren[i]
        fail("no warning mark")
    }

    function typeInto(field, text) {
        field.forceActiveFocus()
        tryVerify(function() { return field.activeFocus }, 5000, "the field has the keyboard focus")
        field.selectAll()
        keyClick(Qt.Key_Backspace)
        for (var i = 0; i < text.length; ++i)
            keyClick(text.charAt(i))
    }

    // ------------------------------------------------------------ setup page

    function test_setupPageFrame() {
        var page = open(setupComponent)
        compare(page.name, "VNA setup")
        compare(page.description,
                "Review the current VNA settings and adjust to the recommended values to achieve optimal results")
        compare(page.icon, "qrc:/resources/icons/vna_setup.png")
        compare(page.padding, 5)
        verify(page.full_description.indexOf("Step 3. VNA setup") >= 0)
        compare(findChild(page, "setupTable").model, setupTable)
        verify(!findChild(page, "setupTable").interactive)
        compare(findChild(page, "sidePane").width, 200)
        compare(page.ignoreLowPassSwitch.width, 180)
        compare(findChild(page, "lowPassButton").text, "Low pass mode")
        compare(findChild(page, "lowPass10MhzButton").text, "10 MHz low pass mode")
        compare(findChild(page, "presetButton").text, "VNA preset")
        compare(findChild(page, "customZ0").title, "Custom Zo")
    }

    function test_warningRowIsTintedAndMarkedAndACorrectRowIsNot() {
        var page = open(setupComponent)
        var table = findChild(page, "setupTable")
        // 201 points at the preset grid: the low-pass check recommends others.
        var points = rowCells(table, "Sweep points")
        tryVerify(function() {
            return points[0].cellModel.recommended === CoreMeasureEnums.RecommendedResult.Warning
        }, 5000)
        var mark = warningOf(points[0])
        verify(mark.enabled)
        compare(mark.type, CoreMeasureEnums.RecommendedResult.Warning)
        compare(mark.toolTip.description, points[0].displayText)
        verify(points[0].displayText.length > 0)
        points.forEach(function(cell) {
            var tint = findChild(cell, "tint")
            compare(tint.color, Color.alertBackground)
            compare(tint.opacity, 0.2)
        })

        var sweepType = rowCells(table, "Sweep type")
        verify(!warningOf(sweepType[0]).enabled)
        compare(findChild(sweepType[1], "tint").color, Qt.rgba(0, 0, 0, 0))
    }

    function test_valueCellsEditOnlyWhereTheRowHasASetter() {
        var page = open(setupComponent)
        var table = findChild(page, "setupTable")
        verify(content(rowCells(table, "Sweep type")[2]).readOnly)
        verify(content(rowCells(table, "Step frequency")[2]).readOnly)

        var field = content(rowCells(table, "IF bandwidth")[2])
        verify(!field.readOnly)
        compare(field.text, "10 kHz")
        // Enter sends the whole text, units included; the row's setter
        // takes the number.
        typeInto(field, "1 kHz")
        keyClick(Qt.Key_Return)
        tryVerify(function() { return Number(harness.analyserExecute("SENS1:BWID?")[0]) === 1000 }, 5000)
        tryCompare(field, "text", "1 kHz", 5000)
    }

    function test_modeLabelFollowsTheGridAndTheLowPassButtons() {
        var page = open(setupComponent)
        var label = findChild(page, "currentMode")
        compare(label.text, "Band pass (Fstart\u2260Fstep)")
        verify(label.font.bold)

        mouseClick(findChild(page, "lowPassButton"))
        tryCompare(label, "text", "Low pass (Fstart=Fstep)", 10000)
        var start = Number(harness.analyserExecute("SENS1:FREQ:STAR?")[0])
        var stop = Number(harness.analyserExecute("SENS1:FREQ:STOP?")[0])
        var points = Number(harness.analyserExecute("SENS1:SWE:POIN?")[0])
        compare(points, 201)
        verify(Math.abs((stop - start) / (points - 1) - start) < 1e-6 * start)

        mouseClick(findChild(page, "lowPass10MhzButton"))
        tryVerify(function() { return Number(harness.analyserExecute("SENS1:FREQ:STAR?")[0]) === 10e6 }, 10000)
        tryCompare(label, "text", "Low pass (Fstart=Fstep)", 10000)
    }

    function test_ignoreLowPassTurnsTheCheckAndTheConversionOffAndBack() {
        var page = open(setupComponent)
        var toggle = page.ignoreLowPassSwitch
        compare(toggle.text, "Ignore low pass")
        verify(!toggle.checked)

        mouseClick(toggle)
        verify(!setupTable.lowPassCheck)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.None)
        // Off again: no radio choice made, so the system impedance.
        mouseClick(toggle)
        verify(setupTable.lowPassCheck)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.System)

        // In low pass mode the user picks the fixture impedance; it comes
        // back after ignoring the low pass for a while.
        mouseClick(findChild(page, "lowPassButton"))
        // The page follows the set-up's change signal, which may come after
        // the value.
        tryVerify(function() { return page.conversionPane.enabled }, 10000)
        mouseClick(findChild(page, "fixtureRadio"))
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.Fixture)
        mouseClick(toggle)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.None)
        verify(!page.conversionPane.enabled)
        mouseClick(toggle)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.Fixture)
        verify(setupTable.lowPassCheck)

        // The switch follows changes made elsewhere.
        setupTable.lowPassCheck = false
        verify(toggle.checked)
        setups.z0ConversionType = MeasureEnums.Z0Conversion.User
        verify(!toggle.checked)
    }

    function test_switchStartsFromTheProgramState() {
        setupTable.lowPassCheck = false
        setups.z0ConversionType = MeasureEnums.Z0Conversion.None
        var page = open(setupComponent)
        verify(page.ignoreLowPassSwitch.checked)
        // Opening writes nothing back.
        verify(!setupTable.lowPassCheck)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.None)
        // Turning it off restores the system impedance, the only one known.
        mouseClick(page.ignoreLowPassSwitch)
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.System)
    }

    function test_conversionChoicesNeedTheLowPassMode() {
        var page = open(setupComponent)
        verify(!page.conversionPane.enabled)
        verify(!findChild(page, "customZ0").enabled)
        verify(findChild(page, "systemRadio").checked)

        mouseClick(findChild(page, "lowPassButton"))
        tryVerify(function() { return page.conversionPane.enabled }, 10000)
        verify(!findChild(page, "customZ0").enabled)
        mouseClick(findChild(page, "customRadio"))
        compare(setups.z0ConversionType, MeasureEnums.Z0Conversion.User)
        verify(findChild(page, "customZ0").enabled)
        verify(!findChild(page, "systemRadio").checked)

        var field = page.customZ0Field
        compare(field.text, "50")
        typeInto(field, "75")
        compare(setups.userZ0, 75)
        // An emptied field keeps the impedance; values past the limits do
        // not get typed at all.
        field.selectAll()
        keyClick(Qt.Key_Backspace)
        compare(field.text, "")
        compare(setups.userZ0, 75)
        typeInto(field, "2000")
        compare(field.text, "200")
        compare(setups.userZ0, 200)
        typeInto(field, "12.345")
        compare(field.text, "12.34")
        compare(setups.userZ0, 12.34)
        // A value set elsewhere replaces the text.
        setups.userZ0 = 33
        compare(field.text, "33")
    }

    function test_presetButtonPresetsTheAnalyser() {
        var page = open(setupComponent)
        harness.clearAnalyserLog()
        mouseClick(findChild(page, "presetButton"))
        tryVerify(function() { return harness.analyserReceived("SYSTem:PRESet") }, 5000)
    }

    function test_setupPageReportsItsTableOnceDone() {
        var page = open(setupComponent)
        tryVerify(function() { return setupTable.hasError !== undefined && setupTable.hasError !== null }, 5000)
        compare(page.hasError, undefined)
        page.done = true
        compare(page.hasError, setupTable.hasError)
        page.done = false
        compare(page.hasError, undefined)
    }

    // ------------------------------------------------------ calibration page

    function test_calibrationPageShowsTheCalibrationChecks() {
        var page = open(calibrationComponent)
        compare(page.name, "VNA calibration")
        compare(page.description, "Calibrate VNA")
        compare(page.icon, "qrc:/resources/icons/calibration.png")
        verify(page.full_description.indexOf("Step 4. VNA calibration") >= 0)
        var button = findChild(page, "calibrateButton")
        verify(!button.visible && !button.enabled)
        var hint = findChild(page, "calibrationHint")
        compare(hint.width, 185)
        verify(hint.text.indexOf("Perform an N-port VNA calibration at the plane where the fixture needs to be connected.<br><br> No fixture connection is required.<br><br> Calibration is applied on the active VNA channel only.") >= 0)
        verify(hint.text.indexOf("justify") >= 0)

        var table = findChild(page, "calibrationTable")
        // The header and all five rows, the impedance row included.
        compare(table.height, 56 + 5 * 48)
        verify(!table.interactive)
        verify(!findChild(table, "scrollBar").visible, "a scroll bar beside rows that all fit")
        compare(table.model, backend.getCalibrateVnaTable())
        var row = rowCells(table, "Calibration")
        tryCompare(row[2], "displayText", "Not calibrated", 5000)
        compare(row[0].cellModel.recommended, CoreMeasureEnums.RecommendedResult.Error)
        compare(findChild(row[2], "tint").color, Color.errorBackground)
        compare(warningOf(row[0]).type, CoreMeasureEnums.RecommendedResult.Error)
        page.done = true
        compare(page.hasError, CoreMeasureEnums.RecommendedResult.Error)

        // A full two-port calibration of the ports in use clears the row.
        harness.analyserExecute("SIM:CAL1 SOLT2,1,2")
        tryCompare(row[2], "displayText", "Full 2-Port", 10000)
        verify(!warningOf(row[0]).enabled)
        compare(findChild(row[2], "tint").color, Qt.rgba(0, 0, 0, 0))
    }

    // ------------------------------------------------------- test-mode page

    function test_testModeSwitchEnablesTheTableAndTheButtons() {
        var page = open(testModeComponent)
        var table = findChild(page, "testModeTable")
        var toggle = page.testModeSwitch
        var setDefault = findChild(page, "setDefaultButton")
        var save = findChild(page, "saveButton")
        compare(toggle.text, "Test mode")
        verify(!toggle.checked)
        verify(!table.enabled && !setDefault.enabled && !save.enabled)
        verify(!backend.getTestModeTable().isTestMode())

        mouseClick(toggle)
        verify(table.enabled && setDefault.enabled && save.enabled)
        verify(backend.getTestModeTable().isTestMode())
        mouseClick(toggle)
        verify(!backend.getTestModeTable().isTestMode())
        verify(!table.enabled)
    }

    function test_centerModesAreChosenFromTheirTwoValues() {
        var page = open(testModeComponent)
        mouseClick(page.testModeSwitch)
        var table = findChild(page, "testModeTable")
        var model = backend.getTestModeTable()
        ;["Low signal center mode", "High signal center mode"].forEach(function(name) {
            var cell = rowCells(table, name)[2]
            var combo = content(cell)
            compare(combo.model, ["MEAS", "BASE"])
            var other = combo.currentText === "MEAS" ? "BASE" : "MEAS"
            combo.currentIndex = combo.model.indexOf(other)
            // Written at once: the model's row reads the new value.
            tryCompare(cell, "displayText", other, 5000)
        })
        mouseClick(findChild(page, "setDefaultButton"))
        tryCompare(rowCells(table, "Low signal center mode")[2], "displayText", "MEAS", 5000)
        mouseClick(page.testModeSwitch)
    }

    // A table lower than its rows scrolls with the wheel, its header kept
    // in place, and its last row can be reached.
    function test_lowTableScrollsWithTheWheelUnderItsHeader() {
        var page = createTemporaryObject(testModeComponent, testCase, { height: 420 })
        waitForRendering(page)
        var table = findChild(page, "testModeTable")
        mouseClick(page.testModeSwitch)   // the table is enabled with the mode
        verify(table.fullHeight > table.height, table.fullHeight + " > " + table.height)
        verify(table.interactive)
        verify(findChild(table, "scrollBar").visible, "the scroll bar of a table that scrolls")
        var header = findChild(table, "header")
        var headerTexts = function() {
            var labels = []
            for (var i = 0; i < header.children.length; ++i)
                if (header.children[i].objectName === "headerLabel" && header.children[i].text !== "")
                    labels.push(header.children[i].text)
            return labels
        }
        compare(headerTexts(), ["Parameter", "Value", "Description"])
        var headerTop = header.mapToItem(table, 0, 0).y

        compare(table.contentY, table.originY)
        for (var i = 0; i < 20; ++i)
            mouseWheel(table, table.width / 2, table.height / 2, 0, -120)
        var bottom = table.originY + table.fullHeight - table.height
        tryVerify(function() { return Math.abs(table.contentY - bottom) < 1 }, 5000, "scrolled to the last row")
        compare(header.mapToItem(table, 0, 0).y, headerTop)
        verify(header.visible)
        compare(headerTexts(), ["Parameter", "Value", "Description"])
        // The last row lies inside the table, below the header.
        var last = rowCells(table, "Step response start")[1]
        var top = last.mapToItem(table, 0, 0).y
        verify(top >= header.height && top + last.height <= table.height + 1, "last row at " + top)
        mouseClick(page.testModeSwitch)
    }

    function test_saveWritesTheParametersToTheChosenPlace() {
        var page = open(testModeComponent)
        compare(page.saveDialog.title, "Dir for save the test mode files")
        compare(page.saveDialog.nameFilters, ["Test mode files (*.ini *.txt *.s*p)"])
        verify(!page.saveDialog.selectExisting)
        var base = harness.tempPath("test mode run")
        page.saveTo(harness.fileUrl(base))
        verify(harness.fileExists(base + "_ParametersTestMode.ini"))
        // The dialog's filter lists every kind of file the save writes: the
        // parameters, the column files, the fixture models and the raw data
        // of any port count.
        var filter = page.saveDialog.nameFilters[0]
        var written = ["run_ParametersTestMode.ini", "run_ImpulseResponse.txt", "run_SParametersFixtureA.s2p",
                       "run_Transmission_Step1.s4p", "run_OpenRawData_Step2.s1p", "run_DutRawData_Step3.s3p"]
        written.forEach(function(name) { verify(Support.filterLists(filter, name), filter + " misses " + name) })
        verify(!Support.filterLists(filter, "setup.sta"), filter + " lists setup.sta")
    }

    function test_testModeHelpAndFrame() {
        var page = open(testModeComponent)
        compare(page.topPadding, 5)
        compare(page.vukPage.name, "Test Mode")
        compare(page.vukPage.description, "Test Mode")
        compare(page.vukPage.padding, 0)
        var help = page.vukPage.full_description
        verify(help.indexOf("<h2>Test mode</h2>") === 0)
        ;["Mode", "Length", "4 x Rise time", "Coefficient N", "Coefficient Nrt", "Min gate time", "Kaiser Beta X",
          "Kaiser Beta", "Step response start"].forEach(function(parameter) {
            verify(help.indexOf("<td>" + parameter + "</td>") >= 0, parameter)
        })
        var dark = Color.isDark
        Color.theme = Material.Dark
        verify(page.vukPage.full_description.indexOf("bordercolor=\"#545454\"") >= 0)
        Color.theme = Material.Light
        verify(page.vukPage.full_description.indexOf("bordercolor=\"#f2f2f2\"") >= 0)
        Color.theme = dark ? Material.Dark : Material.Light
    }
}
