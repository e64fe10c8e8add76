import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import "qrc:/qml"

// The wizard: its six steps under the stepper, the done flags, the
// navigation and the two side pages. The measurement and characterization
// pages are stand-ins here, so that the test sets their flags itself.
TestCase {
    id: testCase
    name: "Wizard"
    when: windowShown
    visible: true
    width: 1200
    height: 800

    Component {
        id: stubbedWizard
        VukStepsPage {
            width: testCase.width
            height: testCase.height
            measurePageSource: Qt.resolvedUrl("stubs/StubMeasurePage.qml")
            characterizationPageSource: Qt.resolvedUrl("stubs/StubCharacterizationPage.qml")
        }
    }

    Component {
        id: realWizard
        VukStepsPage {
            width: testCase.width
            height: testCase.height
        }
    }

    readonly property var vna: backend.getVnaDevice()

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
    }

    function make(component) {
        var wizard = createTemporaryObject(component || stubbedWizard, testCase)
        verify(wizard)
        waitForRendering(wizard)
        return wizard
    }

    function doneFlags(wizard) {
        return wizard.pages.map(function(page) { return page.done === true })
    }

    function test_stepsShowTheirPagesNamesAndDescriptions() {
        var wizard = make(realWizard)
        var pages = wizard.pages
        compare(pages.length, 6)
        pages.forEach(function(page, i) { verify(page, "step " + i + " did not load") })
        compare(pages.map(function(page) { return page.name }),
                ["Description", "Fixture connection", "VNA setup", "VNA calibration", "Fixture measurement",
                 "Results"])
        compare(pages.map(function(page) { return page.description }),
                ["Configure fixtures",
                 "Point out the required fixture connections and assign the VNA ports. This is a preparation step for performing the fixture measurements",
                 "Review the current VNA settings and adjust to the recommended values to achieve optimal results",
                 "Calibrate VNA",
                 "Measure or recall the fixture according to the selected connections",
                 "Apply and save measurement and calculation results"])

        // The stepper carries one element per page, bound to the page.
        var stepper = wizard.stepper
        compare(stepper.count, 6)
        for (var i = 0; i < 6; ++i)
            compare(stepper.elementAt(i).text, pages[i].name)
        compare(stepper.indicatorTopPadding, 13)
        compare(stepper.indicatorWidth, 30)
        compare(stepper.indicatorHeight, 30)
        compare(stepper.separatorHeight, 3)
        compare(stepper.height, 90)
    }

    function test_onlyTheShownPageIsActive() {
        var wizard = make()
        for (var i = 0; i < 6; ++i) {
            wizard.stepIndex = i
            compare(wizard.pages.map(function(page) { return page.active }),
                    [0, 1, 2, 3, 4, 5].map(function(j) { return j === i }))
        }
        wizard.showTestMode()
        verify(wizard.testModePage.vukPage.active)
        verify(wizard.pages.every(function(page) { return !page.active }))
        wizard.showCharacterization()
        verify(wizard.characterizationPage.vukPage.active)
        verify(!wizard.testModePage.vukPage.active)
    }

    function test_pagesBecomeDoneWhenShown() {
        var wizard = make()
        compare(doneFlags(wizard), [true, false, false, false, false, false])
        wizard.stepIndex = 1
        wizard.stepIndex = 2
        wizard.stepIndex = 3
        compare(doneFlags(wizard), [true, true, true, true, false, false])

        // The results are done only once the measurements are.
        wizard.stepIndex = 5
        verify(!wizard.resultsPage.done)
        wizard.measurePage.done = true
        wizard.stepIndex = 4
        wizard.stepIndex = 5
        verify(wizard.resultsPage.done)
        // Measurements that are no longer done take the results with them.
        wizard.measurePage.done = false
        verify(!wizard.resultsPage.done)
        // The stepper shows the flags.
        compare([0, 1, 2, 3, 4, 5].map(function(i) { return wizard.stepper.elementAt(i).done }),
                [true, true, true, true, false, false])
    }

    function test_stepperClickShowsAndMarksThePage() {
        var wizard = make()
        var stepper = wizard.stepper
        // Step i's slice of the stepper's width, at the indicators' height.
        mouseClick(stepper, stepper.width / 6 * 3.5, 25)
        compare(wizard.stepIndex, 3)
        verify(wizard.calibrationPage.visible)
        verify(wizard.calibrationPage.done)
    }

    function test_presetClearsEveryFlagButTheDescription() {
        var wizard = make()
        wizard.measurePage.done = true
        for (var i = 1; i < 6; ++i)
            wizard.stepIndex = i
        compare(doneFlags(wizard), [true, true, true, true, true, true])
        wizard.stepIndex = 0
        wizard.presetGui()
        compare(doneFlags(wizard), [true, false, false, false, true, false])
        // The measurement page keeps its own flag, which follows its steps.
        wizard.measurePage.done = false
        compare(doneFlags(wizard), [true, false, false, false, false, false])
    }

    function test_setupErrorShowsOnTheStepperOnceThePageWasSeen() {
        var wizard = make()
        var setupTable = backend.getSetupVnaTable()
        // The simulator's preset grid fails the setup checks.
        tryVerify(function() { return setupTable.hasError !== undefined && setupTable.hasError !== null }, 5000)
        compare(wizard.setupPage.hasError, undefined)
        compare(wizard.stepper.elementAt(2).hasError, undefined)
        wizard.stepIndex = 2
        compare(wizard.setupPage.hasError, setupTable.hasError)
        compare(wizard.stepper.elementAt(2).hasError, setupTable.hasError)
        wizard.presetGui()
        compare(wizard.stepper.elementAt(2).hasError, undefined)
    }

    function test_navigationStaysWithinTheSteps() {
        var wizard = make()
        verify(!wizard.hasPrev)
        verify(wizard.hasNext)
        wizard.prev()
        compare(wizard.stepIndex, 0)
        for (var i = 0; i < 7; ++i)
            wizard.next()
        compare(wizard.stepIndex, 5)
        verify(wizard.hasPrev)
        verify(!wizard.hasNext)
        wizard.prev()
        compare(wizard.stepIndex, 4)

        wizard.showTestMode()
        verify(!wizard.hasPrev)
        verify(!wizard.hasNext)
        wizard.next()
        compare(wizard.stepIndex, 4)
        wizard.showSteps()
        verify(wizard.hasPrev && wizard.hasNext)
    }

    function test_sidePagesReturnToTheSteps() {
        var wizard = make()
        wizard.stepIndex = 4
        wizard.measurePage.showCharacterization()
        compare(wizard.currentIndex, wizard.characterizationIndex)
        verify(wizard.characterizationPage.visible)
        compare(wizard.characterizationPage.returnAdditionalText, "fixture measurements")
        wizard.characterizationPage.returnMe()
        compare(wizard.currentIndex, wizard.stepsIndex)
        compare(wizard.stepIndex, 4)

        wizard.showTestMode()
        compare(wizard.testModePage.returnAdditionalText, "main application")
        mouseClick(findChild(wizard.testModePage, "returnButton"))
        compare(wizard.currentIndex, wizard.stepsIndex)
    }

    function test_helpListsTheEightPages() {
        var wizard = make()
        var help = wizard.helpPages
        compare(help.length, 8)
        for (var i = 0; i < 6; ++i)
            compare(help[i], wizard.pages[i])
        compare(help[6], wizard.characterizationPage.vukPage)
        compare(help[7], wizard.testModePage.vukPage)
    }

    function test_missingPageLeavesItsStepEmpty() {
        ignoreWarning(new RegExp("NoSuchPage\\.qml"))
        var wizard = createTemporaryObject(stubbedWizard, testCase,
                                           { measurePageSource: Qt.resolvedUrl("stubs/NoSuchPage.qml") })
        verify(wizard)
        compare(wizard.measurePage, null)
        compare(wizard.stepper.elementAt(4).text, "Fixture measurement")
        verify(!wizard.isMeasuring)
        compare(wizard.helpPages.length, 7)
        wizard.stepIndex = 5
        verify(!wizard.resultsPage.done)
        wizard.presetGui()
    }
}
