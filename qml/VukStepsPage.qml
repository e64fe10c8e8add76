import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "qrc:/core/qml/controls"

// The wizard: the six steps under a stepper (index 0), and two side pages,
// the fixture characterization (index 1) and the test mode (index 2), each
// returning to the steps.
StackLayout {
    id: wizard

    // The side pages.
    readonly property int stepsIndex: 0
    readonly property int characterizationIndex: 1
    readonly property int testModeIndex: 2

    // The steps, in order.
    readonly property int descriptionStep: 0
    readonly property int connectionStep: 1
    readonly property int setupStep: 2
    readonly property int calibrationStep: 3
    readonly property int measurementStep: 4
    readonly property int resultsStep: 5
    readonly property int stepCount: 6

    // Where the pages written elsewhere come from; a page that cannot be
    // loaded leaves its step empty.
    property url fixturePageSource: "qrc:/qml/FixturePage.qml"
    property url connectionPageSource: "qrc:/qml/ConnectionPage.qml"
    property url measurePageSource: "qrc:/qml/MeasureFixturePage.qml"
    property url characterizationPageSource: "qrc:/qml/FixtureCharacterization.qml"

    property alias stepIndex: stepper.currentIndex
    readonly property alias stepper: stepper

    readonly property var fixturePage: fixtureLoader.item
    readonly property var connectionPage: connectionLoader.item
    readonly property alias setupPage: setupPage
    readonly property alias calibrationPage: calibratePage
    readonly property var measurePage: measureLoader.item
    readonly property alias resultsPage: resultsPage
    readonly property var characterizationPage: characterizationLoader.item
    readonly property alias testModePage: testModePage

    // The six step pages (null for one that did not load).
    readonly property var pages: [fixturePage, connectionPage, setupPage, calibratePage, measurePage,
        resultsPage]
    // What the help group shows: the steps and both side pages.
    readonly property var helpPages: {
        var list = []
        for (var i = 0; i < pages.length; ++i)
            if (pages[i])
                list.push(pages[i])
        if (characterizationPage && characterizationPage.vukPage)
            list.push(characterizationPage.vukPage)
        list.push(testModePage.vukPage)
        return list
    }

    // The height the step shown needs to show all of its content: the
    // stepper, the page's header and what the page says its content needs
    // (minimumContentHeight, which follows the lines its texts wrap to); the
    // main window scrolls when it has less.
    readonly property real requiredHeight: {
        if (currentIndex !== stepsIndex)
            return 0
        var page = pages[stepper.currentIndex]
        if (!page || !page.minimumContentHeight)
            return 0
        return stepper.Layout.preferredHeight + (page.header ? page.header.height : 0) + page.topPadding
                + page.minimumContentHeight + page.bottomPadding
    }

    readonly property bool hasPrev: currentIndex === stepsIndex && stepper.currentIndex > descriptionStep
    readonly property bool hasNext: currentIndex === stepsIndex && stepper.currentIndex < resultsStep
    readonly property bool isMeasuring: measurePage !== null && measurePage.isMeasuring === true

    function prev() {
        if (hasPrev)
            stepper.currentIndex -= 1
    }

    function next() {
        if (hasNext)
            stepper.currentIndex += 1
    }

    function showSteps() { currentIndex = stepsIndex }
    function showCharacterization() { currentIndex = characterizationIndex }
    function showTestMode() { currentIndex = testModeIndex }

    // The program's preset: every step but the description starts over.
    // The measurement page's flag follows its steps, which the preset has
    // emptied; writing it would cut that page off from its own steps.
    function presetGui() {
        for (var i = connectionStep; i < stepCount; ++i)
            if (pages[i] && i !== measurementStep)
                pages[i].done = false
    }

    // A step page is done once the user has seen it; the results only once
    // the measurements are done too.
    function markShown() {
        if (currentIndex !== stepsIndex)
            return
        var index = stepper.currentIndex
        var page = pages[index]
        if (!page)
            return
        if (index === resultsStep) {
            if (measurePage && measurePage.done === true)
                page.done = true
        } else if (index !== measurementStep) {
            page.done = true
        }
    }

    function stepName(index, fallback) {
        return pages[index] ? pages[index].name : fallback
    }

    Component.onCompleted: {
        if (fixturePage)
            fixturePage.done = true
        markShown()
    }
    onCurrentIndexChanged: markShown()

    // Each page of the steps is active exactly while it is visible.
    function follow(page) {
        if (page && page.active !== undefined)
            page.active = Qt.binding(function() { return page.visible })
    }

    ColumnLayout {
        objectName: "steps"
        spacing: 0

        Stepper {
            id: stepper
            objectName: "stepper"
            Layout.fillWidth: true
            Layout.preferredHeight: 90
            // Room above the current step's circle (scaled by 1.3) for the
            // mark it shows when its page has a warning.
            indicatorTopPadding: 13
            indicatorWidth: 30
            indicatorHeight: 30
            separatorHeight: 3

            onCurrentIndexChanged: wizard.markShown()

            StepperElement {
                text: wizard.stepName(0, qsTr("Description"))
                done: wizard.fixturePage ? wizard.fixturePage.done === true : false
                hasError: wizard.fixturePage ? wizard.fixturePage.hasError : undefined
            }
            StepperElement {
                text: wizard.stepName(1, qsTr("Fixture connection"))
                done: wizard.connectionPage ? wizard.connectionPage.done === true : false
                hasError: wizard.connectionPage ? wizard.connectionPage.hasError : undefined
            }
            StepperElement {
                text: setupPage.name
                done: setupPage.done
                hasError: setupPage.hasError
            }
            StepperElement {
                text: calibratePage.name
                done: calibratePage.done
                hasError: calibratePage.hasError
            }
            StepperElement {
                text: wizard.stepName(4, qsTr("Fixture measurement"))
                done: wizard.measurePage ? wizard.measurePage.done === true : false
                hasError: wizard.measurePage ? wizard.measurePage.hasError : undefined
            }
            StepperElement {
                text: resultsPage.name
                done: resultsPage.done
                hasError: resultsPage.hasError
            }
        }

        StackLayout {
            objectName: "stepPages"
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: stepper.currentIndex

            Loader {
                id: fixtureLoader
                objectName: "fixtureLoader"
                source: wizard.fixturePageSource
                onLoaded: wizard.follow(item)
            }

            Loader {
                id: connectionLoader
                objectName: "connectionLoader"
                source: wizard.connectionPageSource
                onLoaded: wizard.follow(item)
            }

            SetupVnaPage {
                id: setupPage
                active: visible
            }

            CalibrateVnaPage {
                id: calibratePage
                active: visible
            }

            Loader {
                id: measureLoader
                objectName: "measureLoader"
                source: wizard.measurePageSource
                onLoaded: wizard.follow(item)
            }

            SaveCorrectionPage {
                id: resultsPage
                active: visible
            }
        }
    }

    Loader {
        id: characterizationLoader
        objectName: "characterizationLoader"
        source: wizard.characterizationPageSource
        onLoaded: {
            if (item.returnAdditionalText !== undefined)
                item.returnAdditionalText = qsTr("fixture measurements")
            if (item.vukPage)
                wizard.follow(item.vukPage)
        }
    }

    TestModePage {
        id: testModePage
        returnAdditionalText: qsTr("main application")
        vukPage.active: visible
        onReturnMe: wizard.showSteps()
    }

    Connections {
        target: wizard.characterizationPage
        ignoreUnknownSignals: true
        function onReturnMe() { wizard.showSteps() }
    }

    Connections {
        target: wizard.measurePage
        ignoreUnknownSignals: true
        function onShowCharacterization() { wizard.showCharacterization() }
        // Results of measurements that are no longer done are not done either.
        function onDoneChanged() {
            if (wizard.measurePage.done !== true)
                resultsPage.done = false
        }
    }
}
